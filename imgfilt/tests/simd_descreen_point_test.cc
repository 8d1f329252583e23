// The vector descreen kernels and point operations give the plain bytes on every target this
// processor runs (the make-clear kernels are the sharpening kernels the filter test covers).
#include <gtest/gtest.h>

#include <hwy/targets.h>

#include <random>
#include <vector>

#include "descreen_kernels.h"
#include "kernel_simd.h"
#include "point_ops.h"

namespace {

template <class Body>
void ForEachTarget(const Body& body) {
  const std::vector<int64_t> targets = imgfilt::SimdTargets();
  ASSERT_FALSE(targets.empty());
  for (int64_t target : targets) {
    hwy::SetSupportedTargetsForTest(target);
    SCOPED_TRACE(hwy::TargetName(target));
    body();
    if (::testing::Test::HasFatalFailure()) break;
  }
  hwy::SetSupportedTargetsForTest(0);
}

TEST(SimdDescreen, RowsMatchPlainForEveryKernel) {
  std::mt19937 rng(8);
  ForEachTarget([&rng] {
    for (int kernel = 1; kernel <= 13; ++kernel) {
      for (int bpp : {1, 3}) {
        for (size_t width = 1; width <= 90; ++width) {
          const size_t bytes = width * static_cast<size_t>(bpp);
          std::vector<std::vector<uint8_t>> lines(5, std::vector<uint8_t>(bytes));  // exact size: overreads show
          const bool extremes = width % 3 == 0;
          for (auto& line : lines) {
            for (uint8_t& v : line) v = extremes ? (rng() & 1 ? 255 : 0) : static_cast<uint8_t>(rng());
          }
          const imgfilt::DescreenRows rows{{lines[0].data(), lines[1].data(), lines[2].data(), lines[3].data(), lines[4].data()}};
          std::vector<uint8_t> fast(bytes, 0x5A), plain(bytes, 0x5A);
          imgfilt::DescreenRowFast(kernel, rows, fast.data(), width, bpp);
          imgfilt::DescreenRowPlain(kernel, rows, plain.data(), width, bpp);
          ASSERT_EQ(fast, plain) << "kernel " << kernel << " bpp " << bpp << " width " << width;
        }
      }
    }
  });
}

TEST(SimdPointOps, ThresholdAndInvertMatchPlain) {
  std::mt19937 rng(9);
  ForEachTarget([&rng] {
    for (size_t width = 1; width <= 300; ++width) {
      std::vector<uint8_t> gray(width);
      for (uint8_t& v : gray) v = static_cast<uint8_t>(rng());
      uint8_t row[8];
      for (uint8_t& t : row) t = static_cast<uint8_t>(rng());
      std::vector<uint8_t> fast((width + 7) / 8, 0x5A), plain(fast);
      imgfilt::ThresholdLineFast(gray.data(), fast.data(), width, row);
      imgfilt::ThresholdLine(gray.data(), plain.data(), width, row);
      ASSERT_EQ(fast, plain) << "width " << width;
      std::vector<uint8_t> inverted(width);
      imgfilt::InvertBytesFast(gray.data(), inverted.data(), width);
      for (size_t i = 0; i < width; ++i) ASSERT_EQ(inverted[i], static_cast<uint8_t>(~gray[i]));
    }
  });
}

}  // namespace
