// The part of a caller's image that an analysis looks at: the region with its corners in order,
// clipped to the image, addressed in image order.
#ifndef IMGFILT_SRC_ANALYSIS_AREA_H_
#define IMGFILT_SRC_ANALYSIS_AREA_H_

#include <cstddef>
#include <cstdint>

#include "imgfilt.h"
#include "raster.h"

namespace imgfilt {

class AnalysisArea {
 public:
  // False (and an empty area) for a null image, a zero size, lineBytes short of the pixels, or a
  // region that misses the image.
  bool Open(const uint8_t* image, uint32_t lineBytes, uint32_t width, uint32_t height,
            uint8_t orientation, int bpp, const ImageRect* region);

  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }
  // The region's rectangle in image coordinates.
  ImageRect rect() const;
  // Pixel (x, y) of the region.
  const uint8_t* at(uint32_t x, uint32_t y) const {
    return lines_[top_ + y] + (size_t{left_} + x) * static_cast<size_t>(bpp_);
  }

 private:
  Lines<const uint8_t> lines_{nullptr, 0, 0, 0};
  int bpp_ = 1;
  uint32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

}  // namespace imgfilt

#endif  // IMGFILT_SRC_ANALYSIS_AREA_H_
