#include "raster.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace imgfilt {

bool Overlaps(const void* a, size_t aLen, const void* b, size_t bLen) {
  if (aLen == 0 || bLen == 0) return false;
  // Integer addresses: the two ranges may belong to unrelated objects.
  const auto a0 = reinterpret_cast<uintptr_t>(a);
  const auto b0 = reinterpret_cast<uintptr_t>(b);
  return a0 < b0 + bLen && b0 < a0 + aLen;
}

void NormaliseRect(ImageRect& rect, uint32_t width, uint32_t lines) {
  if (rect.left > rect.right) std::swap(rect.left, rect.right);
  if (rect.top > rect.bottom) std::swap(rect.top, rect.bottom);
  // 64-bit so that a raster wider than INT32_MAX cannot wrap the comparison.
  const int64_t lastX = int64_t{width} - 1;
  const int64_t lastY = int64_t{lines} - 1;
  const bool outside = rect.right < 0 || rect.bottom < 0 || rect.left > lastX || rect.top > lastY;
  if (outside) {
    rect = ImageRect{0, 0, static_cast<int32_t>(std::min<int64_t>(lastX, INT32_MAX)),
                     static_cast<int32_t>(std::min<int64_t>(lastY, INT32_MAX))};
    return;
  }
  rect.left = std::max(rect.left, 0);
  rect.top = std::max(rect.top, 0);
  rect.right = static_cast<int32_t>(std::min<int64_t>(rect.right, lastX));
  rect.bottom = static_cast<int32_t>(std::min<int64_t>(rect.bottom, lastY));
}

PixelBounds RegionBounds(ImageRect* region, uint32_t width, uint32_t lines) {
  if (region == nullptr) return {0, 0, size_t{width} - 1, size_t{lines} - 1};
  NormaliseRect(*region, width, lines);
  return {static_cast<size_t>(region->left), static_cast<size_t>(region->top), static_cast<size_t>(region->right),
          static_cast<size_t>(region->bottom)};
}

}  // namespace imgfilt
