// An independent check of our median: over a whole image it equals OpenCV's 3 x 3 median with
// replicated borders, byte for byte.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <random>
#include <vector>

#include "imgfilt.h"

namespace {

void CompareWithOpenCV(int width, int lines, int channels, int pad, uint32_t seed) {
  const int lineBytes = width * channels + pad;
  std::vector<uint8_t> src(static_cast<size_t>(lineBytes) * lines);
  std::mt19937 rng(seed);
  for (uint8_t& b : src) b = static_cast<uint8_t>(rng());
  std::vector<uint8_t> ours(src.size());
  const auto median = channels == 1 ? MedianGray : MedianColor;
  ASSERT_EQ(median(src.data(), ours.data(), static_cast<uint32_t>(lineBytes), static_cast<uint32_t>(width),
                   static_cast<uint32_t>(lines), 0, IMGFILT_BAND_NONE, nullptr, nullptr), IMGFILT_OK);
  const cv::Mat in(lines, width, CV_8UC(channels), src.data(), static_cast<size_t>(lineBytes));
  cv::Mat theirs;
  cv::medianBlur(in, theirs, 3);
  for (int y = 0; y < lines; ++y) {
    const uint8_t* row = theirs.ptr<uint8_t>(y);
    for (int i = 0; i < width * channels; ++i) {
      ASSERT_EQ(ours[static_cast<size_t>(y) * lineBytes + i], row[i])
          << width << "x" << lines << "x" << channels << " at line " << y << " byte " << i;
    }
  }
}

TEST(OpenCVMedian, WholeImageMedianMatchesMedianBlur) {
  for (int channels : {1, 3}) {
    for (int width : {2, 3, 7, 16, 33, 64, 67, 301}) {
      for (int lines : {2, 3, 5, 40}) CompareWithOpenCV(width, lines, channels, width % 4, static_cast<uint32_t>(width * lines));
    }
  }
}

TEST(OpenCVMedian, LargeScanMatchesMedianBlur) {
  CompareWithOpenCV(1240, 700, 1, 0, 1);
  CompareWithOpenCV(620, 350, 3, 2, 2);
}

}  // namespace
