// imgfilt's rotations beside OpenCV's in the same run and on the same A4 scans: quarter turns
// against cv::rotate, 7 degrees against cv::warpAffine (bilinear, white border, the same
// destination size and mapping). Each benchmark times both in every iteration and reports their
// megapixels per second and the ratio of times (imgfilt / OpenCV; at most 1.0 means imgfilt is
// at least as fast). Manual time is imgfilt's.
#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
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


// Args: page, channels.
void BM_Rotate90(benchmark::State& state) {
  const cv::Mat src = MakePage(kPages[state.range(0)], static_cast<int>(state.range(1)));
  cv::Mat ours(src.cols, src.rows, src.type()), theirs;
  const auto turn = src.channels() == 1 ? Rotation90Gray : Rotation90Color;
  const auto rows = static_cast<uint32_t>(src.rows);
  Compare(state, Megapixels(src), [&] {
    turn(src.data, ours.data, Stride(src), static_cast<uint32_t>(src.cols), rows, rows, Stride(ours), 90, 0,
         IMGFILT_BAND_NONE);
  }, [&] { cv::rotate(src, theirs, cv::ROTATE_90_CLOCKWISE); });
}

// The affine map OpenCV needs for the same result: destination (X, Y) reads source
// ((X + ox) cos + (Y + oy) sin, (Y + oy) cos - (X + ox) sin), the origin being the floor of the
// turned corners' least coordinates.
cv::Mat InverseMap(const cv::Mat& src, float degrees) {
  const float radians = static_cast<float>(std::lround(degrees * 10) * 3.14159265358979323846 / 1800);
  const double c = std::cos(radians), s = std::sin(radians);
  const double w1 = src.cols - 1.0, h1 = src.rows - 1.0;
  const double xs[] = {0, w1 * c, -h1 * s, w1 * c - h1 * s}, ys[] = {0, w1 * s, h1 * c, w1 * s + h1 * c};
  const double ox = std::floor(*std::min_element(xs, xs + 4)), oy = std::floor(*std::min_element(ys, ys + 4));
  return (cv::Mat_<double>(2, 3) << c, s, ox * c + oy * s, -s, c, oy * c - ox * s);
}

void BM_Rotate7(benchmark::State& state) {
  const cv::Mat src = MakePage(kPages[state.range(0)], static_cast<int>(state.range(1)));
  constexpr float kAngle = 7.0f;
  uint32_t w = 0, h = 0;
  GetRotateSize(static_cast<uint32_t>(src.cols), static_cast<uint32_t>(src.rows), &w, &h, kAngle);
  cv::Mat ours(static_cast<int>(h), static_cast<int>(w), src.type()), theirs;
  const cv::Mat map = InverseMap(src, kAngle);
  const auto rotate = src.channels() == 1 ? RotationGray : RotationColor;
  const auto rows = static_cast<uint32_t>(src.rows);
  Compare(state, Megapixels(src), [&] {
    rotate(src.data, ours.data, Stride(src), static_cast<uint32_t>(src.cols), rows, rows, Stride(ours), kAngle,
           0, IMGFILT_BAND_NONE, nullptr);
  }, [&] {
    cv::warpAffine(src, theirs, map, ours.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT,
                   cv::Scalar::all(255));
  });
}

void PageArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"page", "channels"});
  for (int64_t page : {0, 1}) {
    for (int64_t channels : {1, 3}) b->Args({page, channels});
  }
  b->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Rotate90)->Apply(PageArgs);
BENCHMARK(BM_Rotate7)->Apply(PageArgs);

}  // namespace

BENCHMARK_MAIN();
