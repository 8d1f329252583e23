// TIFF files through libtiff, in memory. The layouts this toolkit writes (and most scanners'),
// strips of 8-bit RGB or RGBA, grey or palette at 1, 4 and 8 bits, are read as they are; any other
// layout libtiff understands is read through its RGBA reader as 32 bits.
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "image.h"

namespace platform::rastertk {
namespace {

struct Memory {
  std::string* bytes;        // writing
  const std::string* input;  // reading
  toff_t at = 0;
};

const std::string& Data(const Memory& m) { return m.input ? *m.input : *m.bytes; }

tsize_t Read(thandle_t h, tdata_t buffer, tsize_t size) {
  auto* m = static_cast<Memory*>(h);
  const std::string& data = Data(*m);
  if (size < 0 || m->at >= data.size()) return 0;
  size_t n = std::min<size_t>(size_t(size), data.size() - m->at);
  std::memcpy(buffer, data.data() + m->at, n);
  m->at += n;
  return tsize_t(n);
}

tsize_t Write(thandle_t h, tdata_t buffer, tsize_t size) {
  auto* m = static_cast<Memory*>(h);
  if (!m->bytes || size < 0) return -1;
  if (m->bytes->size() < m->at + size_t(size)) m->bytes->resize(m->at + size_t(size));
  std::memcpy(m->bytes->data() + m->at, buffer, size_t(size));
  m->at += toff_t(size);
  return size;
}

toff_t Seek(thandle_t h, toff_t offset, int whence) {
  auto* m = static_cast<Memory*>(h);
  toff_t base = whence == SEEK_CUR ? m->at : whence == SEEK_END ? Data(*m).size() : 0;
  if (offset > (toff_t(1) << 40) || base + offset > (toff_t(1) << 40)) return toff_t(-1);
  m->at = base + offset;
  return m->at;
}

int Close(thandle_t) { return 0; }
toff_t Size(thandle_t h) { return Data(*static_cast<Memory*>(h)).size(); }
int Map(thandle_t, tdata_t*, toff_t*) { return 0; }
void Unmap(thandle_t, tdata_t, toff_t) {}

// libtiff's warnings and errors go to stderr by default; our callers get result codes instead.
void Silence() {
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
  });
}

// No single allocation of libtiff's may exceed what one bitmap may hold: a damaged file that
// declares huge strips fails instead of taking the machine's memory.
TIFF* Open(Memory* m, const char* mode) {
  Silence();
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) return nullptr;
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(kMaxImageBytes));
  TIFF* tif = TIFFClientOpenExt("memory", mode, m, Read, Write, Seek, Close, Size, Map, Unmap, options);
  TIFFOpenOptionsFree(options);
  return tif;
}

template <class T>
T Field(TIFF* tif, ttag_t tag, T fallback) {
  T v = fallback;
  return TIFFGetField(tif, tag, &v) ? v : fallback;
}

// The depth read directly, or 0 for the RGBA reader.
int DirectDepth(TIFF* tif, uint16_t* photometric) {
  uint16_t bits = Field<uint16_t>(tif, TIFFTAG_BITSPERSAMPLE, 1);
  uint16_t samples = Field<uint16_t>(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  uint16_t planar = Field<uint16_t>(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  *photometric = Field<uint16_t>(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  if (TIFFIsTiled(tif) || planar != PLANARCONFIG_CONTIG) return 0;
  switch (*photometric) {
    case PHOTOMETRIC_RGB:
      return bits == 8 && samples == 3 ? 24 : bits == 8 && samples == 4 ? 32 : 0;
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_PALETTE:
      return samples == 1 && (bits == 1 || bits == 4 || bits == 8) ? bits : 0;
    default:
      return 0;
  }
}

bool ReadPalette(TIFF* tif, Image& image, uint16_t photometric) {
  size_t count = image.palette.size() / 4;
  if (photometric == PHOTOMETRIC_MINISWHITE) {
    for (size_t i = 0; i < count; ++i) {
      uint8_t v = uint8_t(255 - i * 255 / (count - 1));
      image.palette[i * 4] = image.palette[i * 4 + 1] = image.palette[i * 4 + 2] = v;
    }
  }
  if (photometric != PHOTOMETRIC_PALETTE) return true;
  uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
  if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue)) return false;
  for (size_t i = 0; i < count; ++i) {
    image.palette[i * 4 + 0] = uint8_t(blue[i] >> 8);
    image.palette[i * 4 + 1] = uint8_t(green[i] >> 8);
    image.palette[i * 4 + 2] = uint8_t(red[i] >> 8);
  }
  return true;
}

int32_t ReadDirect(TIFF* tif, Image& image, uint16_t photometric) {
  if (!ReadPalette(tif, image, photometric)) return kRasterFileFormat;
  tmsize_t lineSize = TIFFScanlineSize(tif);
  if (lineSize <= 0 || uint64_t(lineSize) > image.stride) return kRasterFileFormat;
  for (int32_t y = 0; y < image.height; ++y) {
    uint8_t* row = image.TopRow(y);
    if (TIFFReadScanline(tif, row, uint32_t(y), 0) < 0) return kRasterFileFormat;
    if (image.bitsPerPixel >= 24) {
      size_t step = size_t(image.bitsPerPixel / 8);
      for (int32_t x = 0; x < image.width; ++x) std::swap(row[x * step], row[x * step + 2]);
    }
  }
  return kRasterSuccess;
}

int32_t ReadRgba(TIFF* tif, Image& image) {
  char message[1024];
  if (!TIFFRGBAImageOK(tif, message)) return kRasterFileFormat;
  // The RGBA reader fills bottom-up rows of packed 32-bit pixels: our own row order and stride.
  auto* raster = reinterpret_cast<uint32_t*>(image.pixels.data());
  if (!TIFFReadRGBAImageOriented(tif, uint32_t(image.width), uint32_t(image.height), raster,
                                 ORIENTATION_BOTLEFT, 0)) {
    return kRasterFileFormat;
  }
  for (size_t i = 0; i < image.pixels.size(); i += 4) std::swap(image.pixels[i], image.pixels[i + 2]);
  return kRasterSuccess;
}

int32_t Decode(TIFF* tif, std::unique_ptr<Image>* out) {
  uint32_t width = Field<uint32_t>(tif, TIFFTAG_IMAGEWIDTH, 0);
  uint32_t height = Field<uint32_t>(tif, TIFFTAG_IMAGELENGTH, 0);
  uint16_t photometric = 0;
  int depth = DirectDepth(tif, &photometric);
  uint32_t stride = 0;
  uint64_t size = 0;
  if (int32_t g = CheckGeometry(width, height, depth ? depth : 32, &stride, &size); g != kRasterSuccess) {
    return g == kRasterTooLarge ? g : kRasterFileFormat;
  }
  std::unique_ptr<Image> image = MakeImage(int32_t(width), int32_t(height), depth ? depth : 32);
  if (!image) return kRasterNoMemory;
  int32_t r = depth ? ReadDirect(tif, *image, photometric) : ReadRgba(tif, *image);
  if (r != kRasterSuccess) return r;
  image->sourceFormat = kFormatTiff;
  *out = std::move(image);
  return kRasterSuccess;
}

}  // namespace

int32_t DecodeTiff(const std::string& bytes, std::unique_ptr<Image>* out) {
  if (bytes.size() < 8 || (bytes.compare(0, 4, "II*\0", 4) != 0 && bytes.compare(0, 4, "MM\0*", 4) != 0)) {
    return kRasterFileFormat;
  }
  Memory m{nullptr, &bytes};
  TIFF* tif = Open(&m, "rm");
  if (!tif) return kRasterFileFormat;
  int32_t r = Decode(tif, out);
  TIFFClose(tif);
  return r;
}

int32_t EncodeTiff(const Image& image, std::string* out) {
  out->clear();
  Memory m{out, nullptr};
  TIFF* tif = Open(&m, "w");
  if (!tif) return kRasterFileWrite;
  int bits = image.bitsPerPixel;
  uint16_t samples = bits == 32 ? 4 : bits == 24 ? 3 : 1;
  uint16_t photometric = bits >= 24 ? PHOTOMETRIC_RGB
                         : IsGreyRamp(image) ? PHOTOMETRIC_MINISBLACK
                                             : PHOTOMETRIC_PALETTE;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(image.width));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(image.height));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(bits >= 24 ? 8 : bits));
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
  if (bits == 32) {
    uint16_t extra = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
  }
  std::vector<uint16_t> map[3];
  if (photometric == PHOTOMETRIC_PALETTE) {
    size_t count = image.palette.size() / 4;
    for (int c = 0; c < 3; ++c) {
      map[c].resize(count);
      for (size_t i = 0; i < count; ++i) map[c][i] = uint16_t(image.palette[i * 4 + 2 - c] * 257);
    }
    TIFFSetField(tif, TIFFTAG_COLORMAP, map[0].data(), map[1].data(), map[2].data());
  }
  std::vector<uint8_t> line(image.stride);
  bool ok = true;
  for (int32_t y = 0; ok && y < image.height; ++y) {
    std::memcpy(line.data(), image.TopRow(y), image.stride);
    if (bits >= 24) {
      size_t step = size_t(bits / 8);
      for (int32_t x = 0; x < image.width; ++x) std::swap(line[x * step], line[x * step + 2]);
    }
    ok = TIFFWriteScanline(tif, line.data(), uint32_t(y), 0) >= 0;
  }
  ok = ok && TIFFWriteDirectory(tif);
  TIFFClose(tif);
  return ok ? kRasterSuccess : kRasterFileWrite;
}

}  // namespace platform::rastertk
