// Rotation: sizes, quarter turns against their table, arbitrary angles against a plain reference,
// banding, orientation and the white canvas.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "imgfilt.h"
#include "rotate_test_util.h"
#include "test_image.h"

namespace imgfiltTest {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct Size {
  uint32_t w = 0, h = 0;
};

Size RotateSize(uint32_t w, uint32_t h, float angle) {
  Size s;
  EXPECT_EQ(GetRotateSize(w, h, &s.w, &s.h, angle), IMGFILT_OK);
  return s;
}

Size SmallSize(uint32_t w, uint32_t h, float angle) {
  Size s;
  EXPECT_EQ(GetRotateSmallSize(w, h, &s.w, &s.h, angle), IMGFILT_OK);
  return s;
}

// Whole-image runs of the exports, in bands of the given sizes.
Image Rotate(const Image& src, float angle, const std::vector<size_t>& bands, bool cropped = false) {
  const Size s = cropped ? SmallSize(src.width, src.lines, angle) : RotateSize(src.width, src.lines, angle);
  const Rotation fn = cropped ? Cropped(src.bpp) : Arbitrary(src.bpp);
  return RunRotation(
      [&](const Image& band, Image& out, uint8_t state, uint8_t* held) {
        return fn(band.data(), out.data(), band.lineBytes, band.width, band.lines, src.lines,
                  out.lineBytes, angle, band.orientation, state, held);
      },
      src, bands, s.w, s.h);
}

Image Turn(const Image& src, int32_t angle, const std::vector<size_t>& bands) {
  const bool across = angle == 90 || angle == 270;
  return RunRotation(
      [&](const Image& band, Image& out, uint8_t state, uint8_t*) {
        return Quarter(src.bpp)(band.data(), out.data(), band.lineBytes, band.width, band.lines,
                                src.lines, out.lineBytes, angle, band.orientation, state);
      },
      src, bands, across ? src.lines : src.width, across ? src.width : src.lines);
}

// The plain reference: every destination pixel mapped back with the rotation formulas, bilinear
// weights as weighted sums in long double. Pixels whose inverse image lies within `edge` of the
// source border are reported in `nearEdge`, where rounding may decide either way.
Image Reference(const Image& src, int tenths, std::vector<bool>& nearEdge) {
  const float radians = static_cast<float>(tenths * kPi / 1800);
  const double c = std::cos(radians), s = std::sin(radians);
  const double w1 = src.width - 1.0, h1 = src.lines - 1.0;
  const double xs[] = {0, w1 * c, -h1 * s, w1 * c - h1 * s}, ys[] = {0, w1 * s, h1 * c, w1 * s + h1 * c};
  const double minX = std::floor(*std::min_element(xs, xs + 4));
  const double minY = std::floor(*std::min_element(ys, ys + 4));
  const auto w = static_cast<uint32_t>(std::ceil(*std::max_element(xs, xs + 4)) - minX + 1);
  const auto h = static_cast<uint32_t>(std::ceil(*std::max_element(ys, ys + 4)) - minY + 1);
  Image out = MakeImage(w, h, src.bpp, 255, 0, src.orientation);
  nearEdge.assign(size_t{w} * h, false);
  for (uint32_t Y = 0; Y < h; ++Y) {
    for (uint32_t X = 0; X < w; ++X) {
      const double u = X + minX, v = Y + minY;
      const long double x = u * c + v * s, y = v * c - u * s;
      constexpr long double kEdge = 1e-6L;
      const bool inside = x >= 0 && y >= 0 && x <= w1 && y <= h1;
      nearEdge[size_t{Y} * w + X] = std::fabs(x) < kEdge || std::fabs(y) < kEdge ||
                                     std::fabs(x - w1) < kEdge || std::fabs(y - h1) < kEdge;
      if (!inside) continue;
      const auto xi = static_cast<uint32_t>(x), yi = static_cast<uint32_t>(y);
      const long double fx = x - xi, fy = y - yi;
      const uint32_t xr = std::min<uint32_t>(xi + 1, src.width - 1), yd = std::min<uint32_t>(yi + 1, src.lines - 1);
      for (int ch = 0; ch < src.bpp; ++ch) {
        const long double v00 = src.at(xi, yi, ch), v10 = src.at(xr, yi, ch);
        const long double v01 = src.at(xi, yd, ch), v11 = src.at(xr, yd, ch);
        const long double value =
            (1 - fy) * ((1 - fx) * v00 + fx * v10) + fy * ((1 - fx) * v01 + fx * v11);
        out.at(X, Y, ch) = static_cast<uint8_t>(value + 1e-9L);
      }
    }
  }
  return out;
}

TEST(RotateSize, QuarterTurnsAndWorkedFigures) {
  EXPECT_EQ(RotateSize(100, 50, 90).w, 50u);
  EXPECT_EQ(RotateSize(100, 50, 90).h, 100u);
  // 45 degrees: ceil(70.0) - floor(-34.6) + 1 across, ceil(104.7) - floor(0) + 1 down.
  EXPECT_EQ(RotateSize(100, 50, 45).w, 107u);
  EXPECT_EQ(RotateSize(100, 50, 45).h, 106u);
  // 359.96 rounds to 360 (a copy), 359.94 to 359.9 (a turn); -90 is 270; 450 is 90.
  EXPECT_EQ(RotateSize(100, 50, 359.96f).w, 100u);
  EXPECT_EQ(RotateSize(100, 50, 359.94f).w, 101u);
  EXPECT_EQ(RotateSize(100, 50, -90).w, 50u);
  EXPECT_EQ(RotateSize(100, 50, 450).h, 100u);
  // Angles without a value count as 0.
  EXPECT_EQ(RotateSize(100, 50, NAN).w, 100u);
  EXPECT_EQ(RotateSize(100, 50, INFINITY).h, 50u);
  uint32_t w = 7, h = 7;
  EXPECT_EQ(GetRotateSize(0, 50, &w, &h, 10), IMGFILT_ZERO_SIZE);
  EXPECT_EQ(w, 0u);
  EXPECT_EQ(GetRotateSize(10, 50, nullptr, &h, 10), IMGFILT_NULL_POINTER);
}

TEST(RotateSize, CroppedIsLargeAndHoldsOnlyImage) {
  // Nearly upright: almost the whole image survives.
  const Size small = SmallSize(100, 50, 0.5f);
  EXPECT_GE(small.w, 97u);
  EXPECT_GE(small.h, 47u);
  // At 45 degrees past a quarter turn a long thin image keeps a rectangle as high as the
  // distance between its long sides allows: here less than 17 / sqrt(2) on both sides.
  const Size thin = SmallSize(76, 17, 225);
  EXPECT_LE(thin.w, 12u);
  EXPECT_LE(thin.h, 12u);
  EXPECT_GE(thin.w, 9u);
  EXPECT_EQ(SmallSize(100, 50, 180).w, 100u);
  EXPECT_EQ(SmallSize(100, 50, 270).w, 50u);
}

// A black image turned and cropped: any white pixel would be canvas showing through.
TEST(RotateSize, CroppedRotationNeverShowsCanvas) {
  for (const Size src : {Size{76, 17}, Size{17, 76}, Size{40, 40}, Size{123, 61}, Size{5, 3}}) {
    for (float angle : {225.0f, 45.0f, 135.0f, 315.0f, 0.1f, 13.7f, 89.9f, 100.0f, 200.3f, 333.3f}) {
      const Image black = MakeImage(src.w, src.h, 1, 0);
      const Image out = Rotate(black, angle, {src.h}, true);
      for (uint32_t y = 0; y < out.lines; ++y) {
        for (uint32_t x = 0; x < out.width; ++x) {
          ASSERT_EQ(out.at(x, y), 0) << src.w << "x" << src.h << " at " << angle << ": " << x << "," << y;
        }
      }
    }
  }
}

TEST(Rotation90, EveryTurnFollowsTheTable) {
  for (int bpp : {1, 3}) {
    for (uint8_t orientation : {0, 1}) {
      const Image src = RandomImage(23, 17, bpp, 7, 3, orientation);
      for (int32_t angle : {0, 90, 180, 270, 360}) {
        const Image out = Turn(src, angle, {5, 1, 11});
        for (uint32_t y = 0; y < src.lines; ++y) {
          for (uint32_t x = 0; x < src.width; ++x) {
            uint32_t dx = x, dy = y;
            if (angle == 90) dx = src.lines - 1 - y, dy = x;
            if (angle == 180) dx = src.width - 1 - x, dy = src.lines - 1 - y;
            if (angle == 270) dx = y, dy = src.width - 1 - x;
            for (int ch = 0; ch < bpp; ++ch) {
              ASSERT_EQ(out.at(dx, dy, ch), src.at(x, y, ch))
                  << "bpp " << bpp << " orientation " << int{orientation} << " angle " << angle;
            }
          }
        }
      }
    }
  }
}

TEST(Rotation90, RefusesBadArguments) {
  const Image src = RandomImage(8, 6, 1, 1);
  Image dst = MakeImage(8, 8, 1);
  EXPECT_EQ(Rotation90Gray(src.data(), dst.data(), 8, 8, 6, 6, 8, 45, 0, 3), IMGFILT_OUT_OF_RANGE);
  EXPECT_EQ(Rotation90Gray(nullptr, dst.data(), 8, 8, 6, 6, 8, 90, 0, 3), IMGFILT_NULL_POINTER);
  EXPECT_EQ(Rotation90Gray(src.data(), dst.data(), 8, 0, 6, 6, 8, 90, 0, 3), IMGFILT_ZERO_SIZE);
  EXPECT_EQ(Rotation90Gray(src.data(), dst.data(), 8, 8, 6, 0, 8, 90, 0, 3), IMGFILT_ZERO_SIZE);
  // A 90-degree result is 6 pixels wide: 5 bytes a line is too few, 6 enough.
  EXPECT_EQ(Rotation90Gray(src.data(), dst.data(), 8, 8, 6, 6, 5, 90, 0, 3), IMGFILT_OUT_OF_RANGE);
  EXPECT_EQ(Rotation90Gray(src.data(), dst.data(), 8, 8, 6, 6, 6, 90, 0, 3), IMGFILT_OK);
  EXPECT_EQ(Rotation90Color(src.data(), dst.data(), 8, 2, 6, 6, 18, 90, 0, 3), IMGFILT_OK);
  EXPECT_EQ(Rotation90Color(src.data(), dst.data(), 8, 2, 6, 6, 17, 90, 0, 3), IMGFILT_OUT_OF_RANGE);
  // A later band needs an image in progress with the same geometry.
  EXPECT_EQ(Rotation90Gray(src.data(), dst.data(), 8, 8, 3, 6, 8, 90, 0, 1), IMGFILT_OUT_OF_RANGE);
  EXPECT_EQ(Rotation90Gray(src.data(), dst.data(), 8, 8, 3, 6, 8, 90, 0, 0), IMGFILT_OK);
  EXPECT_EQ(Rotation90Gray(src.data(), dst.data(), 8, 7, 3, 6, 8, 90, 0, 2), IMGFILT_OUT_OF_RANGE);
}

TEST(Rotation, QuarterAnglesAreTheQuarterTurnsByteForByte) {
  for (int bpp : {1, 3}) {
    const Image src = RandomImage(31, 19, bpp, 3, 1);
    EXPECT_TRUE(SameLines(Rotate(src, 90.0f, {19}), Turn(src, 90, {19}), 31));
    EXPECT_TRUE(SameLines(Rotate(src, -90.0f, {4, 15}), Turn(src, 270, {19}), 31));
    EXPECT_TRUE(SameLines(Rotate(src, 180.04f, {19}), Turn(src, 180, {19}), 19));
    EXPECT_TRUE(SameLines(Rotate(src, 359.96f, {19}), src, 19));
    EXPECT_TRUE(SameLines(Rotate(src, 90.0f, {19}, true), Turn(src, 90, {19}), 31));
  }
}

TEST(Rotation, WhiteStaysWhiteAndCornersAreCanvas) {
  for (int bpp : {1, 3}) {
    for (float angle : {0.1f, 7.0f, 33.3f, 45.0f, 123.4f, 271.9f, 359.9f}) {
      const Image white = MakeImage(57, 41, bpp, 255);
      const Image out = Rotate(white, angle, {10, 31});
      for (uint32_t y = 0; y < out.lines; ++y) {
        for (size_t i = 0; i < out.rowBytes(); ++i) ASSERT_EQ(out.line(y)[i], 255) << angle;
      }
    }
  }
  // A black image: corners outside the turned image stay 255.
  const Image black = MakeImage(40, 30, 1, 0);
  const Image out = Rotate(black, 30, {30});
  EXPECT_EQ(out.at(0, 0), 255);
  EXPECT_EQ(out.at(out.width - 1, out.lines - 1), 255);
  EXPECT_EQ(out.at(out.width / 2, out.lines / 2), 0);
}

TEST(Rotation, MatchesThePlainReference) {
  for (int bpp : {1, 3}) {
    for (int tenths : {1, 70, 333, 450, 1234, 2251, 3599}) {
      const Image src = RandomImage(45, 33, bpp, static_cast<uint32_t>(tenths), 2);
      std::vector<bool> nearEdge;
      const Image want = Reference(src, tenths, nearEdge);
      const Image got = Rotate(src, tenths / 10.0f, {33});
      ASSERT_EQ(got.width, want.width);
      ASSERT_EQ(got.lines, want.lines);
      size_t offByOne = 0;
      for (uint32_t y = 0; y < got.lines; ++y) {
        for (uint32_t x = 0; x < got.width; ++x) {
          if (nearEdge[size_t{y} * got.width + x]) continue;
          for (int ch = 0; ch < bpp; ++ch) {
            const int d = std::abs(got.at(x, y, ch) - want.at(x, y, ch));
            ASSERT_LE(d, 1) << tenths << " at " << x << "," << y;
            offByOne += d;
          }
        }
      }
      // Truncation may round a value that lies on a whole number either way, nothing more.
      EXPECT_LE(offByOne, got.rowBytes() * got.lines / 200) << tenths;
    }
  }
}

TEST(Rotation, AnyBandSplitGivesTheOneBandResult) {
  for (int bpp : {1, 3}) {
    for (uint8_t orientation : {0, 1}) {
      for (bool cropped : {false, true}) {
        const Image src = RandomImage(64, 77, bpp, 11, 3, orientation);
        for (float angle : {0.3f, 7.0f, 45.0f, 97.5f, 183.2f, 300.0f}) {
          const Image one = Rotate(src, angle, {77}, cropped);
          for (uint32_t seed : {1u, 2u, 3u}) {
            const Image banded = Rotate(src, angle, RandomBands(77, 9, seed), cropped);
            ASSERT_TRUE(SameLines(one, banded, one.lines)) << angle << " cropped " << cropped;
          }
          ASSERT_TRUE(SameLines(one, Rotate(src, angle, EvenBands(77, 1), cropped), one.lines));
        }
      }
    }
  }
}

TEST(Rotation, BottomUpIsTheTopDownResultStoredBottomUp) {
  const Image topDown = RandomImage(30, 20, 3, 5, 1, 0);
  Image bottomUp = MakeImage(30, 20, 3, 0, 1, 1);
  for (uint32_t y = 0; y < 20; ++y) std::copy_n(topDown.line(y), 90, bottomUp.line(y));
  const Image a = Rotate(topDown, 21, {20});
  const Image b = Rotate(bottomUp, 21, {6, 14});
  EXPECT_TRUE(SameLines(a, b, a.lines));  // compares image lines, each in its own storage order
}

TEST(Rotation, RefusesBadArguments) {
  const Image src = RandomImage(8, 6, 1, 1);
  Image dst = MakeImage(20, 20, 1);
  std::vector<uint8_t> held(8);
  Size s = RotateSize(8, 6, 10);
  EXPECT_EQ(RotationGray(src.data(), dst.data(), 8, 8, 6, 6, s.w - 1, 10, 0, 3, nullptr), IMGFILT_OUT_OF_RANGE);
  EXPECT_EQ(RotationGray(src.data(), dst.data(), 8, 8, 6, 6, s.w, 10, 0, 3, nullptr), IMGFILT_OK);
  EXPECT_EQ(RotationGray(src.data(), dst.data(), 8, 8, 3, 6, s.w, 10, 0, 0, nullptr), IMGFILT_NULL_POINTER);
  EXPECT_EQ(RotationGray(src.data(), dst.data(), 7, 8, 3, 6, s.w, 10, 0, 0, held.data()), IMGFILT_OUT_OF_RANGE);
  EXPECT_EQ(RotationGray(src.data(), dst.data(), 8, 8, 0, 6, s.w, 10, 0, 0, held.data()), IMGFILT_ZERO_SIZE);
  EXPECT_EQ(RotationSmallGray(src.data(), dst.data(), 8, 8, 3, 6, 20, 10, 0, 2, held.data()), IMGFILT_OUT_OF_RANGE);
}

TEST(BandCopy, BandsTurnedIntoPlaceMakeTheQuarterTurn) {
  using Copier = uint32_t (*)(const uint8_t*, uint8_t*, uint32_t, uint32_t, uint32_t, uint32_t,
                              uint32_t, uint32_t, uint32_t);
  for (int bpp : {1, 3}) {
    for (bool dib : {false, true}) {
      const Copier copy = bpp == 1 ? (dib ? RotateGrayDIBBandImg : RotateGrayBandImg)
                                   : (dib ? RotateDIBBandImg : RotateBandImg);
      const uint8_t orientation = dib ? 1 : 0;
      const Image src = RandomImage(21, 13, bpp, 9, 2, orientation);
      for (int32_t angle : {0, 90, 180, 270}) {
        const Image want = Turn(src, angle, {13});
        Image out = MakeImage(want.width, want.lines, bpp, kSentinel, 1, orientation);
        uint32_t first = 0;
        for (size_t n : {4u, 1u, 8u}) {
          const Image band = Band(src, first, n);
          EXPECT_EQ(copy(band.data(), out.data(), 0, src.width | band.lineBytes << 16,
                         static_cast<uint32_t>(n), out.width | out.lineBytes << 16, out.lines,
                         first, static_cast<uint32_t>(angle)),
                    n);
          first += static_cast<uint32_t>(n);
        }
        EXPECT_TRUE(SameLines(want, out, want.lines)) << "bpp " << bpp << " dib " << dib << " " << angle;
      }
    }
  }
}

TEST(BandCopy, NeverWritesOutsideASmallerDestination) {
  const Image src = RandomImage(20, 10, 1, 4);
  for (uint32_t angle : {0u, 90u, 180u, 270u}) {
    Image out = MakeImage(6, 5, 1, kSentinel, 2);
    out.bytes.resize(out.bytes.size() + 16, kSentinel);
    EXPECT_EQ(RotateGrayBandImg(src.data(), out.data(), 0, 20 | 20 << 16, 10, 6 | 8 << 16, 5, 0, angle), 10u);
    for (size_t i = 40; i < out.bytes.size(); ++i) ASSERT_EQ(out.bytes[i], kSentinel) << angle;
  }
  EXPECT_EQ(RotateGrayBandImg(src.data(), nullptr, 0, 20 | 20 << 16, 10, 6 | 8 << 16, 5, 0, 90), 0u);
  std::vector<uint8_t> small(64);
  EXPECT_EQ(RotateGrayBandImg(src.data(), small.data(), 0, 20 | 19 << 16, 10, 6 | 8 << 16, 5, 0, 90), 0u);
}

}  // namespace
}  // namespace imgfiltTest
