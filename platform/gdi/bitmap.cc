#include <png.h>

#include <algorithm>
#include <cstdio>

#include "platform/gdi/gdi.h"

namespace platform {

namespace {
constexpr int kMaxSide = 16384;
}

GdiBitmap::GdiBitmap(int width, int height)
    : width_(std::clamp(width, 0, kMaxSide)),
      height_(std::clamp(height, 0, kMaxSide)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0) {}

ColorRef GdiBitmap::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

void GdiBitmap::SetPixel(int x, int y, ColorRef color) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = color;
}

void GdiBitmap::FillRect(const GdiRect& r, ColorRef color) {
  const int left = std::max(r.left, 0), right = std::min(r.right, width_);
  const int top = std::max(r.top, 0), bottom = std::min(r.bottom, height_);
  for (int y = top; y < bottom; ++y) {
    auto row = pixels_.begin() + static_cast<ptrdiff_t>(y) * width_;
    std::fill(row + left, row + std::max(left, right), color);
  }
}

void GdiBitmap::Blend(int x, int y, ColorRef color, uint8_t coverage) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_ || coverage == 0) return;
  const ColorRef old = Pixel(x, y);
  auto mix = [&](uint8_t a, uint8_t b) {
    return static_cast<uint8_t>((a * (255 - coverage) + b * coverage + 127) / 255);
  };
  SetPixel(x, y, Rgb(mix(RedOf(old), RedOf(color)), mix(GreenOf(old), GreenOf(color)),
                     mix(BlueOf(old), BlueOf(color))));
}

void BitBlt(GdiBitmap& target, int x, int y, int w, int h, const GdiBitmap& source, int sx,
            int sy) {
  // Clip the block to the source, then to the target, moving both origins together.
  for (int row = 0; row < h; ++row) {
    const int ty = y + row, fy = sy + row;
    if (ty < 0 || fy < 0 || ty >= target.height() || fy >= source.height()) continue;
    for (int col = 0; col < w; ++col) {
      const int tx = x + col, fx = sx + col;
      if (tx < 0 || fx < 0 || tx >= target.width() || fx >= source.width()) continue;
      target.SetPixel(tx, ty, source.Pixel(fx, fy));
    }
  }
}

bool GdiBitmap::SavePng(const std::filesystem::path& path) const {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = png && info && width_ > 0 && height_ > 0;
  std::vector<uint8_t> row(static_cast<size_t>(width_) * 3);
  if (ok && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width_), static_cast<png_uint_32>(height_), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        const ColorRef c = Pixel(x, y);
        row[static_cast<size_t>(x) * 3] = RedOf(c);
        row[static_cast<size_t>(x) * 3 + 1] = GreenOf(c);
        row[static_cast<size_t>(x) * 3 + 2] = BlueOf(c);
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
  } else {
    ok = false;
  }
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0 && ok;
}

}  // namespace platform
