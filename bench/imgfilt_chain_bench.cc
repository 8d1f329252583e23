// A 1200-dpi A4 colour page (9921 x 14031) through descreen, make clear and 50 % scaling: the
// banded chain in 64-line bands against OpenCV's nearest chain on the whole page in one run;
// and screen detection on one 128 x 128 block against OpenCV's DFT of such a block.
//
// The chain runs first and generates its page band by band, as a scanner delivers it, so the
// peak resident memory it reports is the chain's own; OpenCV then holds the whole page.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include "imgfilt.h"

namespace {

constexpr uint32_t kWidth = 9921, kLines = 14031, kBand = 64;
constexpr uint16_t kDpi = 1200;
constexpr uint8_t kRuling = 150, kMakeClear = 2;

double PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

// Lines [first, first + count) of the scan-like page: shading with fine noise.
void FillLines(uint8_t* out, size_t stride, uint32_t first, uint32_t count, std::mt19937& rng) {
  for (uint32_t y = 0; y < count; ++y) {
    uint8_t* row = out + size_t{y} * stride;
    for (uint32_t i = 0; i < kWidth * 3; ++i) row[i] = static_cast<uint8_t>((i / 3 + first + y) / 16 % 200 + rng() % 48);
  }
}

void BM_ChainPage1200Banded(benchmark::State& state) {
  const uint16_t ops = IMGFILT_OP_DESCREEN | IMGFILT_OP_MAKE_CLEAR | IMGFILT_OP_SCALING;
  const uint32_t extra = GetExtraLineNum(ops);
  const uint32_t lineBytes = (kWidth * 3 + 3) & ~3u;
  std::vector<uint8_t> band(size_t{kBand} * lineBytes), out(size_t{kBand} * lineBytes);
  double seconds = 0;
  uint64_t linesOut = 0;
  for (auto _ : state) {
    std::mt19937 rng(1);
    ProcessParam p{};
    p.lineBytes = lineBytes;
    p.width = kWidth;
    p.totalLines = kLines + extra;
    p.targetWidth = kWidth / 2;
    p.targetHeight = kLines / 2;
    p.imageType = IMGFILT_TYPE_COLOR;
    p.operations = ops;
    p.makeClearLevel = kMakeClear;
    p.screenRuling = kRuling;
    p.xResolution = p.yResolution = kDpi;
    const uint32_t total = p.totalLines;
    linesOut = 0;
    for (uint32_t done = 0; done < total;) {
      const uint32_t n = std::min(kBand, total - done);
      FillLines(band.data(), lineBytes, done, n, rng);  // the scanner's part, not timed
      p.lines = n;
      p.bandState = done == 0 ? IMGFILT_BAND_FIRST : IMGFILT_BAND_MIDDLE;
      const auto t0 = std::chrono::steady_clock::now();
      DoImgfiltess(band.data(), out.data(), &p);
      seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      benchmark::DoNotOptimize(out.data());
      linesOut += p.outLines;
      done += n;
    }
    state.SetIterationTime(seconds);
  }
  const double mp = double{kWidth} * kLines / 1e6 * static_cast<double>(state.iterations());
  state.counters["source_MPps"] = mp / seconds;
  state.counters["peak_rss_MB"] = PeakRssMb();
  state.counters["lines_out"] = static_cast<double>(linesOut);
}

// Nearest OpenCV chain: a 3 x 3 median for the rank kernel that descreens 150 lpi at 1200 dpi, a
// 3 x 3 sharpening P + (8P - neighbours) / 3 for make clear level 2, area resampling to half.
void BM_OpenCvChainPage1200(benchmark::State& state) {
  cv::setNumThreads(1);
  cv::Mat page(kLines, kWidth, CV_8UC3);
  std::mt19937 rng(1);
  FillLines(page.data, page.step[0], 0, kLines, rng);
  cv::Mat kernel(3, 3, CV_32F, cv::Scalar(-1.0f / 3));
  kernel.at<float>(1, 1) = 1.0f + 8.0f / 3;
  cv::Mat a, b, c;
  double seconds = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    cv::medianBlur(page, a, 3);
    cv::filter2D(a, b, -1, kernel, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
    cv::resize(b, c, cv::Size(kWidth / 2, kLines / 2), 0, 0, cv::INTER_AREA);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    benchmark::DoNotOptimize(c.data);
    state.SetIterationTime(seconds);
  }
  state.counters["source_MPps"] = double{kWidth} * kLines / 1e6 * static_cast<double>(state.iterations()) / seconds;
  state.counters["peak_rss_MB"] = PeakRssMb();
}

// A 133-lpi screen at 30 degrees scanned at 300 dpi, three channels.
std::vector<uint8_t> ScreenBlock() {
  std::vector<uint8_t> block(128 * 128 * 3);
  const double f = 133.0 / 300.0, a = 30.0 * 3.14159265358979 / 180.0;
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      const double u = f * (x * std::cos(a) + y * std::sin(a)), v = f * (-x * std::sin(a) + y * std::cos(a));
      const double s = (std::cos(2 * 3.14159265358979 * u) + std::cos(2 * 3.14159265358979 * v)) / 2;
      for (int c = 0; c < 3; ++c) block[static_cast<size_t>((y * 128 + x) * 3 + c)] = s > 0 ? 230 : 25;
    }
  }
  return block;
}

void BM_DetectLpiColorBlock(benchmark::State& state) {
  const std::vector<uint8_t> block = ScreenBlock();
  uint8_t ruling = 0;
  for (auto _ : state) {
    DetectLpiColor(block.data(), 384, 128, 128, &ruling, nullptr);
    benchmark::DoNotOptimize(ruling);
  }
  state.counters["ruling"] = ruling;
}

void BM_OpenCvDft128(benchmark::State& state) {
  cv::setNumThreads(1);
  cv::Mat block(128, 128, CV_32F), spectrum;
  cv::randu(block, 0.0f, 1.0f);
  for (auto _ : state) {
    cv::dft(block, spectrum, cv::DFT_COMPLEX_OUTPUT);
    benchmark::DoNotOptimize(spectrum.data);
  }
}

}  // namespace

// The chain first: its peak memory must be measured before OpenCV holds a whole page.
BENCHMARK(BM_ChainPage1200Banded)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenCvChainPage1200)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DetectLpiColorBlock)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenCvDft128)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
