// The toolkit's exports: plain functions with fixed signatures that find the current host's
// store of bitmaps at the call, as the functions of a real DLL would find their process state.
// No exception leaves them: each failure is a result code.
#include <cstring>
#include <new>

#include "image.h"
#include "platform/files/files.h"
#include "platform/memory/memory.h"
#include "platform/modules/modules.h"

namespace platform::rastertk {
namespace {

BitmapStore& Store(Host& host) {
  return host.FindOrAttach<BitmapStore>([] { return std::make_unique<BitmapStore>(); });
}

// Runs `body` with the current host's store; exceptions become result codes.
template <class Body>
int32_t Guarded(Body body) {
  try {
    return body(Store(Host::Current()));
  } catch (const std::bad_alloc&) {
    return kRasterNoMemory;
  } catch (...) {
    return kRasterFailure;
  }
}

// Output-only records start from nothing, caller values included.
void Clear(Bitmap* bitmap) { std::memset(bitmap, 0, sizeof *bitmap); }

int32_t Adopt(BitmapStore& store, Bitmap* bitmap, std::unique_ptr<Image> image) {
  const Image& kept = *image;
  uint64_t handle = store.Add(std::move(image));
  Describe(bitmap, kept, handle);
  return kRasterSuccess;
}

int32_t InitBitmap(Bitmap* bitmap, int32_t width, int32_t height, int32_t bitsPerPixel) {
  return Guarded([&](BitmapStore&) {
    if (!bitmap) return kRasterInvalidParameter;
    uint32_t stride = 0;
    uint64_t size = 0;
    if (int32_t r = CheckGeometry(width, height, bitsPerPixel, &stride, &size); r != kRasterSuccess) {
      return r;
    }
    Clear(bitmap);
    bitmap->structSize = sizeof(Bitmap);
    bitmap->width = width;
    bitmap->height = height;
    bitmap->bitsPerPixel = bitsPerPixel;
    bitmap->bytesPerLine = stride;
    bitmap->imageSize = uint32_t(size);
    bitmap->colorCount = bitsPerPixel <= 8 ? 1u << bitsPerPixel : 0;
    return kRasterSuccess;
  });
}

int32_t FreeBitmap(Bitmap* bitmap) {
  return Guarded([&](BitmapStore& store) {
    if (!bitmap) return kRasterInvalidParameter;
    if (bitmap->handle != 0 && !store.Remove(bitmap->handle)) return kRasterNoBitmap;
    Clear(bitmap);
    return kRasterSuccess;
  });
}

int32_t BitmapFromDib(Bitmap* bitmap, const DibHeader* header, const uint8_t* rows) {
  return Guarded([&](BitmapStore& store) {
    if (!bitmap || !header || !rows) return kRasterInvalidParameter;
    if (bitmap->structSize != sizeof(Bitmap)) return kRasterNoBitmap;
    DibHeader h;
    std::memcpy(&h, header, sizeof h);
    std::unique_ptr<Image> image;
    const auto* table = reinterpret_cast<const uint8_t*>(header) + h.size;
    if (int32_t r = ImageFromDib(h, table, rows, &image); r != kRasterSuccess) return r;
    if (bitmap->handle != 0) {
      if (!store.Find(bitmap->handle)) return kRasterNoBitmap;
      const Image& kept = *image;
      store.Replace(bitmap->handle, std::move(image));
      Describe(bitmap, kept, bitmap->handle);
      return kRasterSuccess;
    }
    return Adopt(store, bitmap, std::move(image));
  });
}

// Replaces the bitmap's image by what `make` makes of it; the bitmap is unchanged on failure.
template <class Make>
int32_t Transform(Bitmap* bitmap, Make make) {
  return Guarded([&](BitmapStore& store) {
    if (!bitmap) return kRasterInvalidParameter;
    Image* image = bitmap->handle ? store.Find(bitmap->handle) : nullptr;
    if (!image) return kRasterNoBitmap;
    std::unique_ptr<Image> result;
    if (int32_t r = make(*image, &result); r != kRasterSuccess) return r;
    const Image& kept = *result;
    store.Replace(bitmap->handle, std::move(result));
    Describe(bitmap, kept, bitmap->handle);
    return kRasterSuccess;
  });
}

int32_t ResizeBitmap(Bitmap* bitmap, int32_t width, int32_t height) {
  return Transform(bitmap, [&](const Image& in, std::unique_ptr<Image>* out) {
    return ResizeImage(ViewOf(in), width, height, out);
  });
}

// A down-sample's source is read once: wrapping the caller's rows saves copying a whole page in.
int32_t ResizeDib(Bitmap* bitmap, const DibHeader* header, const uint8_t* rows, int32_t width,
                  int32_t height) {
  return Guarded([&](BitmapStore& store) {
    if (!bitmap || !header || !rows) return kRasterInvalidParameter;
    DibHeader h;
    std::memcpy(&h, header, sizeof h);
    uint32_t stride = 0;
    uint64_t size = 0;
    if (int32_t r = CheckGeometry(h.width, h.height, h.bitCount, &stride, &size); r != kRasterSuccess) {
      return r;
    }
    std::vector<uint8_t> palette;
    PixelView source;
    const auto* table = reinterpret_cast<const uint8_t*>(header) + h.size;
    if (int32_t r = ViewDib(h, table, rows, &palette, &source); r != kRasterSuccess) return r;
    std::unique_ptr<Image> image;
    if (int32_t r = ResizeImage(source, width, height, &image); r != kRasterSuccess) return r;
    Clear(bitmap);
    return Adopt(store, bitmap, std::move(image));
  });
}

int32_t AutoCropBitmap(Bitmap* bitmap, uint32_t tolerance, uint32_t margin) {
  return Transform(bitmap, [&](const Image& in, std::unique_ptr<Image>* out) {
    return AutoCropImage(in, tolerance, margin, out);
  });
}

uintptr_t ExportDib(Bitmap* bitmap) {
  try {
    Host& host = Host::Current();
    Image* image = bitmap && bitmap->handle ? Store(host).Find(bitmap->handle) : nullptr;
    if (!image) return 0;
    WorkMemory& memory = host.memory();
    Hglobal block = memory.GlobalAlloc(GMEM_MOVEABLE, PackedDibSize(*image));
    if (!block) return 0;
    void* at = memory.GlobalLock(block);
    if (!at) {
      memory.GlobalFree(block);
      return 0;
    }
    WritePackedDib(*image, static_cast<uint8_t*>(at));
    memory.GlobalUnlock(block);
    return block;
  } catch (...) {
    return 0;
  }
}

int32_t LoadBitmapFile(const char* fileName, Bitmap* bitmap, int32_t bitsPerPixel, int32_t order) {
  return Guarded([&](BitmapStore& store) {
    if (!fileName || !bitmap || order != 1) return kRasterInvalidParameter;
    FileSystem& files = Host::Current().files();
    if (!files.Exists(fileName) || files.IsDirectory(fileName)) return kRasterFileNotFound;
    std::optional<std::string> bytes = files.ReadFile(fileName);
    if (!bytes) return kRasterFileRead;
    std::unique_ptr<Image> image;
    if (int32_t r = DecodeImageFile(*bytes, &image); r != kRasterSuccess) return r;
    if (bitsPerPixel != 0 && bitsPerPixel != image->bitsPerPixel) return kRasterBadBitCount;
    Clear(bitmap);
    return Adopt(store, bitmap, std::move(image));
  });
}

int32_t SaveBitmapFile(const char* fileName, Bitmap* bitmap, int32_t format, int32_t bitsPerPixel,
                       int32_t quality) {
  return Guarded([&](BitmapStore& store) {
    if (!fileName || !bitmap || quality != 0) return kRasterInvalidParameter;
    Image* image = bitmap->handle ? store.Find(bitmap->handle) : nullptr;
    if (!image) return kRasterNoBitmap;
    if (bitsPerPixel != image->bitsPerPixel) return kRasterBadFormatCode;
    if (format == kFormatAsLoaded) format = image->sourceFormat ? image->sourceFormat : kFormatBmp;
    std::string bytes;
    int32_t r = format == kFormatBmp    ? EncodeBmp(*image, &bytes)
                : format == kFormatPng  ? EncodePng(*image, &bytes)
                : format == kFormatTiff ? EncodeTiff(*image, &bytes)
                                        : kRasterBadFormatCode;
    if (r != kRasterSuccess) return r;
    return Host::Current().files().WriteFileAtomic(fileName, bytes) ? kRasterSuccess : kRasterFileWrite;
  });
}

class Installed : public HostService {};

}  // namespace

int32_t DecodeImageFile(const std::string& bytes, std::unique_ptr<Image>* out) {
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return DecodeBmp(bytes, out);
  if (bytes.size() >= 8 && bytes.compare(1, 3, "PNG") == 0) return DecodePng(bytes, out);
  return DecodeTiff(bytes, out);
}

void Install(Host& host) {
  host.FindOrAttach<Installed>([&host] {
    Modules& modules = host.modules();
    modules.RegisterBuiltin(kKernelModule, {},
                            {{kOrdinalInitBitmap, ToProcAddress(&InitBitmap)},
                             {kOrdinalBitmapFromDib, ToProcAddress(&BitmapFromDib)},
                             {kOrdinalResizeBitmap, ToProcAddress(&ResizeBitmap)},
                             {kOrdinalExportDib, ToProcAddress(&ExportDib)},
                             {kOrdinalResizeDib, ToProcAddress(&ResizeDib)},
                             {kOrdinalFreeBitmap, ToProcAddress(&FreeBitmap)}});
    modules.RegisterBuiltin(kImageModule, {}, {{kOrdinalAutoCrop, ToProcAddress(&AutoCropBitmap)}});
    modules.RegisterBuiltin(kFileModule, {},
                            {{kOrdinalLoadFile, ToProcAddress(&LoadBitmapFile)},
                             {kOrdinalSaveFile, ToProcAddress(&SaveBitmapFile)}});
    return std::make_unique<Installed>();
  });
}

size_t LiveBitmaps(Host& host) { return Store(host).Live(); }

}  // namespace platform::rastertk
