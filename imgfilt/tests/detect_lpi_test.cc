// Screen detection: the transform against a direct sum, the ruling of synthetic halftone
// screens, and the search for a block to measure on.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "detect_lpi.h"
#include "fft.h"
#include "imgfilt.h"

namespace {

TEST(Fft, MatchesTheDirectSum) {
  constexpr size_t n = 128;
  std::mt19937 rng(3);
  std::vector<float> re(n), im(n);
  for (size_t i = 0; i < n; ++i) {
    re[i] = static_cast<float>(rng() % 256) / 255.0f;
    im[i] = static_cast<float>(rng() % 256) / 255.0f;
  }
  std::vector<std::complex<double>> direct(n);
  for (size_t k = 0; k < n; ++k) {
    for (size_t j = 0; j < n; ++j) {
      const double a = -2.0 * std::numbers::pi * static_cast<double>(j * k) / n;
      direct[k] += std::complex<double>(re[j], im[j]) * std::complex<double>(std::cos(a), std::sin(a));
    }
  }
  imgfilt::Fft(n).Forward(re.data(), im.data(), 1);
  for (size_t k = 0; k < n; ++k) {
    EXPECT_NEAR(re[k], direct[k].real(), 1e-3) << k;
    EXPECT_NEAR(im[k], direct[k].imag(), 1e-3) << k;
  }
}

TEST(DetectLpi, RadiusClasses) {
  using imgfilt::ClassifyRadii;
  EXPECT_EQ(ClassifyRadii({1099, 2000, 2000}), 0) << "any channel below 1100";
  EXPECT_EQ(ClassifyRadii({1100, 1100, 1399}), 80);
  EXPECT_EQ(ClassifyRadii({1400, 1400, 1400}), 100);
  EXPECT_EQ(ClassifyRadii({2299, 2299, 2299}), 100);
  EXPECT_EQ(ClassifyRadii({2300, 2300, 2300}), 133);
  EXPECT_EQ(ClassifyRadii({3800, 3800, 3800}), 150);
  EXPECT_EQ(ClassifyRadii({4499, 4499, 4499}), 150);
  EXPECT_EQ(ClassifyRadii({4500, 4500, 4500}), 175);
  // Largest 2000 with one close neighbour classifies the largest; all gaps above 500 give 175.
  EXPECT_EQ(ClassifyRadii({1200, 2000, 1500}), 100);
  EXPECT_EQ(ClassifyRadii({1200, 2000, 2500}), 133);
  EXPECT_EQ(ClassifyRadii({1200, 2000, 2501}), 175);
}

// A halftone screen at `lpi` lines per inch and `angle` degrees scanned at 300 dpi: round dots
// (a 50 % spot function) with each pixel the covered share of 4 x 4 samples, the three
// channels screened alike at slightly different tones.
std::vector<uint8_t> Screen(double lpi, double angle) {
  std::vector<uint8_t> img(128 * 128 * 3);
  const double f = lpi / 300.0, a = angle * std::numbers::pi / 180.0;
  for (size_t y = 0; y < 128; ++y) {
    for (size_t x = 0; x < 128; ++x) {
      for (size_t c = 0; c < 3; ++c) {
        int on = 0;
        for (int s = 0; s < 16; ++s) {
          const double px = static_cast<double>(x) + (s % 4 + 0.5) / 4, py = static_cast<double>(y) + (s / 4 + 0.5) / 4;
          const double u = f * (px * std::cos(a) + py * std::sin(a)), v = f * (-px * std::sin(a) + py * std::cos(a));
          on += (std::cos(2 * std::numbers::pi * u) + std::cos(2 * std::numbers::pi * v)) / 2 > 0.05 * (static_cast<double>(c) - 1);
        }
        img[(y * 128 + x) * 3 + c] = static_cast<uint8_t>(255 * on / 16);
      }
    }
  }
  return img;
}

uint8_t Detect(const std::vector<uint8_t>& img) {
  uint8_t ruling = 99;
  DetectLpiColor(img.data(), 384, 128, 128, &ruling, nullptr);
  return ruling;
}

TEST(DetectLpi, NominalRulingOfAngledScreens) {
  for (int lpi : {80, 100, 133, 150, 175}) {
    for (double angle : {15.0, 22.5, 30.0, 45.0}) {
      // At 175 lpi and angles below 30 degrees one fundamental lies beyond the 64 x 64 quadrant
      // the method searches.
      if (lpi == 175 && angle < 30) continue;
      EXPECT_EQ(Detect(Screen(lpi, angle)), lpi) << lpi << " lpi at " << angle << " degrees";
    }
  }
}

TEST(DetectLpi, SmoothImagesHaveNoScreen) {
  std::vector<uint8_t> ramp(128 * 384), flat(128 * 384, 200);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>((i % 384) / 3 + i / 384);
  EXPECT_EQ(Detect(ramp), 0);
  EXPECT_EQ(Detect(flat), 0);
}

TEST(DetectLpi, BlockCornerAndBounds) {
  // The screen sits at (10, 20) of a larger image; elsewhere the image is flat.
  const std::vector<uint8_t> screen = Screen(133, 30);
  constexpr uint32_t kW = 150, kH = 160, kLine = kW * 3;
  std::vector<uint8_t> img(kLine * kH, 128);
  for (size_t y = 0; y < 128; ++y) std::copy_n(&screen[y * 384], 384, &img[(y + 20) * kLine + 30]);
  uint8_t r = 99;
  ImageRect at{10 + 127, 20, 10, 20 + 127};  // corners in any order
  DetectLpiColor(img.data(), kLine, kW, kH, &r, &at);
  EXPECT_EQ(r, 133);
  DetectLpiColor(img.data(), kLine, 0, 0, &r, &at);  // the caller vouches for the block
  EXPECT_EQ(r, 133);
  ImageRect out{23, 33, 23, 33};  // 23 + 128 > 150
  DetectLpiColor(img.data(), kLine, kW, kH, &r, &out);
  EXPECT_EQ(r, 0);
  ImageRect fits{22, 32, 22, 32};
  DetectLpiColor(img.data(), kLine, kW, kH, &r, &fits);
  EXPECT_NE(r, 99);
}

TEST(AutoDescreen, AllEdgesGivesABlockOutsideTheRegion) {
  constexpr uint32_t kW = 60, kH = 50;
  std::vector<uint8_t> img(kW * 3 * kH);
  for (size_t y = 0; y < kH; ++y) {
    // Stripes two pixels wide: the columns either side of every pixel differ by 765.
    for (size_t x = 0; x < kW * 3; ++x) img[y * kW * 3 + x] = (x / 6) % 2 ? 255 : 0;
  }
  ImageRect result{};
  ImageRect region{40, 30, 5, 2};
  AutoDescreenColor(img.data(), kW * 3, kW, kH, &result, &region);
  EXPECT_EQ(result.left, 5 + 36);
  EXPECT_EQ(result.top, 2 + 29);
  EXPECT_EQ(result.right, result.left + 128);
  EXPECT_EQ(result.bottom, result.top + 128);
}

TEST(AutoDescreen, FindsTheTexturedFlatArea) {
  constexpr uint32_t kW = 200, kH = 150;
  std::vector<uint8_t> img(kW * 3 * kH, 128);
  std::mt19937 rng(9);
  for (size_t y = 60; y < 110; ++y) {
    for (size_t x = 100; x < 150; ++x) {
      const auto v = static_cast<uint8_t>(118 + rng() % 21);  // fine texture, far from an edge
      for (size_t c = 0; c < 3; ++c) img[(y * kW + x) * 3 + c] = v;
    }
  }
  // A hard edge elsewhere must not attract the search.
  for (size_t y = 0; y < kH; ++y) {
    for (size_t x = 20; x < 25; ++x) img[(y * kW + x) * 3] = img[(y * kW + x) * 3 + 1] = img[(y * kW + x) * 3 + 2] = 0;
  }
  ImageRect result{};
  AutoDescreenColor(img.data(), kW * 3, kW, kH, &result, nullptr);
  EXPECT_GE(result.left, 100 - 13);
  EXPECT_LE(result.left, 150);
  EXPECT_GE(result.top, 60 - 13);
  EXPECT_LE(result.top, 110);
}

}  // namespace
