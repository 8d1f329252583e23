// imgfilt beside OpenCV, in the same run and on the same A4 scans: each benchmark times both in
// every iteration and reports their megapixels per second and the ratio of times (imgfilt / OpenCV;
// at most 1.0 means imgfilt is at least as fast). Manual time is imgfilt's.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <chrono>
#include <functional>
#include <random>
#include <vector>

#include "imgfilt.h"
#include "imgfilt_pages.h"
#include "opencv_compare.h"

namespace {

using imgfilt_bench::Compare;
using imgfilt_bench::kPages;
using imgfilt_bench::MakePage;
using imgfilt_bench::Megapixels;
using imgfilt_bench::Page;
using imgfilt_bench::Stride;

using Op = std::function<void()>;



// Args: page index, channels (1 or 3), setting.
void BM_Median(benchmark::State& state) {
  const cv::Mat src = MakePage(kPages[state.range(0)], static_cast<int>(state.range(1)));
  cv::Mat ours = src.clone(), theirs;
  const auto median = src.channels() == 1 ? MedianGray : MedianColor;
  Compare(state, Megapixels(src), [&] {
    median(src.data, ours.data, Stride(src), static_cast<uint32_t>(src.cols), static_cast<uint32_t>(src.rows), 0, IMGFILT_BAND_NONE, nullptr, nullptr);
  }, [&] { cv::medianBlur(src, theirs, 3); });
}

void BM_MedianBanded(benchmark::State& state) {
  // A scanner's way: 64-line bands through the caller's two held lines.
  const cv::Mat src = MakePage(kPages[state.range(0)], static_cast<int>(state.range(1)));
  cv::Mat ours = src.clone(), theirs;
  std::vector<uint8_t> held(2 * Stride(src));
  const auto median = src.channels() == 1 ? MedianGray : MedianColor;
  Compare(state, Megapixels(src), [&] {
    for (int y = 0; y < src.rows; y += 64) {
      const int lines = std::min(64, src.rows - y);
      const uint8_t bandState = y == 0 ? IMGFILT_BAND_FIRST : y + lines == src.rows ? IMGFILT_BAND_LAST : IMGFILT_BAND_MIDDLE;
      uint8_t* out = ours.ptr<uint8_t>(y == 0 ? 0 : y - 1);
      median(src.ptr<uint8_t>(y), out, Stride(src), static_cast<uint32_t>(src.cols), static_cast<uint32_t>(lines), 0, bandState, held.data(), nullptr);
    }
  }, [&] { cv::medianBlur(src, theirs, 3); });
}

void BM_Blur(benchmark::State& state) {
  const cv::Mat src = MakePage(kPages[state.range(0)], static_cast<int>(state.range(1)));
  cv::Mat ours = src.clone(), theirs;
  const auto blur = src.channels() == 1 ? BlurGray : BlurColor;
  const auto level = static_cast<uint8_t>(state.range(2));
  Compare(state, Megapixels(src), [&] {
    blur(src.data, ours.data, Stride(src), static_cast<uint32_t>(src.cols), static_cast<uint32_t>(src.rows), 0, level, IMGFILT_BAND_NONE, nullptr, nullptr);
  }, [&] { cv::blur(src, theirs, cv::Size(3, 3), cv::Point(-1, -1), cv::BORDER_REPLICATE); });
}

cv::Mat SharpenKernel() {
  // The level-1 sharpening as a 3 x 3 kernel: P + (8P - neighbours) / 11.
  cv::Mat k(3, 3, CV_32F, cv::Scalar(-1.0f / 11));
  k.at<float>(1, 1) = 1.0f + 8.0f / 11;
  return k;
}

void BM_Sharpen(benchmark::State& state) {
  const cv::Mat src = MakePage(kPages[state.range(0)], static_cast<int>(state.range(1)));
  cv::Mat ours = src.clone(), theirs;
  const cv::Mat kernel = SharpenKernel();
  const auto sharpen = src.channels() == 1 ? SharpenGray : SharpenColor;
  Compare(state, Megapixels(src), [&] {
    sharpen(src.data, ours.data, Stride(src), static_cast<uint32_t>(src.cols), static_cast<uint32_t>(src.rows), 0, 1, IMGFILT_BAND_NONE, nullptr, nullptr);
  }, [&] { cv::filter2D(src, theirs, -1, kernel, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE); });
}

void BM_Unsharp(benchmark::State& state) {
  const cv::Mat src = MakePage(kPages[state.range(0)], static_cast<int>(state.range(1)));
  cv::Mat ours = src.clone(), theirs;
  const cv::Mat kernel = SharpenKernel();
  const auto unsharp = src.channels() == 1 ? UnsharpmaskGray : UnsharpmaskColor;
  Compare(state, Megapixels(src), [&] {
    unsharp(src.data, ours.data, Stride(src), static_cast<uint32_t>(src.cols), static_cast<uint32_t>(src.rows), 0, 50, IMGFILT_BAND_NONE, nullptr, nullptr);
  }, [&] { cv::filter2D(src, theirs, -1, kernel, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE); });
}

// Args: page, channels, scale in percent (200 linear; 50 and 90 area).
void BM_Scaling(benchmark::State& state) {
  const cv::Mat src = MakePage(kPages[state.range(0)], static_cast<int>(state.range(1)));
  const int percent = static_cast<int>(state.range(2));
  const int tw = src.cols * percent / 100, th = src.rows * percent / 100;
  cv::Mat ours(th, tw, src.type()), theirs;
  const auto scale = src.channels() == 1 ? ScalingGray : ScalingColor;
  const int interpolation = percent > 100 ? cv::INTER_LINEAR : cv::INTER_AREA;
  Compare(state, Megapixels(src), [&] {
    scale(src.data, ours.data, Stride(src), static_cast<uint32_t>(src.cols), static_cast<uint32_t>(src.rows),
          static_cast<uint32_t>(src.rows), Stride(ours), static_cast<uint32_t>(tw), static_cast<uint32_t>(th), 0,
          IMGFILT_BAND_ONLY, nullptr);
  }, [&] { cv::resize(src, theirs, cv::Size(tw, th), 0, 0, interpolation); });
}

void PageArgs(benchmark::internal::Benchmark* b, std::initializer_list<int64_t> settings) {
  b->ArgNames({"page", "channels", "setting"});
  for (int64_t page : {0, 1}) {
    for (int64_t channels : {1, 3}) {
      for (int64_t s : settings) b->Args({page, channels, s});
    }
  }
  b->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Median)->Apply([](auto* b) { PageArgs(b, {0}); });
BENCHMARK(BM_MedianBanded)->Apply([](auto* b) { PageArgs(b, {0}); });
BENCHMARK(BM_Blur)->Apply([](auto* b) { PageArgs(b, {1, 2, 3}); });
BENCHMARK(BM_Sharpen)->Apply([](auto* b) { PageArgs(b, {1}); });
BENCHMARK(BM_Unsharp)->Apply([](auto* b) { PageArgs(b, {50}); });
BENCHMARK(BM_Scaling)->Apply([](auto* b) { PageArgs(b, {200, 50, 90}); });

}  // namespace

BENCHMARK_MAIN();
