// The pages the image benchmarks work on: A4 at 300 and 600 dpi, scan-like content.
#pragma once

#include <opencv2/core.hpp>

#include <cstdint>
#include <random>

namespace imgfilt_bench {

struct Page {
  int dpi;
  int width;
  int lines;
};
inline constexpr Page kPages[] = {{300, 2480, 3508}, {600, 4960, 7016}};

// A scan-like page: smooth shading with fine noise, so that no path meets only flat runs.
inline cv::Mat MakePage(const Page& page, int channels) {
  cv::Mat image(page.lines, page.width, CV_8UC(channels));
  std::mt19937 rng(page.dpi);
  for (int y = 0; y < page.lines; ++y) {
    uint8_t* row = image.ptr<uint8_t>(y);
    for (int i = 0; i < page.width * channels; ++i) {
      row[i] = static_cast<uint8_t>((i / channels + y) / 16 % 200 + rng() % 48);
    }
  }
  return image;
}

inline uint32_t Stride(const cv::Mat& m) { return static_cast<uint32_t>(m.step[0]); }

}  // namespace imgfilt_bench
