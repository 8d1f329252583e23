#include "picture.h"

#include <png.h>

#include <cstring>
#include <vector>

namespace emulator {

std::shared_ptr<const Page> LoadPicture(const std::string& hostPath, int dpi, std::string* error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, hostPath.c_str())) {
    *error = hostPath + ": " + image.message;
    return nullptr;
  }
  // A page is at most the glass at 1200 dpi; refuse anything that could not be a scan.
  if (image.width == 0 || image.height == 0 || image.width > 20000 || image.height > 20000) {
    png_image_free(&image);
    *error = hostPath + ": picture size out of range";
    return nullptr;
  }
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    *error = hostPath + ": " + image.message;
    png_image_free(&image);
    return nullptr;
  }
  return std::make_shared<Picture>(static_cast<int>(image.width), static_cast<int>(image.height),
                                   dpi, std::move(pixels));
}

}  // namespace emulator
