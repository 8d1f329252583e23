// The descreen filter byte for byte against a plain direct implementation written from the
// filter's definition, its worked figures and edge cases, and the descreen parameter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

#include "descreen.h"
#include "platform/faults/faults.h"
#include "platform/memory/memory.h"
#include "rastfx/rastfx.h"
#include "test_host.h"

namespace rastfx {
namespace {

size_t Stride(uint32_t width, int bpp) { return (size_t(width) * bpp + 3) / 4 * 4; }

// The filter as defined, one output byte at a time: window sums in window order, divided by
// S(near extent) + S(far extent) + 1 and truncated; vertical pass into a work image, horizontal
// pass on each of its rows, filtered bytes copied back.
std::vector<uint8_t> Reference(std::vector<uint8_t> image, int bpp, uint32_t width, uint32_t height,
                               double sigma) {
  long r = long(std::ceil(sigma * std::sqrt(-2.0 * std::log(0.001))));
  std::vector<double> w(r + 1), s(r + 1);
  w[0] = 1.0;
  s[0] = 0.0;
  for (long i = 1; i <= r; ++i) {
    w[i] = std::exp(-double(i * i) / (2.0 * sigma * sigma));
    s[i] = s[i - 1] + w[i];
  }
  size_t p = Stride(width, bpp);
  std::vector<uint8_t> work(height * p);
  for (size_t c = 0; c < size_t(width) * bpp; ++c) {
    for (long y = 0; y < long(height); ++y) {
      long top = std::min(y, r), bottom = std::min(r, long(height) - 1 - y);
      double sum = 0.0;
      for (long t = y - top; t <= y + bottom; ++t) sum += image[t * p + c] * w[std::labs(t - y)];
      work[y * p + c] = uint8_t(int(sum / (s[top] + s[bottom] + 1.0)));
    }
  }
  for (size_t y = 0; y < height; ++y) {
    std::vector<uint8_t> row(work.begin() + y * p, work.begin() + (y + 1) * p);
    for (long x = 0; x < long(width); ++x) {
      long left = std::min(x, r), right = std::min(r, long(width) - 1 - x);
      for (int k = 0; k < bpp; ++k) {
        double sum = 0.0;
        for (long t = x - left; t <= x + right; ++t) sum += row[t * bpp + k] * w[std::labs(t - x)];
        work[y * p + x * bpp + k] = uint8_t(int(sum / (s[left] + s[right] + 1.0)));
      }
    }
  }
  for (size_t y = 0; y < height; ++y) {
    std::copy_n(work.begin() + y * p, size_t(width) * bpp, image.begin() + y * p);
  }
  return image;
}

// Random pixels with every padding byte 0xA5, so a write to the padding shows.
std::vector<uint8_t> Noise(int bpp, uint32_t width, uint32_t height, unsigned seed) {
  std::mt19937 random(seed);
  size_t p = Stride(width, bpp);
  std::vector<uint8_t> image(p * height, 0xA5);
  for (size_t y = 0; y < height; ++y) {
    for (size_t i = 0; i < size_t(width) * bpp; ++i) image[y * p + i] = uint8_t(random());
  }
  return image;
}

int32_t Descreen(std::vector<uint8_t>& image, int bpp, uint32_t width, uint32_t height, double sigma) {
  return P_ImageDescreen(image.data(), uint32_t(bpp), 7, 8, width, height, 9, sigma);
}

class DescreenTest : public ::testing::Test {
 protected:
  platform::testing::TestHost host_;
};

// Widths 1 to 2000 and sigma 0.05 to 30 at each depth, sampled so that each width meets a
// different depth and sigma; narrow images with large sigma cut their windows on both sides.
TEST_F(DescreenTest, EveryByteMatchesTheDirectDefinition) {
  const uint32_t widths[] = {1, 2, 3, 4, 5, 6, 7, 9, 15, 16, 17, 31, 33, 63, 100, 127,
                             224, 225, 226, 227, 450, 511, 1000, 1023, 1536, 1999, 2000};
  const double sigmas[] = {0.05, 0.3, 0.75, 1.0, 1.5, 2.7, 4.0, 9.3, 30.0};
  const int depths[] = {1, 3, 4};
  int run = 0;
  for (uint32_t width : widths) {
    for (int pass = 0; pass < 2; ++pass, ++run) {
      int bpp = depths[run % 3];
      double sigma = sigmas[(run * 5) % 9];
      // Tall enough for the vertical windows to be cut at both ends, and whole inside, but small
      // enough for the direct definition at 2000 pixels and sigma 30.
      uint32_t height = 1 + uint32_t(run * 13 % 37) + (sigma > 9 && width > 500 ? 0 : 20);
      std::vector<uint8_t> image = Noise(bpp, width, height, unsigned(run));
      std::vector<uint8_t> expected = Reference(image, bpp, width, height, sigma);
      EXPECT_EQ(Descreen(image, bpp * 8, width, height, sigma), 0);
      ASSERT_EQ(image, expected) << "width " << width << " bits " << bpp * 8 << " sigma " << sigma
                                 << " height " << height;
    }
  }
  EXPECT_EQ(host_.host().memory().LiveBlocks(), 0u);  // the work memory went back
}

// Flat areas: every window sums to its value times the weights' total, so each quotient lies
// within a rounding of a whole number, on either side of it, and must truncate exactly as the
// direct definition's division does. Bands of every byte value, one value a row across widths
// that fill whole vector blocks and leave tails, and steps between two values.
TEST_F(DescreenTest, FlatAreasTruncateAsTheDirectDefinitionDoes) {
  int run = 0;
  for (double sigma : {0.7, 1.5, 4.0, 11.0}) {
    for (int bpp : {1, 3, 4}) {
      const uint32_t width = 150 + uint32_t(run++) * 37, height = 256 + 2;
      const size_t p = Stride(width, bpp);
      std::vector<uint8_t> image(p * height, 0xA5);
      for (size_t y = 0; y < height; ++y) {
        for (size_t i = 0; i < size_t(width) * bpp; ++i) {
          // Rows of one value each (0 to 255), the right third a step of 40 levels.
          uint8_t v = uint8_t(std::min<size_t>(y, 255));
          image[y * p + i] = i >= size_t(width) * bpp * 2 / 3 ? uint8_t(v + 40) : v;
        }
      }
      std::vector<uint8_t> expected = Reference(image, bpp, width, height, sigma);
      Descreen(image, bpp * 8, width, height, sigma);
      ASSERT_EQ(image, expected) << "sigma " << sigma << ", " << bpp << " bytes a pixel";
    }
  }
  // A page of one value: 255 everywhere, and 1.
  for (uint8_t v : {uint8_t(255), uint8_t(1)}) {
    std::vector<uint8_t> image(Stride(700, 3) * 40, v);
    std::vector<uint8_t> expected = Reference(image, 3, 700, 40, 2.2);
    Descreen(image, 24, 700, 40, 2.2);
    EXPECT_EQ(image, expected) << int(v);
  }
}

// Worked figure: one column 0, 100, 200 at sigma 1 (radius 4). The first row sees only the two
// rows below it: (100 w1 + 200 w2) / (S(2) + 1) = 87.72 / 1.7419 = 50.36; the last row the two
// above: (100 w1 + 200) / (S(2) + 1) = 149.64. A one-pixel row is left as it is.
TEST_F(DescreenTest, EdgeRowsDivideByTheirOwnExtents) {
  std::vector<uint8_t> image = {0, 0xEE, 0xEE, 0xEE, 100, 0xEE, 0xEE, 0xEE, 200, 0xEE, 0xEE, 0xEE};
  Descreen(image, 8, 1, 3, 1.0);
  EXPECT_EQ(image[0], 50);
  EXPECT_EQ(image[8], 149);
  EXPECT_EQ(image[1], 0xEE);
}

// A 24-bit image five pixels wide: 15 bytes and one padding byte a row. Every row is filtered,
// the last one included, and no padding byte moves.
TEST_F(DescreenTest, TwentyFourBitRowsKeepTheirPaddingAndTheLastRowIsFiltered) {
  const uint32_t width = 5, height = 6;
  std::vector<uint8_t> image = Noise(3, width, height, 42);
  std::vector<uint8_t> before = image;
  std::vector<uint8_t> expected = Reference(image, 3, width, height, 1.5);
  Descreen(image, 24, width, height, 1.5);
  EXPECT_EQ(image, expected);
  for (size_t y = 0; y < height; ++y) EXPECT_EQ(image[y * 16 + 15], 0xA5) << y;
  EXPECT_NE(std::vector<uint8_t>(image.begin() + 5 * 16, image.begin() + 5 * 16 + 15),
            std::vector<uint8_t>(before.begin() + 5 * 16, before.begin() + 5 * 16 + 15));
}

// A radius of 0 is a window of one pixel with divisor 1; a sigma so small that every weight but
// the centre's is 0 gives the same.
TEST_F(DescreenTest, AOnePixelWindowLeavesTheImageUnchanged) {
  std::vector<uint8_t> image = Noise(4, 37, 9, 3);
  std::vector<uint8_t> before = image;
  DescreenKernel one;
  one.weights = {1.0};
  one.cumulative = {0.0};
  std::vector<uint8_t> work(DescreenWorkBytes(4, 37, 9, 0));
  DescreenRows(image.data(), 4, 37, 9, one, work.data());
  EXPECT_EQ(image, before);
  Descreen(image, 32, 37, 9, 0.01);
  EXPECT_EQ(image, before);
}

// Radius figures: ceil(sigma x 3.7169): 1.5 -> 6, 4 -> 15, 30 -> 112; capped at the larger side.
TEST_F(DescreenTest, RadiusFollowsSigmaAndStopsAtTheLargerSide) {
  EXPECT_EQ(MakeDescreenKernel(1.5, 10000).radius, 6u);
  EXPECT_EQ(MakeDescreenKernel(4.0, 10000).radius, 15u);
  EXPECT_EQ(MakeDescreenKernel(30.0, 10000).radius, 112u);
  EXPECT_EQ(MakeDescreenKernel(30.0, 50).radius, 50u);
  EXPECT_EQ(MakeDescreenKernel(1e300, 7).radius, 7u);
  DescreenKernel k = MakeDescreenKernel(1.0, 100);
  EXPECT_DOUBLE_EQ(k.cumulative[2], std::exp(-0.5) + std::exp(-2.0));
}

// A huge sigma makes every weight 1: each pixel becomes the plain mean of the whole row.
// (0 + 30 + 90) / 3 = 40 everywhere.
TEST_F(DescreenTest, HugeSigmaAveragesTheWholeRow) {
  std::vector<uint8_t> image = {0, 30, 90, 0x5A};
  Descreen(image, 8, 3, 1, 1e300);
  EXPECT_EQ(image, (std::vector<uint8_t>{40, 40, 40, 0x5A}));
}

// Rows of 65536 bytes and more (8 bits, 65536 wide; 24 bits, 21846 wide: 65540 bytes).
TEST_F(DescreenTest, RowsOf64KiBAndMoreAreFiltered) {
  for (auto [bpp, width] : {std::pair{1, 65536u}, std::pair{3, 21846u}}) {
    std::vector<uint8_t> image = Noise(bpp, width, 3, 5);
    std::vector<uint8_t> expected = Reference(image, bpp, width, 3, 0.8);
    Descreen(image, bpp * 8, width, 3, 0.8);
    EXPECT_EQ(image, expected) << width;
  }
}

TEST_F(DescreenTest, BadArgumentsChangeNothing) {
  std::vector<uint8_t> image = Noise(3, 20, 4, 9);
  const std::vector<uint8_t> before = image;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double sigma : {nan, inf, -inf, 0.0, -0.0, -1.5}) {
    EXPECT_EQ(Descreen(image, 24, 20, 4, sigma), 0);
    EXPECT_EQ(image, before) << sigma;
  }
  for (int bits : {0, 1, 4, 16, 23, 25, 48}) {
    EXPECT_EQ(Descreen(image, bits, 20, 4, 2.0), 0);
    EXPECT_EQ(image, before) << bits;
  }
  EXPECT_EQ(Descreen(image, 24, 0, 4, 2.0), 0);
  EXPECT_EQ(Descreen(image, 24, 20, 0, 2.0), 0);
  EXPECT_EQ(image, before);
  EXPECT_EQ(P_ImageDescreen(nullptr, 24, 0, 0, 20, 4, 0, 2.0), 0);
  // The row filter itself refuses pixels wider than it sums side by side (and empty ones).
  DescreenKernel kernel = MakeDescreenKernel(2.0, 20);
  for (uint32_t bpp : {0u, 5u}) {
    std::vector<double> work((DescreenWorkBytes(bpp, 4, 4, kernel.radius) + 7) / 8);
    DescreenRows(image.data(), bpp, 4, 4, kernel, work.data());
    EXPECT_EQ(image, before) << bpp;
  }
  // No work memory: the rows stay as they were.
  host_.host().faults().FailEvery("memory.allocate");
  EXPECT_EQ(Descreen(image, 24, 20, 4, 2.0), 0);
  EXPECT_EQ(image, before);
  host_.host().faults().Clear("memory.allocate");
  EXPECT_EQ(Descreen(image, 24, 20, 4, 2.0), 0);
  EXPECT_NE(image, before);
}

// The parameter's three factors as written: 0.9/255, 0.3/133 and 0.45/255.
TEST(DescreenParameterTest, ScalesByTheFixedFactorsBitForBit) {
  for (uint32_t v : {0u, 1u, 133u, 255u, 1000u, 0xFFFFFFFFu}) {
    EXPECT_EQ(P_GetDescreenParameter(1, v), double(v) * 0.003529411764705882) << v;
    EXPECT_EQ(P_GetDescreenParameter(2, v), double(v) * 0.0022556390977443606) << v;
    EXPECT_EQ(P_GetDescreenParameter(3, v), double(v) * 0.001764705882352941) << v;
  }
  EXPECT_EQ(P_GetDescreenParameter(1, 255), 0.8999999999999999);
  EXPECT_EQ(P_GetDescreenParameter(2, 133), 0.29999999999999993);
  for (uint32_t type : {0u, 4u, 0xFFFFFFFFu}) EXPECT_EQ(P_GetDescreenParameter(type, 255), 0.0);
}

}  // namespace
}  // namespace rastfx
