// Worked figures of the neighbourhood kernels, checked through the exports on whole images.
#include <gtest/gtest.h>

#include "divider.h"
#include "imgfilt.h"
#include "kernel.h"
#include "test_image.h"

namespace {

using imgfiltTest::AllFilters;
using imgfiltTest::FilterExport;
using imgfiltTest::FilterCase;
using imgfiltTest::Image;
using imgfiltTest::MakeImage;
using imgfiltTest::RandomImage;

constexpr uint8_t kWhole = IMGFILT_BAND_NONE;

Image RunWhole(const FilterExport& run, const Image& src, uint8_t fill = 0) {
  Image dst = MakeImage(src.width, src.lines, src.bpp, fill, src.lineBytes - static_cast<uint32_t>(src.rowBytes()), src.orientation);
  EXPECT_EQ(run(src.data(), dst.data(), src.lineBytes, src.width, src.lines, src.orientation,
                kWhole, nullptr, nullptr), IMGFILT_OK);
  return dst;
}

Image RunWhole(const FilterCase& f, const Image& src, uint8_t fill = 0) { return RunWhole(f.run, src, fill); }

// A gray field of `field` with one pixel of `spot` at (2, 2) in a 5 x 5 image.
Image Spot(uint8_t field, uint8_t spot) {
  Image image = MakeImage(5, 5, 1, field);
  image.at(2, 2) = spot;
  return image;
}

TEST(KernelFigures, FlatFieldIsUnchangedByEveryKernel) {
  for (const FilterCase& f : AllFilters()) {
    for (uint8_t value : {0, 1, 137, 254, 255}) {
      const Image src = MakeImage(9, 6, f.bpp, value);
      const Image dst = RunWhole(f, src, static_cast<uint8_t>(value + 1));
      EXPECT_TRUE(imgfiltTest::SameLines(src, dst, src.lines)) << f.name << " at " << int{value};
    }
  }
}

TEST(KernelFigures, SharpenLevel3OnABrightPixel) {
  const Image dst = RunWhole(imgfiltTest::Bind(SharpenGray, 3), Spot(100, 200));
  EXPECT_EQ(dst.line(2)[2], 255);  // 200 + (1600 - 800) / 5 = 360
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      if (dx != 0 || dy != 0) {
        EXPECT_EQ(dst.line(2 + dy)[2 + dx], 80);  // 100 + (800 - 900) / 5
      }
    }
  }
  EXPECT_EQ(dst.line(0)[0], 100);
}

TEST(KernelFigures, SharpenDividesTheWholeNumeratorTowardsZero) {
  // Level 1 is ((a + 1) P - S9) / (a - 8) with a = 19: a neighbour of a 101 in a field of 100
  // gets (2000 - 901) / 11 = 99, not 100 + (800 - 801) / 11 = 100.
  const Image dst = RunWhole(imgfiltTest::Bind(SharpenGray, 1), Spot(100, 101));
  EXPECT_EQ(dst.line(2)[2], 101);  // (2020 - 901) / 11 = 101
  EXPECT_EQ(dst.line(2)[1], 99);
  // A dark pixel among bright ones has a negative numerator and is stored as 0.
  EXPECT_EQ(RunWhole(imgfiltTest::Bind(SharpenGray, 2), Spot(255, 0)).line(2)[2], 0);
}

TEST(KernelFigures, UnsharpShiftsArithmetically) {
  // Strength 16 on 200 in 100: the centre's cross mean is 120, so 200 + 16 x 80 / 16 = 280.
  const Image strong = RunWhole(imgfiltTest::Bind(UnsharpmaskGray, 16), Spot(100, 200));
  EXPECT_EQ(strong.line(2)[2], 255);
  EXPECT_EQ(strong.line(2)[1], 80);   // 100 + (16 x -20) >> 4
  EXPECT_EQ(strong.line(1)[1], 100);  // diagonal: its cross is flat
  // Strength 3: (3 x -20) >> 4 = -60 >> 4 = -4 (towards minus infinity).
  EXPECT_EQ(RunWhole(imgfiltTest::Bind(UnsharpmaskGray, 3), Spot(100, 200)).line(2)[1], 96);
}

TEST(KernelFigures, UnsharpStrengthBytes) {
  const std::pair<uint8_t, int> figures[] = {{0, 15},   {1, 1},    {100, 100}, {101, 15},
                                             {128, 15}, {129, 0},  {130, 1},   {228, 50},
                                             {229, 7},  {255, 7}};
  for (const auto& [byte, strength] : figures) {
    EXPECT_EQ(imgfilt::UnsharpStrength(byte), strength) << int{byte};
  }
  // And the exports act on it: byte 0 filters as 15, byte 130 as 1.
  const Image src = RandomImage(23, 9, 1, 7);
  const auto same = [&src](uint8_t a, uint8_t b) {
    return imgfiltTest::SameLines(RunWhole(imgfiltTest::Bind(UnsharpmaskGray, a), src),
                                   RunWhole(imgfiltTest::Bind(UnsharpmaskGray, b), src), src.lines);
  };
  EXPECT_TRUE(same(0, 15));
  EXPECT_TRUE(same(130, 1));
  EXPECT_TRUE(same(128, 15));
}

TEST(KernelFigures, BlurLevel2WeightsAnImpulse) {
  // Weights (2 3 2) down and (1 2 3 2 1) across: 252 spreads as 252 x weight / 63.
  Image src = MakeImage(7, 5, 1, 0);
  src.at(3, 2) = 252;
  const Image dst = RunWhole(imgfiltTest::Bind(BlurGray, 2), src);
  const int expected[3][5] = {{8, 16, 24, 16, 8}, {12, 24, 36, 24, 12}, {8, 16, 24, 16, 8}};
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -2; dx <= 2; ++dx) EXPECT_EQ(dst.line(2 + dy)[3 + dx], expected[dy + 1][dx + 2]);
  }
  EXPECT_EQ(dst.line(0)[3], 0);
}

TEST(KernelFigures, BoxBlurRepeatsEdgeLinesAndColumns) {
  Image src = MakeImage(2, 2, 1);
  src.at(0, 0) = 0;
  src.at(1, 0) = 90;
  src.at(0, 1) = 180;
  src.at(1, 1) = 45;
  const Image dst = RunWhole(imgfiltTest::Bind(BlurGray, 1), src);
  EXPECT_EQ(dst.line(0)[0], 65);   // (0 0 90 | 0 0 90 | 180 180 45) / 9
  EXPECT_EQ(dst.line(0)[1], 70);
  EXPECT_EQ(dst.line(1)[0], 100);  // the last line stands in for the line below it
  EXPECT_EQ(dst.line(1)[1], 80);
}

TEST(KernelFigures, FiveColumnBlurLeavesNarrowImagesUnwritten) {
  for (int bpp : {1, 3}) {
    const Image src = RandomImage(2, 4, bpp, 3);
    for (uint8_t level : {2, 3}) {
      auto run = imgfiltTest::Bind(bpp == 1 ? BlurGray : BlurColor, level);
      const Image dst = RunWhole(run, src, 77);
      EXPECT_EQ(dst.bytes, std::vector<uint8_t>(dst.bytes.size(), 77)) << int{level};
      // The banded form keeps its held lines all the same.
      std::vector<uint8_t> held(2 * src.lineBytes, 0);
      Image banded = MakeImage(2, 4, bpp, 77);
      EXPECT_EQ(run(src.data(), banded.data(), src.lineBytes, 2, 4, 0, IMGFILT_BAND_FIRST,
                    held.data(), nullptr), IMGFILT_OK);
      EXPECT_EQ(banded.bytes, dst.bytes);
      EXPECT_TRUE(std::equal(held.begin(), held.begin() + static_cast<long>(src.rowBytes()), src.line(2)));
    }
    // The 3 x 3 box needs no more than 1 pixel.
    const Image box = RunWhole(imgfiltTest::Bind(bpp == 1 ? BlurGray : BlurColor, 1), src, 77);
    EXPECT_NE(box.bytes, std::vector<uint8_t>(box.bytes.size(), 77));
  }
}

TEST(KernelFigures, MedianRemovesAnIsolatedPixel) {
  const Image dst = RunWhole(imgfiltTest::Bind(MedianGray), Spot(180, 0));
  EXPECT_EQ(dst.bytes, std::vector<uint8_t>(dst.bytes.size(), 180));
}

TEST(KernelFigures, ColourChannelsAreFilteredApart) {
  Image src = MakeImage(5, 5, 3, 50);
  for (size_t y = 0; y < 5; ++y) {
    for (size_t x = 0; x < 5; ++x) src.at(x, y, 2) = 200;
  }
  src.at(2, 2, 1) = 255;
  const Image dst = RunWhole(imgfiltTest::Bind(SharpenColor, 3), src);
  EXPECT_EQ(dst.at(1, 2, 0), 50);
  EXPECT_EQ(dst.at(1, 2, 2), 200);
  EXPECT_EQ(dst.at(2, 2, 1), 255);
  EXPECT_EQ(dst.at(1, 2, 1), 9);  // 50 + (400 - 605) / 5 = 9
}

TEST(KernelFigures, VectorDividerIsExactForEveryDividend) {
  for (int d = 1; d <= 64; ++d) {
    const imgfilt::Divider div = imgfilt::MakeDivider(d);
    for (uint32_t n = 0; n < (1u << imgfilt::kDividendBits); ++n) {
      ASSERT_EQ(imgfilt::Divide(n, div), n / static_cast<uint32_t>(d)) << n << " / " << d;
    }
  }
}

}  // namespace
