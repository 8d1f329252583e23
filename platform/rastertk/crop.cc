// Automatic crop: the smallest rectangle holding everything that is not background, the
// background being the colour of the top-left pixel. The copy is a region of interest in OpenCV
// for whole-byte pixels and a pixel walk for 1 and 4 bits.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <opencv2/core.hpp>

#include "image.h"
#include "indexed.h"

namespace platform::rastertk {
namespace {

using Colour = std::array<uint8_t, 3>;  // blue, green, red

Colour ColourAt(const Image& image, const uint8_t* topRow, int32_t x) {
  if (image.bitsPerPixel <= 8) {
    const uint8_t* e = &image.palette[size_t(IndexAt(topRow, x, image.bitsPerPixel)) * 4];
    return {e[0], e[1], e[2]};
  }
  const uint8_t* p = topRow + size_t(x) * size_t(image.bitsPerPixel / 8);
  return {p[0], p[1], p[2]};
}

bool Differs(const Colour& a, const Colour& b, uint32_t tolerance) {
  for (int i = 0; i < 3; ++i) {
    if (uint32_t(std::abs(int(a[i]) - int(b[i]))) > tolerance) return true;
  }
  return false;
}

}  // namespace

int32_t AutoCropImage(const Image& in, uint32_t tolerance, uint32_t margin,
                      std::unique_ptr<Image>* out) {
  if (tolerance > 255) return kRasterInvalidParameter;
  Colour background = ColourAt(in, in.TopRow(0), 0);
  int32_t left = in.width, right = -1, top = in.height, bottom = -1;
  for (int32_t y = 0; y < in.height; ++y) {
    const uint8_t* row = in.TopRow(y);
    for (int32_t x = 0; x < in.width; ++x) {
      if (!Differs(ColourAt(in, row, x), background, tolerance)) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return kRasterNothingToCrop;
  int64_t m = margin;
  int32_t x0 = int32_t(std::max<int64_t>(0, left - m));
  int32_t y0 = int32_t(std::max<int64_t>(0, top - m));
  int32_t x1 = int32_t(std::min<int64_t>(in.width - 1, right + m));
  int32_t y1 = int32_t(std::min<int64_t>(in.height - 1, bottom + m));
  std::unique_ptr<Image> image = MakeImage(x1 - x0 + 1, y1 - y0 + 1, in.bitsPerPixel);
  if (!image) return kRasterNoMemory;
  image->palette = in.palette;
  image->sourceFormat = in.sourceFormat;
  if (in.bitsPerPixel >= 8) {
    int type = in.bitsPerPixel == 32 ? CV_8UC4 : in.bitsPerPixel == 24 ? CV_8UC3 : CV_8UC1;
    // Bottom-up storage: the picture's rows y0..y1 are stored rows height-1-y1 .. height-1-y0.
    cv::Mat source(in.height, in.width, type, const_cast<uint8_t*>(in.pixels.data()), in.stride);
    cv::Mat dst(image->height, image->width, type, image->pixels.data(), image->stride);
    source(cv::Rect(x0, in.height - 1 - y1, image->width, image->height)).copyTo(dst);
  } else {
    for (int32_t y = 0; y < image->height; ++y) {
      const uint8_t* src = in.TopRow(y0 + y);
      uint8_t* dst = image->TopRow(y);
      for (int32_t x = 0; x < image->width; ++x) {
        SetIndex(dst, x, in.bitsPerPixel, IndexAt(src, x0 + x, in.bitsPerPixel));
      }
    }
  }
  *out = std::move(image);
  return kRasterSuccess;
}

}  // namespace platform::rastertk
