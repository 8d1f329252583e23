// rastfx beside OpenCV in the same run, on an A4 300-dpi colour scan: the descreen filter against
// cv::sepFilter2D with the same Gaussian (sigma 1.5 and 4), and the DIB down-sample to half
// against cv::resize alone. Each iteration times both; "ratio" is rastfx's time over OpenCV's
// (goals: descreen at most 2.0, down-sample at most 1.5). Manual time is rastfx's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

#include "imgfilt_pages.h"
#include "rastfx/rastfx.h"
#include "test_host.h"

namespace {

using Clock = std::chrono::steady_clock;
using Op = std::function<void()>;

double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// `prepare` runs untimed before each pair (a fresh copy of what the operation overwrites).
void Compare(benchmark::State& state, double megapixels, const Op& prepare, const Op& ours, const Op& theirs) {
  cv::setNumThreads(1);
  double oursSeconds = 0, theirsSeconds = 0;
  for (auto _ : state) {
    prepare();
    auto t0 = Clock::now();
    ours();
    auto t1 = Clock::now();
    theirs();
    auto t2 = Clock::now();
    oursSeconds += Seconds(t0, t1);
    theirsSeconds += Seconds(t1, t2);
    state.SetIterationTime(Seconds(t0, t1));
  }
  auto n = double(state.iterations());
  state.counters["rastfx_MPps"] = megapixels * n / oursSeconds;
  state.counters["opencv_MPps"] = megapixels * n / theirsSeconds;
  state.counters["ratio"] = oursSeconds / theirsSeconds;
}

// The descreen's Gaussian, normalised, as OpenCV's separable filter takes it.
cv::Mat Gaussian(double sigma) {
  int r = int(std::ceil(sigma * std::sqrt(-2.0 * std::log(0.001))));
  cv::Mat k(2 * r + 1, 1, CV_32F);
  double sum = 0;
  for (int i = -r; i <= r; ++i) sum += std::exp(-double(i * i) / (2 * sigma * sigma));
  for (int i = -r; i <= r; ++i) k.at<float>(i + r) = float(std::exp(-double(i * i) / (2 * sigma * sigma)) / sum);
  return k;
}

// Arg: sigma x 10.
void BM_Descreen(benchmark::State& state) {
  platform::testing::TestHost host;
  const double sigma = double(state.range(0)) / 10;
  const imgfilt_bench::Page page = imgfilt_bench::kPages[0];
  const cv::Mat source = imgfilt_bench::MakePage(page, 3);
  cv::Mat ours = source.clone(), theirs;
  const cv::Mat kernel = Gaussian(sigma);
  Compare(state, page.width * double(page.lines) / 1e6, [&] { source.copyTo(ours); },
          [&] {
            P_ImageDescreen(ours.data, 24, 0, 0, uint32_t(page.width), uint32_t(page.lines), 0, sigma);
          },
          [&] { cv::sepFilter2D(source, theirs, -1, kernel, kernel); });
}

void BM_DownSampleHalf(benchmark::State& state) {
  platform::testing::TestHost host;
  const imgfilt_bench::Page page = imgfilt_bench::kPages[0];
  const cv::Mat source = imgfilt_bench::MakePage(page, 3);
  RastfxDibHeader header{};
  RastfxDibHeader fresh{40, page.width, page.lines, 1, 24, 0, 0, 0, 0, 0, 0};
  std::vector<uint8_t> rows(source.total() * 3);
  cv::Mat theirs;
  Compare(state, page.width * double(page.lines) / 1e6,
          [&] {
            header = fresh;
            std::memcpy(rows.data(), source.data, rows.size());
          },
          [&] {
            if (P_ImageDownSample(rows.data(), &header, 0, 0, uint32_t(page.width / 2), uint32_t(page.lines / 2)) != 1) {
              state.SkipWithError("down-sample failed");
            }
          },
          [&] { cv::resize(source, theirs, cv::Size(page.width / 2, page.lines / 2), 0, 0, cv::INTER_AREA); });
}

BENCHMARK(BM_Descreen)->Arg(15)->Arg(40)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DownSampleHalf)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
