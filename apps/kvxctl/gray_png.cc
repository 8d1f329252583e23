#include "gray_png.h"

#include <png.h>

#include <cstdio>

namespace kvxctl {

bool WriteGrayPng(const std::string& file, uint32_t width, uint32_t height, const std::vector<uint8_t>& pixels,
                  std::string* error) {
  FILE* out = std::fopen(file.c_str(), "wb");
  if (!out) {
    *error = "cannot create " + file;
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = png && info;
  if (ok && setjmp(png_jmpbuf(png))) ok = false;
  if (ok) {
    png_init_io(png, out);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (uint32_t y = 0; y < height; ++y) png_write_row(png, const_cast<png_bytep>(&pixels[size_t{y} * width]));
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (std::fclose(out) != 0) ok = false;
  if (!ok) *error = "cannot write " + file;
  return ok;
}

}  // namespace kvxctl
