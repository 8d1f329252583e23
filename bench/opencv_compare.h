// Times our operation and OpenCV's peer in the same iteration, one thread each: manual time is
// ours; counters give both rates in megapixels per second and the ratio of times (ours / OpenCV,
// at most 1.0 meaning ours is at least as fast).
#pragma once

#include <benchmark/benchmark.h>

#include <opencv2/core.hpp>

#include <chrono>
#include <functional>

namespace imgfilt_bench {

inline double Megapixels(const cv::Mat& m) { return m.rows * static_cast<double>(m.cols) / 1e6; }

inline void Compare(benchmark::State& state, double megapixels, const std::function<void()>& ours,
                    const std::function<void()>& theirs) {
  using Clock = std::chrono::steady_clock;
  cv::setNumThreads(1);
  double oursSeconds = 0, theirsSeconds = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    ours();
    const auto t1 = Clock::now();
    theirs();
    const auto t2 = Clock::now();
    const double a = std::chrono::duration<double>(t1 - t0).count();
    oursSeconds += a;
    theirsSeconds += std::chrono::duration<double>(t2 - t1).count();
    state.SetIterationTime(a);
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["imgfilt_MPps"] = megapixels * n / oursSeconds;
  state.counters["opencv_MPps"] = megapixels * n / theirsSeconds;
  state.counters["ratio"] = oursSeconds / theirsSeconds;
}

}  // namespace imgfilt_bench
