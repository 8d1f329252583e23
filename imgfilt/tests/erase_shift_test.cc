// Sensor seams: steps at the joins spread where the image is flat, image edges kept.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "imgfilt.h"
#include "scene.h"
#include "test_image.h"

namespace imgfiltTest {
namespace {

// Joins of a 300-dpi scan from the sensor's first pixel: 223, 457, 691, 925.
constexpr uint32_t kJoins[] = {223, 457, 691, 925};
constexpr uint32_t kWidth = 1000, kLines = 200;

// A flat gray scan whose sensor segments alternate between no offset and `step` levels.
Image SeamScan(int step, int bpp, uint32_t seed, uint8_t base = 120) {
  Image scan = MakeImage(kWidth, kLines, bpp, base, 2);
  for (uint32_t y = 0; y < kLines; ++y) {
    for (uint32_t x = 0; x < kWidth; ++x) {
      const auto segment = std::upper_bound(std::begin(kJoins), std::end(kJoins), x) - std::begin(kJoins);
      for (int c = 0; c < bpp; ++c) scan.at(x, y, c) = uint8_t(base + (segment % 2 ? step : 0));
    }
  }
  AddNoise(scan, 2, seed);
  return scan;
}

double ColumnMean(const Image& scan, uint32_t x, int channel) {
  double sum = 0;
  for (uint32_t y = 3; y + 3 < kLines; ++y) sum += scan.at(x, y, channel);
  return sum / (kLines - 6);
}

// The largest step between neighbouring column means around the join.
double LargestStep(const Image& scan, uint32_t join, int channel) {
  double largest = 0;
  for (uint32_t x = join - 7; x < join + 6; ++x) {
    largest = std::max(largest, std::fabs(ColumnMean(scan, x + 1, channel) - ColumnMean(scan, x, channel)));
  }
  return largest;
}

Image Erased(const Image& scan, uint32_t dpi = 300, uint32_t left = 0) {
  Image out = scan;
  std::fill(out.bytes.begin(), out.bytes.end(), uint8_t{0});
  const auto fn = scan.bpp == 1 ? EraseImageShiftGray : EraseImageShiftColor;
  EXPECT_EQ(fn(scan.data(), out.data(), scan.lineBytes, scan.width, scan.lines, left, 2550, dpi), IMGFILT_OK);
  return out;
}

TEST(EraseShift, StepsOfOneToThirtyLevelsAreSpreadInFlatImage) {
  for (int bpp : {1, 3}) {
    for (int step : {1, 2, 5, 12, 20, 30}) {
      const Image scan = SeamScan(step, bpp, uint32_t(step * 7 + bpp));
      const Image out = Erased(scan);
      for (uint32_t join : kJoins) {
        for (int c = 0; c < bpp; ++c) {
          ASSERT_GT(LargestStep(scan, join, c), step - 0.5);
          EXPECT_LE(LargestStep(out, join, c), step * 0.4 + 0.3) << "step " << step << " join " << join;
        }
      }
    }
  }
}

TEST(EraseShift, InPlaceGivesTheSameResult) {
  const Image scan = SeamScan(9, 3, 4);
  const Image copy = Erased(scan);
  Image in_place = scan;
  EXPECT_EQ(EraseImageShiftColor(in_place.data(), in_place.data(), scan.lineBytes, kWidth, kLines, 0, 2550, 300), IMGFILT_OK);
  EXPECT_TRUE(SameLines(copy, in_place, kLines));
}

TEST(EraseShift, ImageEdgesAreKept) {
  // A strong edge exactly at a join, and a slanted edge crossing the next join.
  Image scan = SeamScan(8, 1, 5);
  for (uint32_t y = 0; y < kLines; ++y) {
    for (uint32_t x = kJoins[0]; x < kJoins[0] + 30; ++x) scan.at(x, y) = 230;
    const double crossing = kJoins[1] - 50 + 0.5 * y;
    for (uint32_t x = kJoins[1] - 60; x < kJoins[1] + 60; ++x) scan.at(x, y) = x < crossing ? 30 : 210;
  }
  const Image out = Erased(scan);
  for (uint32_t y = 3; y + 3 < kLines; ++y) {
    for (uint32_t x = kJoins[0] - 5; x < kJoins[0] + 5; ++x) ASSERT_EQ(out.at(x, y), scan.at(x, y)) << y;
    const double crossing = kJoins[1] - 50 + 0.5 * y;
    if (std::fabs(crossing - kJoins[1]) > 6) continue;
    for (uint32_t x = kJoins[1] - 5; x < kJoins[1] + 5; ++x) ASSERT_EQ(out.at(x, y), scan.at(x, y)) << y;
  }
  // Away from the edges the join's step is still spread.
  EXPECT_LE(LargestStep(out, kJoins[2], 0), 8 * 0.4 + 0.3);
}

TEST(EraseShift, JoinsFollowTheWindowAndResolution) {
  // At 600 dpi from window left 100 the joins lie at (223 + 234 i) * 2 - 200.
  Image scan = MakeImage(1200, 40, 1, 100, 0);
  for (uint32_t y = 0; y < 40; ++y) {
    for (uint32_t x = 246; x < 714; ++x) scan.at(x, y) = 112;  // joins at 246 and 714
  }
  const Image out = Erased(scan, 600, 100);
  EXPECT_LT(std::fabs(out.at(246, 20) - out.at(245, 20)), 12);
  EXPECT_EQ(out.at(600, 20), 112);  // far from a join: untouched
  // The same scan at window left 0 has its joins elsewhere: the steps stay.
  const Image shifted = Erased(scan, 600, 0);
  EXPECT_EQ(shifted.at(246, 20) - shifted.at(245, 20), 12);
}

TEST(EraseShift, SmallScansAreOnlyCopied) {
  Image scan = SeamScan(20, 1, 6);
  Image six = MakeImage(kWidth, 6, 1, 0, 2);
  EXPECT_EQ(EraseImageShiftGray(scan.data(), six.data(), scan.lineBytes, kWidth, 6, 0, 2550, 300), IMGFILT_OK);
  EXPECT_TRUE(SameLines(scan, six, 6));
  EXPECT_EQ(EraseImageShiftGray(nullptr, six.data(), scan.lineBytes, kWidth, 6, 0, 2550, 300), IMGFILT_NULL_POINTER);
  EXPECT_EQ(EraseImageShiftGray(scan.data(), nullptr, scan.lineBytes, kWidth, 6, 0, 2550, 300), IMGFILT_NULL_POINTER);
}

}  // namespace
}  // namespace imgfiltTest
