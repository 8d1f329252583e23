// The banded scaler through its exports: worked figures, line accounting, state and bad input.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "imgfilt.h"
#include "scale_runner.h"
#include "scale_table.h"
#include "test_image.h"
#include "work_buffer.h"

namespace {

using imgfiltTest::EvenBands;
using imgfiltTest::Image;
using imgfiltTest::kSentinel;
using imgfiltTest::MakeImage;
using imgfiltTest::RandomImage;
using imgfiltTest::ScaleExport;
using imgfiltTest::ScaleInBands;

const imgfiltTest::ScaleFunction kGray = ScaleExport(ScalingGray);
const imgfiltTest::ScaleFunction kColor = ScaleExport(ScalingColor);

TEST(Scaling, DoublingTheWidthCopiesEveryOtherPixel) {
  Image src = RandomImage(100, 3, 1, 8);
  src.at(0, 0) = 100;
  src.at(1, 0) = 120;
  const Image out = ScaleInBands(kGray, src, 200, 3, {3});
  for (size_t y = 0; y < 3; ++y) {
    for (size_t k = 1; k <= 100; ++k) ASSERT_EQ(out.line(y)[2 * k - 1], src.line(y)[k - 1]) << k;
    // In between: the two neighbours at 64/128 each, rounding term 4.
    for (size_t k = 1; k < 100; ++k) {
      ASSERT_EQ(out.line(y)[2 * k], (64 * src.line(y)[k - 1] + 64 * src.line(y)[k] + 4) >> 7) << k;
    }
  }
  // Output 0 blends pixel 0 with the virtual pixel before it, 2 x 100 - 120 = 80.
  EXPECT_EQ(out.line(0)[0], (64 * 80 + 64 * 100 + 4) >> 7);
  EXPECT_EQ(out.line(0)[199], src.line(0)[99]);
}

TEST(Scaling, DoublingTheHeightCopiesEveryOtherLine) {
  const Image src = RandomImage(9, 6, 3, 2);
  const Image out = ScaleInBands(kColor, src, 9, 12, {2, 2, 2});
  for (size_t k = 1; k <= 6; ++k) EXPECT_TRUE(imgfiltTest::SameLines(out, src, 1, 2 * k - 1, k - 1)) << k;
  for (size_t k = 1; k < 6; ++k) {
    for (size_t i = 0; i < 27; ++i) {
      ASSERT_EQ(out.line(2 * k)[i], (64 * src.line(k - 1)[i] + 64 * src.line(k)[i] + 4) >> 7);
    }
  }
}

// A line doubled in width: odd outputs copy, even ones average (rounding term 4 of 128); output
// 0 blends the first pixel with the one extrapolated before it.
std::vector<int> DoubleLine(const uint8_t* p, size_t width) {
  std::vector<int> out(2 * width);
  const int before = std::clamp(2 * p[0] - p[1], 0, 255);
  for (size_t k = 0; k < width; ++k) {
    out[2 * k + 1] = p[k];
    out[2 * k] = (64 * (k == 0 ? before : p[k - 1]) + 64 * p[k] + 4) >> 7;
  }
  return out;
}

TEST(Scaling, DoublingBothWaysWidensFirstThenBlendsLines) {
  for (const auto& bands : {std::vector<size_t>{8}, std::vector<size_t>{3, 5}}) {
    const Image src = RandomImage(12, 8, 1, 13);
    const Image out = ScaleInBands(kGray, src, 24, 16, bands);
    std::vector<uint8_t> before(12);
    for (size_t x = 0; x < 12; ++x) before[x] = static_cast<uint8_t>(std::clamp(2 * src.line(0)[x] - src.line(1)[x], 0, 255));
    for (size_t y = 0; y < 16; ++y) {
      const size_t k = y / 2;  // odd lines copy source line k, even lines blend k - 1 and k
      const std::vector<int> lower = DoubleLine(src.line(k), 12);
      // Line -1 is extrapolated; a second band's line -1 is the first band's last line itself.
      const std::vector<int> upper = DoubleLine(y == 0 ? before.data() : src.line(y % 2 == 1 ? k : k - 1), 12);
      for (size_t x = 0; x < 24; ++x) {
        const int want = y % 2 == 1 ? lower[x] : (64 * upper[x] + 64 * lower[x] + 4) >> 7;
        ASSERT_EQ(out.line(y)[x], want) << "line " << y << " pixel " << x;
      }
    }
  }
}

TEST(Scaling, ReductionJustBelowOneWidensItsWindow) {
  // 1000 to 900: radius 1.2 / 0.9, so output 0 (centre 1.11) also draws on source index -1.
  imgfilt::ReduceTable widened;
  ASSERT_EQ(imgfilt::BuildReduceTable(1000, 900, widened), IMGFILT_OK);
  ASSERT_EQ(widened.entries[0].count, 3u);
  EXPECT_EQ(widened.pairs[0].index, -1);
  EXPECT_NEAR(widened.pairs[0].weight, 0.0565f, 0.0005f);
  EXPECT_NEAR(widened.pairs[1].weight, 0.7458f, 0.0005f);
  // 1000 to 800 keeps the plain radius 1 / 0.8: index -1 lies exactly on its edge, weight 0.
  imgfilt::ReduceTable plain;
  ASSERT_EQ(imgfilt::BuildReduceTable(1000, 800, plain), IMGFILT_OK);
  EXPECT_EQ(plain.pairs[plain.entries[0].first].index, 0);
  float sum = 0;
  for (size_t k = 0; k < widened.entries[5].count; ++k) sum += widened.pairs[widened.entries[5].first + k].weight;
  EXPECT_NEAR(sum, 1.0f, 1e-6f);
}

TEST(Scaling, TablesRefuseTheWrongSideOfOne) {
  imgfilt::EnlargeTable enlarge;
  imgfilt::ReduceTable reduce;
  EXPECT_EQ(imgfilt::BuildEnlargeTable(10, 9, enlarge), IMGFILT_NOTHING_TO_DO);
  EXPECT_EQ(imgfilt::BuildReduceTable(10, 11, reduce), IMGFILT_NOTHING_TO_DO);
}

TEST(Scaling, SameSizeReturns12AndWritesNothing) {
  const Image src = RandomImage(10, 4, 1, 1);
  Image dst = MakeImage(10, 4, 1, kSentinel);
  EXPECT_EQ(ScalingGray(src.data(), dst.data(), 10, 10, 4, 4, 10, 10, 4, 0, 3, nullptr), IMGFILT_NOTHING_TO_DO);
  EXPECT_EQ(dst.bytes, std::vector<uint8_t>(dst.bytes.size(), kSentinel));
}

TEST(Scaling, OneLineFirstBandIsItsOwnPreviousLine) {
  // 2 lines to 4: output 0 blends line -1 and line 0 evenly, output 1 is line 0.
  const Image src = RandomImage(6, 2, 1, 4);
  const Image split = ScaleInBands(kGray, src, 6, 4, {1, 1});
  EXPECT_TRUE(imgfiltTest::SameLines(split, src, 1, 0, 0));
  EXPECT_TRUE(imgfiltTest::SameLines(split, src, 1, 1, 0));
  // In one band, line -1 is extrapolated as 2 x line 0 - line 1 instead.
  const Image whole = ScaleInBands(kGray, src, 6, 4, {2});
  for (size_t x = 0; x < 6; ++x) {
    const int before = std::clamp(2 * src.line(0)[x] - src.line(1)[x], 0, 255);
    EXPECT_EQ(whole.line(0)[x], (64 * before + 64 * src.line(0)[x] + 4) >> 7);
  }
}

TEST(Scaling, BandsWriteExactlyTheTargetHeight) {
  const uint32_t heights[][2] = {{50, 173}, {50, 50}, {50, 17}, {50, 1}, {7, 300}, {300, 7}, {1, 5}};
  for (const auto& [lines, target] : heights) {
    const Image gray = RandomImage(12, lines, 1, lines);
    const Image colour = RandomImage(12, lines, 3, lines);
    for (size_t size : {size_t{1}, size_t{3}, size_t{16}, size_t{lines}}) {
      // ScaleInBands gives each band a destination of exactly N lines and counts them.
      ScaleInBands(kGray, gray, 29, target, EvenBands(lines, size));
      ScaleInBands(kColor, colour, 5, target, EvenBands(lines, size));
    }
  }
}

TEST(Scaling, LinesBeyondTheImageAreIgnored) {
  // A band that runs past totalLines writes only what the image is due.
  const Image src = RandomImage(8, 10, 1, 6);
  Image dst = MakeImage(16, 20, 1, kSentinel);
  ASSERT_EQ(ScalingGray(src.data(), dst.data(), 8, 8, 10, 6, 16, 16, 12, 0, 3, nullptr), IMGFILT_OK);
  EXPECT_EQ(dst.line(12)[0], kSentinel);
  EXPECT_NE(dst.line(11)[0], kSentinel);
}

TEST(Scaling, LargeImagesCountLinesWithoutOverflow) {
  // 70000 x 70000 does not fit 32 bits; the band still gets its share.
  EXPECT_EQ(imgfilt::BandOutputLines(60000, 10000, 70000, 70000), 10000u);
  EXPECT_EQ(imgfilt::BandOutputLines(0, 100000, 100000, 200000), 200000u);
  EXPECT_EQ(imgfilt::BandOutputLines(70000, 5, 70000, 140000), 0u);
}

TEST(Scaling, GrayAndColourKeepSeparateState) {
  const Image gray = RandomImage(20, 12, 1, 1);
  const Image colour = RandomImage(7, 5, 3, 2);
  const Image expectedGray = ScaleInBands(kGray, gray, 31, 17, {4, 4, 4});
  const Image expectedColour = ScaleInBands(kColor, colour, 3, 9, {5});
  // Interleave: the colour image runs in full between the gray image's bands.
  size_t call = 0;
  const imgfiltTest::ScaleFunction interleaved = [&](const imgfilt::ScaleCall& c) {
    if (call++ == 1) {
      EXPECT_EQ(ScaleInBands(kColor, colour, 3, 9, {2, 3}).bytes, expectedColour.bytes);
    }
    return kGray(c);
  };
  EXPECT_EQ(ScaleInBands(interleaved, gray, 31, 17, {4, 4, 4}).bytes, expectedGray.bytes);
}

TEST(Scaling, SourceMayBeTheDestination) {
  struct Geometry { uint32_t w, h, tw, th; };
  for (const Geometry& g : {Geometry{10, 8, 25, 19}, Geometry{10, 8, 25, 5}, Geometry{30, 8, 11, 21},
                            Geometry{30, 8, 11, 3}, Geometry{30, 8, 30, 20}}) {
    for (uint8_t orientation : {0, 1}) {
      const Image src = RandomImage(g.w, g.h, 3, 9, 0, orientation);
      const Image apart = ScaleInBands(kColor, src, g.tw, g.th, {g.h});
      const size_t outBytes = size_t{g.tw} * 3 * g.th;
      std::vector<uint8_t> buffer(std::max(src.bytes.size(), outBytes));
      std::copy(src.bytes.begin(), src.bytes.end(), buffer.begin());
      ASSERT_EQ(ScalingColor(buffer.data(), buffer.data(), src.lineBytes, g.w, g.h, g.h, g.tw * 3,
                             g.tw, g.th, orientation, 3, nullptr), IMGFILT_OK);
      Image in_place = MakeImage(g.tw, g.th, 3, 0, 0, orientation);
      std::copy_n(buffer.begin(), outBytes, in_place.bytes.begin());
      EXPECT_TRUE(imgfiltTest::SameLines(in_place, apart, g.th)) << g.w << " to " << g.tw;
    }
  }
}

TEST(Scaling, BottomUpMatchesTopDown) {
  const Image topDown = RandomImage(13, 9, 1, 3, 2, 0);
  Image bottomUp = MakeImage(13, 9, 1, 0, 2, 1);
  for (size_t y = 0; y < 9; ++y) std::copy_n(topDown.line(y), 13, bottomUp.line(y));
  const Image a = ScaleInBands(kGray, topDown, 30, 5, {2, 7});
  const Image b = ScaleInBands(kGray, bottomUp, 30, 5, {2, 7});
  EXPECT_TRUE(imgfiltTest::SameLines(a, b, 5));
}

TEST(Scaling, BadArgumentsReturnTheirCode) {
  std::vector<uint8_t> src(64, 1), dst(256, kSentinel), prev(16, 0);
  const auto gray = [&](const uint8_t* s, uint8_t* d, uint32_t lb, uint32_t w, uint32_t n, uint32_t total,
                        uint32_t olb, uint32_t tw, uint32_t th, uint8_t state, const uint8_t* p) {
    return ScalingGray(s, d, lb, w, n, total, olb, tw, th, 0, state, p);
  };
  EXPECT_EQ(gray(nullptr, dst.data(), 8, 8, 4, 8, 16, 16, 8, 0, nullptr), IMGFILT_NULL_POINTER);
  EXPECT_EQ(gray(src.data(), nullptr, 8, 8, 4, 8, 16, 16, 8, 0, nullptr), IMGFILT_NULL_POINTER);
  EXPECT_EQ(gray(src.data(), dst.data(), 0, 8, 4, 8, 16, 16, 8, 0, nullptr), IMGFILT_ZERO_SIZE);
  EXPECT_EQ(gray(src.data(), dst.data(), 8, 0, 4, 8, 16, 16, 8, 0, nullptr), IMGFILT_ZERO_SIZE);
  EXPECT_EQ(gray(src.data(), dst.data(), 8, 8, 0, 8, 16, 16, 8, 0, nullptr), IMGFILT_ZERO_SIZE);
  EXPECT_EQ(gray(src.data(), dst.data(), 8, 8, 4, 8, 0, 16, 8, 0, nullptr), IMGFILT_ZERO_SIZE);
  // Sizes a caller must not pass but might: no division by zero, no empty tables.
  EXPECT_EQ(gray(src.data(), dst.data(), 8, 8, 4, 0, 16, 16, 8, 0, nullptr), IMGFILT_ZERO_SIZE);
  EXPECT_EQ(gray(src.data(), dst.data(), 8, 8, 4, 8, 16, 0, 8, 0, nullptr), IMGFILT_ZERO_SIZE);
  EXPECT_EQ(gray(src.data(), dst.data(), 8, 8, 4, 8, 16, 16, 0, 0, nullptr), IMGFILT_ZERO_SIZE);
  // Line byte counts below the pixels of a line.
  EXPECT_EQ(gray(src.data(), dst.data(), 7, 8, 4, 8, 16, 16, 8, 0, nullptr), IMGFILT_OUT_OF_RANGE);
  EXPECT_EQ(gray(src.data(), dst.data(), 8, 8, 4, 8, 15, 16, 8, 0, nullptr), IMGFILT_OUT_OF_RANGE);
  EXPECT_EQ(ScalingColor(src.data(), dst.data(), 8, 3, 4, 8, 16, 5, 8, 0, 0, nullptr), IMGFILT_OUT_OF_RANGE);
  EXPECT_EQ(dst, std::vector<uint8_t>(256, kSentinel));
}

TEST(Scaling, LaterBandsNeedTheirImagesFirstBand) {
  std::vector<uint8_t> src(64, 1), dst(256, kSentinel), prev(8, 0);
  const auto band = [&](uint32_t width, uint32_t targetHeight, uint8_t state, const uint8_t* p) {
    return ScalingGray(src.data(), dst.data(), 8, width, 4, 8, 16, 16, targetHeight, 0, state, p);
  };
  // Finish whatever an earlier test left, then try a middle band.
  ASSERT_EQ(band(8, 12, IMGFILT_BAND_ONLY, nullptr), IMGFILT_OK);
  dst.assign(256, kSentinel);
  EXPECT_EQ(band(8, 12, IMGFILT_BAND_MIDDLE, prev.data()), IMGFILT_OUT_OF_RANGE);
  ASSERT_EQ(band(8, 12, IMGFILT_BAND_FIRST, nullptr), IMGFILT_OK);
  dst.assign(256, kSentinel);
  // Another geometry than the first band's would index its tables out of range.
  EXPECT_EQ(band(8, 13, IMGFILT_BAND_LAST, prev.data()), IMGFILT_OUT_OF_RANGE);
  EXPECT_EQ(band(7, 12, IMGFILT_BAND_LAST, prev.data()), IMGFILT_OUT_OF_RANGE);
  // The previous band's last line is needed when the height changes.
  EXPECT_EQ(band(8, 12, IMGFILT_BAND_LAST, nullptr), IMGFILT_NULL_POINTER);
  EXPECT_EQ(dst, std::vector<uint8_t>(256, kSentinel));
  ASSERT_EQ(band(8, 12, IMGFILT_BAND_LAST, prev.data()), IMGFILT_OK);
  // The last band ended the image.
  EXPECT_EQ(band(8, 12, IMGFILT_BAND_MIDDLE, prev.data()), IMGFILT_OUT_OF_RANGE);
}

TEST(Scaling, NewFirstBandDiscardsAnUnfinishedImage) {
  const Image src = RandomImage(9, 10, 1, 12);
  const Image expected = ScaleInBands(kGray, src, 4, 23, {10});
  std::vector<uint8_t> dst(64 * 64);
  ASSERT_EQ(ScalingGray(src.data(), dst.data(), 9, 9, 3, 40, 64, 64, 50, 0, 0, nullptr), IMGFILT_OK);
  EXPECT_EQ(ScaleInBands(kGray, src, 4, 23, {10}).bytes, expected.bytes);
}

TEST(Scaling, FailedAllocationReturns10AndLeavesNoImage) {
  const Image src = RandomImage(9, 10, 1, 12);
  const Image expected = ScaleInBands(kGray, src, 20, 7, {4, 6});
  std::vector<uint8_t> prev(src.line(3), src.line(3) + 9);
  for (int n = 1;; ++n) {
    std::vector<uint8_t> dst(20 * 7, kSentinel);
    imgfilt::faults::FailNth(n);
    const uint8_t code = ScalingGray(src.data(), dst.data(), 9, 9, 4, 10, 20, 20, 7, 0, 0, nullptr);
    imgfilt::faults::Clear();
    if (code == IMGFILT_OK) {
      ASSERT_EQ(ScalingGray(src.line(4), dst.data() + 20 * 2, 9, 9, 6, 10, 20, 20, 7, 0, 2, prev.data()), IMGFILT_OK);
      EXPECT_TRUE(std::equal(dst.begin(), dst.end(), expected.bytes.begin()));
      EXPECT_GT(n, 3);  // tables, groups, previous line, scratch, ring...
      break;
    }
    ASSERT_EQ(code, IMGFILT_NO_MEMORY);
    ASSERT_EQ(dst, std::vector<uint8_t>(dst.size(), kSentinel)) << "allocation " << n;
    // No image is in progress after a failed first band.
    ASSERT_EQ(ScalingGray(src.line(4), dst.data(), 9, 9, 6, 10, 20, 20, 7, 0, 2, prev.data()), IMGFILT_OUT_OF_RANGE);
  }
}

}  // namespace
