#include "gray_png.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace stidiag {

bool WriteGrayPng(const std::string& hostPath, int width, int height, const std::vector<uint8_t>& pixels,
                  std::string* error) {
  if (pixels.size() < static_cast<size_t>(width) * height) {
    *error = "not enough pixels";
    return false;
  }
  FILE* file = std::fopen(hostPath.c_str(), "wb");
  if (!file) {
    *error = "cannot create " + hostPath;
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  bool ok = false;
  if (png && info && setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_GRAY,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, pixels.data() + static_cast<size_t>(y) * width);
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file) != 0) ok = false;
  if (!ok) *error = "cannot write " + hostPath;
  return ok;
}

}  // namespace stidiag
