// Image geometry, the store of live bitmaps and the record's view of an image.
#include "image.h"

#include <cstring>
#include <new>

namespace platform::rastertk {

uint64_t DibStride(int64_t width, int bitsPerPixel) {
  if (width <= 0 || bitsPerPixel <= 0) return 0;
  uint64_t bits = uint64_t(width) * uint64_t(bitsPerPixel);
  uint64_t stride = (bits + 31) / 32 * 4;
  return stride > 0xFFFFFFFFull ? 0 : stride;
}

bool SupportedDepth(int bitsPerPixel) {
  return bitsPerPixel == 1 || bitsPerPixel == 4 || bitsPerPixel == 8 || bitsPerPixel == 24 ||
         bitsPerPixel == 32;
}

int32_t CheckGeometry(int64_t width, int64_t height, int bitsPerPixel, uint32_t* stride,
                      uint64_t* imageSize) {
  if (width <= 0 || height <= 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) {
    return kRasterInvalidParameter;
  }
  if (!SupportedDepth(bitsPerPixel)) return kRasterBadBitCount;
  uint64_t s = DibStride(width, bitsPerPixel);
  if (s == 0 || s > kMaxImageBytes || uint64_t(height) > kMaxImageBytes / s) return kRasterTooLarge;
  *stride = uint32_t(s);
  *imageSize = s * uint64_t(height);
  return kRasterSuccess;
}

std::unique_ptr<Image> MakeImage(int32_t width, int32_t height, int bitsPerPixel, Pixels pixels) {
  auto image = std::unique_ptr<Image>(new (std::nothrow) Image);
  if (!image) return nullptr;
  uint32_t stride = 0;
  uint64_t size = 0;
  if (CheckGeometry(width, height, bitsPerPixel, &stride, &size) != kRasterSuccess) return nullptr;
  image->width = width;
  image->height = height;
  image->bitsPerPixel = bitsPerPixel;
  image->stride = stride;
  try {
    image->pixels.resize(size);
    if (pixels == Pixels::kZeroed) std::memset(image->pixels.data(), 0, size);
    if (bitsPerPixel <= 8) {
      size_t count = size_t{1} << bitsPerPixel;
      image->palette.resize(count * 4);
      for (size_t i = 0; i < count; ++i) {
        uint8_t v = uint8_t(i * 255 / (count - 1));
        image->palette[i * 4 + 0] = image->palette[i * 4 + 1] = image->palette[i * 4 + 2] = v;
      }
    }
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return image;
}

void ClearPadding(Image& image) {
  size_t used = (size_t(image.width) * size_t(image.bitsPerPixel) + 7) / 8;
  if (used == image.stride) return;
  for (int32_t y = 0; y < image.height; ++y) std::memset(image.Row(y) + used, 0, image.stride - used);
}

bool IsGreyRamp(const Image& image) { return IsGreyRamp(image.bitsPerPixel, image.palette); }

bool IsGreyRamp(int bitsPerPixel, const std::vector<uint8_t>& palette) {
  if (bitsPerPixel != 8 || palette.size() != 256 * 4) return false;
  for (size_t i = 0; i < 256; ++i) {
    const uint8_t* e = &palette[i * 4];
    if (e[0] != i || e[1] != i || e[2] != i) return false;
  }
  return true;
}

PixelView ViewOf(const Image& image) {
  return PixelView{image.width, image.height, image.bitsPerPixel, image.stride, image.pixels.data(),
                   &image.palette, image.sourceFormat};
}

uint64_t BitmapStore::Add(std::unique_ptr<Image> image) {
  std::lock_guard lock(mutex_);
  uint64_t handle = next_++;
  images_.emplace(handle, std::move(image));
  return handle;
}

Image* BitmapStore::Find(uint64_t handle) {
  std::lock_guard lock(mutex_);
  auto it = images_.find(handle);
  return it == images_.end() ? nullptr : it->second.get();
}

void BitmapStore::Replace(uint64_t handle, std::unique_ptr<Image> image) {
  std::lock_guard lock(mutex_);
  images_[handle] = std::move(image);
}

bool BitmapStore::Remove(uint64_t handle) {
  std::lock_guard lock(mutex_);
  return images_.erase(handle) > 0;
}

size_t BitmapStore::Live() const {
  std::lock_guard lock(mutex_);
  return images_.size();
}

void Describe(Bitmap* bitmap, const Image& image, uint64_t handle) {
  uint32_t a = bitmap->valueA, b = bitmap->valueB;
  std::memset(bitmap, 0, sizeof *bitmap);
  bitmap->structSize = sizeof(Bitmap);
  bitmap->width = image.width;
  bitmap->height = image.height;
  bitmap->bitsPerPixel = image.bitsPerPixel;
  bitmap->bytesPerLine = image.stride;
  bitmap->imageSize = uint32_t(size_t(image.stride) * size_t(image.height));
  bitmap->valueA = a;
  bitmap->valueB = b;
  bitmap->colorCount = uint32_t(image.palette.size() / 4);
  bitmap->sourceFormat = image.sourceFormat;
  bitmap->handle = handle;
}

}  // namespace platform::rastertk
