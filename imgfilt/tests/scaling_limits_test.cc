// The scaler's limits through its exports: band states past the last one, and the largest sizes.
#include <gtest/gtest.h>

#include <vector>

#include "imgfilt.h"
#include "scale_runner.h"
#include "test_image.h"
#include "work_buffer.h"

namespace {

using imgfiltTest::Image;
using imgfiltTest::kSentinel;
using imgfiltTest::RandomImage;

TEST(ScalingLimits, BandStateAbove3IsAnOnlyBand) {
  for (const auto scale : {ScalingGray, ScalingColor}) {
    const int bpp = scale == ScalingGray ? 1 : 3;
    const Image src = RandomImage(9, 10, bpp, 7);
    const Image only = imgfiltTest::ScaleInBands(imgfiltTest::ScaleExport(scale), src, 20, 7, {10});
    for (uint8_t state : {4, 5, 255}) {
      std::vector<uint8_t> dst(only.bytes.size(), kSentinel);
      // An unfinished image of the same geometry: the state must start afresh, not continue it.
      ASSERT_EQ(scale(src.data(), dst.data(), src.lineBytes, 9, 4, 10, only.lineBytes, 20, 7, 0, 0, nullptr), 0);
      dst.assign(dst.size(), kSentinel);
      ASSERT_EQ(scale(src.data(), dst.data(), src.lineBytes, 9, 10, 10, only.lineBytes, 20, 7, 0, state, nullptr), 0)
          << "state " << int{state};
      EXPECT_EQ(dst, only.bytes) << "state " << int{state};
      // And it was the last band: there is no image left to continue.
      EXPECT_EQ(scale(src.line(4), dst.data(), src.lineBytes, 9, 3, 10, only.lineBytes, 20, 7, 0, 1, src.line(3)), 13)
          << "state " << int{state};
    }
  }
}

TEST(ScalingLimits, SizesUpTo2To28AreScaledAndLargerOnesRefused) {
  // At 2^28 the call gets as far as building its tables (made to fail here: 10, nothing written);
  // one more returns 13 before anything is allocated. Each of the four sizes in turn.
  constexpr uint32_t kLimit = 268435456;
  std::vector<uint8_t> src(64, 1), dst(64, kSentinel);
  for (int which = 0; which < 4; ++which) {
    for (uint32_t size : {kLimit, kLimit + 1}) {
      uint32_t sizes[4] = {8, 8, 16, 4};  // width, total lines, target width, target height
      sizes[which] = size;
      const auto [width, total, targetWidth, targetHeight] = sizes;
      imgfilt::faults::FailNth(1);
      const uint8_t code = ScalingGray(src.data(), dst.data(), width, width, 1, total, targetWidth,
                                       targetWidth, targetHeight, 0, 3, nullptr);
      imgfilt::faults::Clear();
      EXPECT_EQ(code, size == kLimit ? 10 : 13) << "size " << which << " = " << size;
    }
  }
  EXPECT_EQ(dst, std::vector<uint8_t>(64, kSentinel));
}

}  // namespace
