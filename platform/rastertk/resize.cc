// Resizing on OpenCV's imgproc: area averaging when both sides shrink or stay, bilinear when one
// grows; colour-table images by nearest neighbour on their indices, since averaging indices
// makes colours that are not in the picture. An 8-bit image whose table is the grey ramp holds
// grey levels, not indices, and is averaged like colour.
#include <opencv2/imgproc.hpp>

#include "image.h"
#include "indexed.h"

namespace platform::rastertk {
namespace {

int MatType(int bitsPerPixel) {
  return bitsPerPixel == 32 ? CV_8UC4 : bitsPerPixel == 24 ? CV_8UC3 : CV_8UC1;
}

cv::Mat Wrap(Image& image) {
  return cv::Mat(image.height, image.width, MatType(image.bitsPerPixel), image.pixels.data(),
                 image.stride);
}

// Wrapped read-only: cv::resize never writes its source.
cv::Mat Wrap(const PixelView& view) {
  return cv::Mat(view.height, view.width, MatType(view.bitsPerPixel), const_cast<uint8_t*>(view.pixels),
                 view.stride);
}

cv::Mat Unpacked(const PixelView& image) {
  cv::Mat out(image.height, image.width, CV_8UC1);
  for (int32_t y = 0; y < image.height; ++y) {
    uint8_t* dst = out.ptr<uint8_t>(y);
    const uint8_t* src = image.Row(y);
    for (int32_t x = 0; x < image.width; ++x) dst[x] = IndexAt(src, x, image.bitsPerPixel);
  }
  return out;
}

void Pack(const cv::Mat& indices, Image* image) {
  for (int32_t y = 0; y < image->height; ++y) {
    const uint8_t* src = indices.ptr<uint8_t>(y);
    uint8_t* dst = image->Row(y);
    for (int32_t x = 0; x < image->width; ++x) SetIndex(dst, x, image->bitsPerPixel, src[x]);
  }
}

}  // namespace

int32_t ResizeImage(const PixelView& in, int32_t width, int32_t height, std::unique_ptr<Image>* out) {
  if (width <= 0 || height <= 0) return kRasterInvalidParameter;
  uint32_t stride = 0;
  uint64_t size = 0;
  if (int32_t r = CheckGeometry(width, height, in.bitsPerPixel, &stride, &size); r != kRasterSuccess) {
    return r;
  }
  // Whole-byte pixels are all written by the resize, and only the padding cleared after it.
  std::unique_ptr<Image> image = MakeImage(width, height, in.bitsPerPixel,
                                           in.bitsPerPixel < 8 ? Pixels::kZeroed : Pixels::kToBeWritten);
  if (!image) return kRasterNoMemory;
  if (in.palette) image->palette = *in.palette;
  image->sourceFormat = in.sourceFormat;
  bool reduce = width <= in.width && height <= in.height;
  try {
    if (in.bitsPerPixel < 8) {
      cv::Mat resized;
      cv::resize(Unpacked(in), resized, cv::Size(width, height), 0, 0, cv::INTER_NEAREST);
      Pack(resized, image.get());
    } else {
      bool indexed = in.bitsPerPixel == 8 && !(in.palette && IsGreyRamp(8, *in.palette));
      int method = indexed ? cv::INTER_NEAREST : reduce ? cv::INTER_AREA : cv::INTER_LINEAR;
      cv::Mat dst = Wrap(*image);
      cv::resize(Wrap(in), dst, cv::Size(width, height), 0, 0, method);
      if (dst.data != image->pixels.data()) return kRasterFailure;  // never reallocated
      ClearPadding(*image);
    }
  } catch (const cv::Exception&) {
    return kRasterFailure;
  } catch (const std::bad_alloc&) {
    return kRasterNoMemory;
  }
  *out = std::move(image);
  return kRasterSuccess;
}

}  // namespace platform::rastertk
