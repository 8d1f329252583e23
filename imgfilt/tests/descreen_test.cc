// Descreen kernels and their selection, the recursive five-line window, make clear's table.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "descreen_kernels.h"
#include "imgfilt.h"
#include "test_image.h"

namespace {

using imgfilt::DescreenRows;
using imgfiltTest::Image;
using imgfiltTest::MakeImage;
using imgfiltTest::RandomImage;
using imgfiltTest::SameLines;

TEST(DescreenSelection, TableCorners) {
  EXPECT_EQ(imgfilt::SelectDescreenKernel(150, 175), 10);
  EXPECT_EQ(imgfilt::SelectDescreenKernel(600, 150), 3);
  EXPECT_EQ(imgfilt::SelectDescreenKernel(299, 84), 6);
  EXPECT_EQ(imgfilt::SelectDescreenKernel(299, 85), 6);
  EXPECT_EQ(imgfilt::SelectDescreenKernel(299, 100), 8);
  EXPECT_EQ(imgfilt::SelectDescreenKernel(300, 174), 10);
  EXPECT_EQ(imgfilt::SelectDescreenKernel(300, 175), 6);
  EXPECT_EQ(imgfilt::SelectDescreenKernel(399, 200), 9);
  EXPECT_EQ(imgfilt::SelectDescreenKernel(400, 149), 13);
  EXPECT_EQ(imgfilt::SelectDescreenKernel(499, 150), 1);
  EXPECT_EQ(imgfilt::SelectDescreenKernel(500, 100), 2);
  EXPECT_EQ(imgfilt::SelectDescreenKernel(599, 99), 3);
  EXPECT_EQ(imgfilt::SelectDescreenKernel(65535, 255), 1);
  EXPECT_EQ(imgfilt::SelectDescreenKernel(200, 174), 11);
  EXPECT_EQ(imgfilt::SelectDescreenKernel(200, 199), 8);
  EXPECT_EQ(imgfilt::SelectDescreenKernel(201, 174), 8);
  EXPECT_EQ(imgfilt::SelectDescreenKernel(150, 99), 6);
}

TEST(DescreenSelection, TheSmallerResolutionCounts) {
  const Image src = RandomImage(20, 12, 1, 1);
  Image a = MakeImage(20, 12, 1), b = MakeImage(20, 12, 1), c = MakeImage(20, 12, 1);
  ASSERT_EQ(DescreenGray(src.data(), a.data(), 20, 20, 12, 0, 175, 300, 150, IMGFILT_BAND_NONE, nullptr, nullptr), 0);
  ASSERT_EQ(DescreenGray(src.data(), b.data(), 20, 20, 12, 0, 175, 150, 150, IMGFILT_BAND_NONE, nullptr, nullptr), 0);
  ASSERT_EQ(DescreenGray(src.data(), c.data(), 20, 20, 12, 0, 175, 300, 300, IMGFILT_BAND_NONE, nullptr, nullptr), 0);
  EXPECT_EQ(a.bytes, b.bytes);
  EXPECT_NE(a.bytes, c.bytes);
}

struct Window5 {
  std::array<std::vector<uint8_t>, 5> lines;
  DescreenRows rows() const { return {{lines[0].data(), lines[1].data(), lines[2].data(), lines[3].data(), lines[4].data()}}; }
};

Window5 RandomWindow(size_t bytes, uint32_t seed) {
  std::mt19937 rng(seed);
  Window5 w;
  for (auto& line : w.lines) {
    line.resize(bytes);
    for (uint8_t& v : line) v = static_cast<uint8_t>(rng());
  }
  return w;
}

TEST(DescreenKernels, FlatFieldStaysFlat) {
  for (int kernel = 1; kernel <= 13; ++kernel) {
    for (int bpp : {1, 3}) {
      Window5 w;
      for (auto& line : w.lines) line.assign(11 * static_cast<size_t>(bpp), 173);
      std::vector<uint8_t> out(11 * static_cast<size_t>(bpp), 0);
      imgfilt::DescreenRowPlain(kernel, w.rows(), out.data(), 11, bpp);
      EXPECT_EQ(out, std::vector<uint8_t>(out.size(), 173)) << "kernel " << kernel;
    }
  }
}

// Plain witnesses written from the kernel table, interior pixels only.
int Witness(int kernel, const Window5& w, size_t x) {
  auto v = [&](int dy, int dx) { return int{w.lines[static_cast<size_t>(dy + 2)][x + static_cast<size_t>(dx)]}; };
  std::vector<int> o;
  switch (kernel) {
    case 2:
      for (int dy = -1; dy <= 1; ++dy) for (int dx = -2; dx <= 1; ++dx) o.push_back(v(dy, dx));
      std::sort(o.begin(), o.end());
      return (o[5] + o[6]) / 2;
    case 6:
      for (int dy = -1; dy <= 1; ++dy) for (int dx = -1; dx <= 1; ++dx) o.push_back(v(dy, dx));
      std::sort(o.begin(), o.end());
      return (o[2] + o[3] + o[4] + o[5] + o[6]) / 5;
    case 8: return (v(0, -1) + 4 * v(0, 0) + v(0, 1) + v(-1, 0) + v(1, 0)) / 8;
    case 10:
      return (v(-1, -2) + 2 * v(-1, -1) + 2 * v(-1, 0) + 2 * v(-1, 1) + v(-1, 2) + 2 * v(0, -2) + 2 * v(0, -1) +
              4 * v(0, 0) + 2 * v(0, 1) + 2 * v(0, 2) + v(1, -2) + 2 * v(1, -1) + 2 * v(1, 0) + 2 * v(1, 1) + v(1, 2)) / 28;
    case 13:
      return (v(-2, -2) + 2 * v(-2, 0) + v(-2, 2) + v(0, -4) + 2 * v(0, -2) + 4 * v(0, 0) + 2 * v(0, 2) + v(0, 4) +
              v(2, -2) + 2 * v(2, 0) + v(2, 2)) / 18;
    default: return -1;
  }
}

TEST(DescreenKernels, InteriorMatchesTheTable) {
  for (int kernel : {2, 6, 8, 10, 13}) {
    const Window5 w = RandomWindow(30, static_cast<uint32_t>(kernel));
    std::vector<uint8_t> out(30);
    imgfilt::DescreenRowPlain(kernel, w.rows(), out.data(), 30, 1);
    for (size_t x = 4; x < 26; ++x) EXPECT_EQ(out[x], Witness(kernel, w, x)) << "kernel " << kernel << " x " << x;
  }
}

TEST(DescreenKernels, ShortenedTapsAtTheEdges) {
  const Window5 w = RandomWindow(6, 3);
  std::vector<uint8_t> out(6);
  imgfilt::DescreenRowPlain(11, w.rows(), out.data(), 6, 1);
  const auto& a = w.lines[1];
  const auto& c = w.lines[2];
  const auto& b = w.lines[3];
  // x = 0 keeps the taps at 0, 1, 2: weights (0 2 1 / 4 2 1 / 0 2 1)... of the 18-kernel, 13 in all.
  EXPECT_EQ(out[0], (2 * a[0] + a[1] + 4 * c[0] + 2 * c[1] + c[2] + 2 * b[0] + b[1]) / 13);
  // x = 5 (the last pixel) mirrors it.
  EXPECT_EQ(out[5], (2 * a[5] + a[4] + 4 * c[5] + 2 * c[4] + c[3] + 2 * b[5] + b[4]) / 13);
}

TEST(DescreenKernels, NarrowLinesAreNotWritten) {
  const Window5 w = RandomWindow(4, 4);
  std::vector<uint8_t> out(4, imgfiltTest::kSentinel);
  imgfilt::DescreenRowPlain(12, w.rows(), out.data(), 4, 1);  // needs 5 pixels
  EXPECT_EQ(out, std::vector<uint8_t>(4, imgfiltTest::kSentinel));
  imgfilt::DescreenRowPlain(10, w.rows(), out.data(), 4, 1);  // 4 are enough
  EXPECT_NE(out, std::vector<uint8_t>(4, imgfiltTest::kSentinel));
}

// Kernel 8 (resolution 250, ruling 120) written as a recursion: the line above is the output.
TEST(Descreen, LinesAboveTheCentreAreAlreadyFiltered) {
  const Image src = RandomImage(9, 8, 1, 6);
  Image out = MakeImage(9, 8, 1);
  ASSERT_EQ(DescreenGray(src.data(), out.data(), 9, 9, 8, 0, 120, 250, 250, IMGFILT_BAND_NONE, nullptr, nullptr), 0);
  std::vector<std::vector<int>> f(8, std::vector<int>(9));
  for (size_t y = 0; y < 8; ++y) {
    for (size_t x = 0; x < 9; ++x) {
      auto in = [&](size_t yy, ptrdiff_t xx) { return int{src.at(static_cast<size_t>(std::clamp<ptrdiff_t>(xx, 0, 8)), std::min<size_t>(yy, 7))}; };
      const int above = y == 0 ? in(0, static_cast<ptrdiff_t>(x)) : f[y - 1][x];
      const auto xi = static_cast<ptrdiff_t>(x);
      f[y][x] = (in(y, xi - 1) + 4 * in(y, xi) + in(y, xi + 1) + above + in(y + 1, xi)) >> 3;
      EXPECT_EQ(out.at(x, y), f[y][x]) << x << "," << y;
    }
  }
}

TEST(Descreen, AnyBandSplitMatchesOneBand) {
  for (int bpp : {1, 3}) {
    for (uint8_t ruling : {80, 120, 150, 180, 220}) {
      for (uint16_t dpi : {150, 200, 250, 300, 400, 500, 600}) {
        const Image src = RandomImage(17, 30, bpp, dpi + ruling, 2, static_cast<uint8_t>(dpi % 2));
        auto run = [&](const std::vector<size_t>& sizes) {
          Image out = MakeImage(17, 30, bpp, 0, 2, src.orientation);
          std::vector<uint8_t> held(4 * size_t{src.lineBytes});
          size_t first = 0, written = 0;
          for (size_t b = 0; b < sizes.size(); ++b) {
            Image band = imgfiltTest::Band(src, first, sizes[b]);
            Image dst = MakeImage(17, static_cast<uint32_t>(sizes[b]), bpp, 0, 2, src.orientation);
            auto f = bpp == 1 ? DescreenGray : DescreenColor;
            EXPECT_EQ(f(band.data(), dst.data(), band.lineBytes, 17, band.lines, band.orientation, ruling, dpi, dpi,
                        imgfiltTest::BandState(b, sizes.size()), held.data(), nullptr), 0);
            const size_t n = b == 0 ? sizes[b] - 2 : sizes[b];
            for (size_t y = 0; y < n; ++y) std::copy_n(dst.line(y), dst.lineBytes, out.line(written + y));
            written += n;
            first += sizes[b];
          }
          EXPECT_EQ(written, 28u);
          return out;
        };
        const Image whole = run({30});
        for (const auto& sizes : std::vector<std::vector<size_t>>{{2, 28}, {3, 1, 1, 25}, {10, 10, 10}, {29, 1}}) {
          EXPECT_TRUE(SameLines(run(sizes), whole, 28)) << "bpp " << bpp << " ruling " << int{ruling} << " dpi " << dpi;
        }
      }
    }
  }
}

TEST(Descreen, RegionsAndCodes) {
  const Image src = RandomImage(10, 10, 3, 7);
  Image dst = MakeImage(10, 10, 3, imgfiltTest::kSentinel);
  ImageRect twoWide{3, 1, 4, 8};
  EXPECT_EQ(DescreenColor(src.data(), dst.data(), 30, 10, 10, 0, 150, 300, 300, IMGFILT_BAND_NONE, nullptr, &twoWide), 8);
  ImageRect rect{2, 3, 6, 5};
  ASSERT_EQ(DescreenColor(src.data(), dst.data(), 30, 10, 10, 1, 150, 300, 300, IMGFILT_BAND_NONE, nullptr, &rect), 0);
  for (size_t y = 0; y < 10; ++y) {
    for (size_t x = 0; x < 10; ++x) {
      const bool inside = x >= 2 && x <= 6 && y >= 3 && y <= 5;
      // Bottom-up: image line y is memory line 9 - y.
      const uint8_t* px = &dst.bytes[(9 - y) * 30 + 3 * x];
      const bool written = px[0] != imgfiltTest::kSentinel || px[1] != imgfiltTest::kSentinel || px[2] != imgfiltTest::kSentinel;
      EXPECT_EQ(written, inside) << x << "," << y;
    }
  }
  std::vector<uint8_t> held(120);
  EXPECT_EQ(DescreenGray(nullptr, dst.data(), 10, 10, 10, 0, 150, 300, 300, 0, held.data(), nullptr), 11);
  EXPECT_EQ(DescreenGray(src.data(), dst.data(), 10, 10, 10, 0, 150, 300, 300, 0, nullptr, nullptr), 11);
  EXPECT_EQ(DescreenGray(src.data(), dst.data(), 10, 0, 10, 0, 150, 300, 300, 0, held.data(), nullptr), 9);
  EXPECT_EQ(DescreenGray(src.data(), dst.data(), 10, 10, 10, 0, 150, 300, 300, 5, held.data(), nullptr), 13);
  EXPECT_EQ(DescreenColor(src.data(), dst.data(), 29, 10, 10, 0, 150, 300, 300, 0, held.data(), nullptr), 13);
}

// One bright pixel of 200 in a field of 100, filtered as a whole image.
std::vector<uint8_t> MakeClearSpot(uint8_t level) {
  Image src = MakeImage(5, 5, 1, 100);
  src.at(2, 2) = 200;
  Image dst = MakeImage(5, 5, 1);
  EXPECT_EQ(MakeClearGray(src.data(), dst.data(), 5, 5, 5, 0, level, IMGFILT_BAND_NONE, nullptr, nullptr), 0);
  return {dst.at(2, 2), dst.at(1, 2), dst.at(1, 1)};  // centre, side, corner
}

TEST(MakeClear, PresetKernels) {
  // Level 130: eight neighbours with a = 22, ((a + 1) P - S9) / 14: (4600 - 1000) / 14 = 257 at
  // the spot, (2300 - 1000) / 14 = 92 beside it.
  EXPECT_EQ(MakeClearSpot(130), (std::vector<uint8_t>{255, 92, 92}));
  // Level 6: four neighbours, a = 6: P + (4P - L - R - U - D) / 2; corners are not neighbours.
  EXPECT_EQ(MakeClearSpot(6), (std::vector<uint8_t>{255, 50, 100}));
  // Level 134: the same kernel with a = 12, divisor 8: (2600 - 600) / 8 and (1300 - 600) / 8.
  EXPECT_EQ(MakeClearSpot(134), (std::vector<uint8_t>{250, 87, 100}));
  // Level 0 and 13: eight neighbours, a = 10, divisor 2.
  EXPECT_EQ(MakeClearSpot(0), (std::vector<uint8_t>{255, 50, 50}));
  EXPECT_EQ(MakeClearSpot(13), MakeClearSpot(0));
  // Level 5: a = 19, divisor 11: (2000 - 1000) / 11.
  EXPECT_EQ(MakeClearSpot(5), (std::vector<uint8_t>{255, 90, 90}));
}

}  // namespace
