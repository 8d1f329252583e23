// The library's exports. Each wrapper stops at the first failing toolkit call and returns its code;
// the temporary bitmaps and the exported block are released on every path; no exception leaves.
#include <cstring>
#include <new>

#include "descreen.h"
#include "platform/host/host.h"
#include "platform/memory/memory.h"
#include "rastfx/rastfx.h"
#include "toolkit_calls.h"

namespace rastfx {
namespace {

template <class Body>
int32_t Guarded(Body body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return rt::kRasterNoMemory;
  } catch (...) {
    return rt::kRasterFailure;
  }
}

int32_t Convert(const Toolkit& tk, const rt::DibHeader* header, const uint8_t* rows, uint32_t a,
                uint32_t b, rt::Bitmap* bitmap) {
  if (!header || !bitmap) return rt::kRasterInvalidParameter;
  int32_t r = tk.init(bitmap, header->width, header->height, int32_t(header->bitCount));
  if (r != rt::kRasterSuccess) return r;
  r = tk.fromDib(bitmap, header, rows);
  if (r != rt::kRasterSuccess) return r;
  bitmap->valueA = a;
  bitmap->valueB = b;
  return r;
}

// A locked global block, unlocked and freed on the way out.
class LockedBlock {
 public:
  LockedBlock(platform::WorkMemory& memory, platform::Hglobal block)
      : memory_(memory), block_(block), bytes_(static_cast<uint8_t*>(memory.GlobalLock(block))) {}
  ~LockedBlock() {
    if (bytes_) memory_.GlobalUnlock(block_);
    memory_.GlobalFree(block_);
  }
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;
  const uint8_t* bytes() const { return bytes_; }
  size_t size() const { return memory_.GlobalSize(block_); }

 private:
  platform::WorkMemory& memory_;
  platform::Hglobal block_;
  uint8_t* bytes_;
};

// Where the rows of a packed DIB start: after its header and colour table.
uint64_t PixelOffset(const rt::DibHeader& h) {
  uint64_t colors = h.clrUsed ? h.clrUsed : h.bitCount <= 8 ? uint64_t{1} << h.bitCount : 0;
  return uint64_t(h.size) + colors * 4;
}

int32_t DownSample(uint8_t* rows, rt::DibHeader* header, uint32_t a, uint32_t b, uint32_t width,
                   uint32_t height) {
  Toolkit tk;
  if (!tk.ok()) return rt::kRasterFailure;
  if (!rows || !header) return rt::kRasterInvalidParameter;
  TempBitmap temp(tk);
  // Converting and resizing in one call: the toolkit reads the caller's rows where they are,
  // instead of copying the whole page into a bitmap first.
  int32_t resized = tk.resizeDib(temp.get(), header, rows, int32_t(width), int32_t(height));
  if (resized != rt::kRasterSuccess) return resized;
  temp->valueA = a;
  temp->valueB = b;
  // The header passed the toolkit's checks: its rows are what the caller has room for.
  uint64_t room = rt::DibStride(header->width, header->bitCount) * uint64_t(header->height);
  uint64_t size = temp->imageSize;
  if (size > room) return rt::kRasterNoRoom;
  platform::Hglobal handle = tk.exportDib(temp.get());
  if (!handle) return rt::kRasterNoMemory;
  LockedBlock block(platform::Host::Current().memory(), handle);
  if (!block.bytes() || block.size() < sizeof(rt::DibHeader)) return rt::kRasterFailure;
  rt::DibHeader packed;
  std::memcpy(&packed, block.bytes(), sizeof packed);
  uint64_t offset = PixelOffset(packed);
  if (offset > block.size() || block.size() - offset < size) return rt::kRasterFailure;
  std::memcpy(rows, block.bytes() + offset, size_t(size));
  header->width = temp->width;
  header->height = temp->height;
  header->sizeImage = temp->imageSize;
  return resized;
}

int32_t FileDownSample(const char* fileName, uint32_t width, uint32_t height) {
  Toolkit tk;
  if (!tk.ok()) return rt::kRasterFailure;
  TempBitmap temp(tk);
  int32_t r = tk.load(fileName, temp.get(), 0, 1);
  if (r != rt::kRasterSuccess) return r;
  r = tk.resize(temp.get(), int32_t(width), int32_t(height));
  if (r != rt::kRasterSuccess) return r;
  return tk.save(fileName, temp.get(), rt::kFormatAsLoaded, temp->bitsPerPixel, 0);
}

int32_t AutoCrop(const uint8_t* rows, const rt::DibHeader* header, uint32_t a, uint32_t b,
                 uint32_t tolerance, uint32_t margin) {
  Toolkit tk;
  if (!tk.ok()) return rt::kRasterFailure;
  TempBitmap temp(tk);
  int32_t r = Convert(tk, header, rows, a, b, temp.get());
  if (r != rt::kRasterSuccess) return r;
  return tk.crop(temp.get(), tolerance, margin);
}

}  // namespace
}  // namespace rastfx

extern "C" {

int32_t P_ImageDescreen(uint8_t* rows, uint32_t bitsPerPixel, uint32_t, uint32_t, uint32_t width,
                        uint32_t height, uint32_t, double sigma) {
  rastfx::Descreen(rows, bitsPerPixel, width, height, sigma);
  return 0;
}

double P_GetDescreenParameter(uint32_t type, uint32_t value) {
  switch (type) {
    case 1: return value * 0.003529411764705882;
    case 2: return value * 0.0022556390977443606;
    case 3: return value * 0.001764705882352941;
    default: return 0.0;
  }
}

int32_t P_ConvertDIB2LToolsBitmapFormat(const RastfxDibHeader* header, const uint8_t* rows,
                                        uint32_t valueA, uint32_t valueB, RastfxBitmap* bitmap) {
  return rastfx::Guarded([&] {
    rastfx::Toolkit tk;
    if (!tk.ok()) return platform::rastertk::kRasterFailure;
    return rastfx::Convert(tk, header, rows, valueA, valueB, bitmap);
  });
}

int32_t P_Initlbitmap(RastfxBitmap* bitmap, uint32_t valueA, uint32_t valueB, uint32_t width,
                      uint32_t height, uint32_t bitsPerPixel) {
  return rastfx::Guarded([&] {
    rastfx::Toolkit tk;
    if (!tk.ok()) return platform::rastertk::kRasterFailure;
    int32_t r = tk.init(bitmap, int32_t(width), int32_t(height), int32_t(bitsPerPixel));
    if (r != platform::rastertk::kRasterSuccess) return r;
    bitmap->valueA = valueA;
    bitmap->valueB = valueB;
    return r;
  });
}

int32_t P_ImageDownSample(uint8_t* rows, RastfxDibHeader* header, uint32_t valueA, uint32_t valueB,
                          uint32_t width, uint32_t height) {
  return rastfx::Guarded([&] { return rastfx::DownSample(rows, header, valueA, valueB, width, height); });
}

int32_t P_FileDownSample(const char* fileName, uint32_t width, uint32_t height) {
  return rastfx::Guarded([&] { return rastfx::FileDownSample(fileName, width, height); });
}

int32_t P_SingleAutoCrop(const uint8_t* rows, const RastfxDibHeader* header, uint32_t valueA,
                         uint32_t valueB, uint32_t tolerance, uint32_t margin) {
  return rastfx::Guarded([&] { return rastfx::AutoCrop(rows, header, valueA, valueB, tolerance, margin); });
}

}  // extern "C"
