#include "analysis_area.h"

#include <algorithm>
#include <utility>

namespace imgfilt {

bool AnalysisArea::Open(const uint8_t* image, uint32_t lineBytes, uint32_t width,
                        uint32_t height, uint8_t orientation, int bpp, const ImageRect* region) {
  width_ = height_ = 0;
  if (image == nullptr || width == 0 || height == 0) return false;
  if (lineBytes < uint64_t{width} * static_cast<uint64_t>(bpp)) return false;
  int64_t l = 0, t = 0, r = int64_t{width} - 1, b = int64_t{height} - 1;
  if (region != nullptr) {
    l = std::min(region->left, region->right), r = std::max(region->left, region->right);
    t = std::min(region->top, region->bottom), b = std::max(region->top, region->bottom);
    l = std::max<int64_t>(l, 0), t = std::max<int64_t>(t, 0);
    r = std::min<int64_t>(r, int64_t{width} - 1), b = std::min<int64_t>(b, int64_t{height} - 1);
    if (l > r || t > b) return false;
  }
  lines_ = Lines<const uint8_t>(image, lineBytes, height, orientation);
  bpp_ = bpp;
  left_ = static_cast<uint32_t>(l), top_ = static_cast<uint32_t>(t);
  width_ = static_cast<uint32_t>(r - l + 1), height_ = static_cast<uint32_t>(b - t + 1);
  return true;
}

ImageRect AnalysisArea::rect() const {
  return ImageRect{static_cast<int32_t>(left_), static_cast<int32_t>(top_),
                   static_cast<int32_t>(left_ + width_ - 1), static_cast<int32_t>(top_ + height_ - 1)};
}

}  // namespace imgfilt
