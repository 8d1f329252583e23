// PNG files through libpng, in memory: the host's files hand over and take whole contents.
// libpng reports errors by longjmp, so the state that must survive one lives in a struct reached
// by reference, never in locals of the function that calls setjmp.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "image.h"

namespace platform::rastertk {
namespace {

struct Reader {
  const std::string& bytes;
  size_t at = 0;
  std::unique_ptr<Image> image;
  std::vector<png_bytep> rows;
  int32_t result = kRasterFileFormat;
};

void ReadBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* r = static_cast<Reader*>(png_get_io_ptr(png));
  if (r->bytes.size() - r->at < length) png_error(png, "truncated");
  std::memcpy(data, r->bytes.data() + r->at, length);
  r->at += length;
}

void Quiet(png_structp, png_const_charp) {}
void Fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// The depth the image is kept at, after the transformations asked of libpng.
int Depth(int colorType, int bitDepth) {
  switch (colorType) {
    case PNG_COLOR_TYPE_PALETTE: return bitDepth == 2 ? 8 : bitDepth;
    case PNG_COLOR_TYPE_GRAY: return bitDepth == 1 ? 1 : 8;
    case PNG_COLOR_TYPE_RGB: return 24;
    default: return 32;  // grey or colour with alpha
  }
}

void Decode(png_structp png, png_infop info, Reader& r) {
  if (setjmp(png_jmpbuf(png))) return;
  png_set_read_fn(png, &r, ReadBytes);
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
  int depth = Depth(colorType, bitDepth);
  uint32_t stride = 0;
  uint64_t size = 0;
  if (int32_t g = CheckGeometry(width, height, depth, &stride, &size); g != kRasterSuccess) {
    r.result = g == kRasterTooLarge ? g : kRasterFileFormat;
    return;
  }
  if (bitDepth == 16) png_set_strip_16(png);
  if (colorType == PNG_COLOR_TYPE_PALETTE && bitDepth == 2) png_set_packing(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth > 1 && bitDepth < 8) {
    png_set_expand_gray_1_2_4_to_8(png);
  }
  if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (depth >= 24) png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) > stride) return;
  r.image = MakeImage(int32_t(width), int32_t(height), depth);
  if (!r.image) {
    r.result = kRasterNoMemory;
    return;
  }
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    png_colorp entries = nullptr;
    int count = 0;
    if (!png_get_PLTE(png, info, &entries, &count)) return;
    std::fill(r.image->palette.begin(), r.image->palette.end(), 0);
    for (int i = 0; i < count && size_t(i) * 4 < r.image->palette.size(); ++i) {
      r.image->palette[i * 4 + 0] = entries[i].blue;
      r.image->palette[i * 4 + 1] = entries[i].green;
      r.image->palette[i * 4 + 2] = entries[i].red;
    }
  }
  r.rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) r.rows[y] = r.image->TopRow(int32_t(y));
  png_read_image(png, r.rows.data());
  png_read_end(png, nullptr);
  r.result = kRasterSuccess;
}

struct Writer {
  std::string* out;
  std::vector<png_bytep> rows;
  std::vector<png_color> palette;
  int32_t result = kRasterFileWrite;
};

void WriteBytes(png_structp png, png_bytep data, png_size_t length) {
  static_cast<Writer*>(png_get_io_ptr(png))->out->append(reinterpret_cast<const char*>(data), length);
}
void FlushNothing(png_structp) {}

void Encode(png_structp png, png_infop info, const Image& image, Writer& w) {
  if (setjmp(png_jmpbuf(png))) return;
  png_set_write_fn(png, &w, WriteBytes, FlushNothing);
  int colorType = PNG_COLOR_TYPE_PALETTE;
  int bitDepth = image.bitsPerPixel <= 8 ? image.bitsPerPixel : 8;
  if (IsGreyRamp(image)) colorType = PNG_COLOR_TYPE_GRAY;
  if (image.bitsPerPixel == 24) colorType = PNG_COLOR_TYPE_RGB;
  if (image.bitsPerPixel == 32) colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), bitDepth, colorType,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    size_t count = image.palette.size() / 4;
    for (size_t i = 0; i < count; ++i) {
      w.palette.push_back({image.palette[i * 4 + 2], image.palette[i * 4 + 1], image.palette[i * 4]});
    }
    png_set_PLTE(png, info, w.palette.data(), int(count));
  }
  png_write_info(png, info);
  if (image.bitsPerPixel >= 24) png_set_bgr(png);
  w.rows.resize(size_t(image.height));
  for (int32_t y = 0; y < image.height; ++y) {
    w.rows[size_t(y)] = const_cast<uint8_t*>(image.TopRow(y));
  }
  png_write_image(png, w.rows.data());
  png_write_end(png, nullptr);
  w.result = kRasterSuccess;
}

}  // namespace

int32_t DecodePng(const std::string& bytes, std::unique_ptr<Image>* out) {
  if (bytes.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8) != 0) {
    return kRasterFileFormat;
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Quiet);
  if (!png) return kRasterNoMemory;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return kRasterNoMemory;
  }
  png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
  png_set_chunk_malloc_max(png, 16u << 20);
  Reader r{bytes};
  Decode(png, info, r);
  png_destroy_read_struct(&png, &info, nullptr);
  if (r.result != kRasterSuccess) return r.result;
  r.image->sourceFormat = kFormatPng;
  *out = std::move(r.image);
  return kRasterSuccess;
}

int32_t EncodePng(const Image& image, std::string* out) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Fail, Quiet);
  if (!png) return kRasterNoMemory;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return kRasterNoMemory;
  }
  out->clear();
  Writer w{out};
  Encode(png, info, image, w);
  png_destroy_write_struct(&png, &info);
  return w.result;
}

}  // namespace platform::rastertk
