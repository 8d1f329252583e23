// Scan type of line-art, gray and colour pages.
#include <gtest/gtest.h>

#include <cmath>

#include "imgfilt.h"
#include "scene.h"
#include "test_image.h"

namespace imgfiltTest {
namespace {

constexpr uint32_t kW = 400, kH = 300;

uint8_t Type(const Image& page, ImageRect* region = nullptr) {
  return AutoTypeColor(page.data(), page.lineBytes, page.width, page.lines, region);
}

Image Page(const std::function<void(uint32_t, uint32_t, uint8_t*)>& paint, uint32_t seed, int noise = 3) {
  Image page = MakeImage(kW, kH, 3, 0, 1);
  for (uint32_t y = 0; y < kH; ++y) {
    for (uint32_t x = 0; x < kW; ++x) paint(x, y, &page.at(x, y));
  }
  AddNoise(page, noise, seed);
  return page;
}

void Gray(uint8_t* rgb, double v) { rgb[0] = rgb[1] = rgb[2] = uint8_t(std::clamp(v, 0.0, 255.0)); }

// Text: dark strokes on paper, their borders softened as a scanner's optics do.
Image TextPage(uint8_t paper, uint8_t ink, uint32_t seed) {
  return Page([&](uint32_t x, uint32_t y, uint8_t* rgb) {
    const bool line = y % 20 >= 6 && y % 20 < 16 && x > 10 && x < kW - 10;
    const double phase = std::fmod(x * 0.9 + (y / 20) * 5.0, 9.0);
    const double cover = line ? std::clamp(1.5 - std::fabs(phase - 3.0), 0.0, 1.0) : 0.0;
    Gray(rgb, paper + (ink - paper) * cover);
  }, seed);
}

// A photograph: smooth shading with round shapes of other tones.
Image PhotoPage(uint32_t seed) {
  return Page([&](uint32_t x, uint32_t y, uint8_t* rgb) {
    double v = 40 + 160.0 * x / kW + 30 * std::sin(y / 23.0);
    if (std::hypot(x - 120.0, y - 150.0) < 60) v = 90 + 0.3 * y;
    if (std::hypot(x - 300.0, y - 90.0) < 45) v = 200 - 0.4 * x + 0.2 * y;
    Gray(rgb, v);
  }, seed);
}

TEST(AutoType, UniformAndNarrowPagesAreLineArt) {
  EXPECT_EQ(Type(Page([](uint32_t, uint32_t, uint8_t* rgb) { Gray(rgb, 128); }, 1, 0)), IMGFILT_TYPE_LINE_ART);
  // Noise of +-4 spans 9 levels (at most 9 after the tone curve): still one tone.
  EXPECT_EQ(Type(Page([](uint32_t, uint32_t, uint8_t* rgb) { Gray(rgb, 180); }, 2, 2)), IMGFILT_TYPE_LINE_ART);
}

TEST(AutoType, TextIsLineArtAndShadingIsGray) {
  EXPECT_EQ(Type(TextPage(238, 20, 3)), IMGFILT_TYPE_LINE_ART);
  EXPECT_EQ(Type(TextPage(200, 60, 4)), IMGFILT_TYPE_LINE_ART);  // grayish newsprint
  EXPECT_EQ(Type(PhotoPage(5)), IMGFILT_TYPE_GRAY);
  // The photograph's region alone, and a text region of a page that also holds one.
  Image mixed = PhotoPage(6);
  const Image text = TextPage(238, 20, 7);
  for (uint32_t y = 0; y < 150; ++y) std::copy_n(text.line(y), kW * 3, mixed.line(y));
  ImageRect top{0, 0, int32_t(kW) - 1, 149}, bottom{0, 150, int32_t(kW) - 1, int32_t(kH) - 1};
  EXPECT_EQ(Type(mixed, &top), IMGFILT_TYPE_LINE_ART);
  EXPECT_EQ(Type(mixed, &bottom), IMGFILT_TYPE_GRAY);
}

TEST(AutoType, ColourAreasMakeAColourPageButFringesDoNot) {
  Image colour = TextPage(238, 20, 8);
  for (uint32_t y = 100; y < 200; ++y) {
    for (uint32_t x = 150; x < 300; ++x) {
      uint8_t* p = &colour.at(x, y);
      p[0] = uint8_t(200 - (y - 100)), p[1] = uint8_t(60 + (x - 150) / 3), p[2] = 40;
    }
  }
  EXPECT_EQ(Type(colour), IMGFILT_TYPE_COLOR);
  EXPECT_EQ(Type(PhotoPage(9)), IMGFILT_TYPE_GRAY);
  // Scattered coloured pixels, such as a scanner's colour fringes, are no colour document.
  Image fringes = TextPage(238, 20, 10);
  for (uint32_t i = 0; i < 40; ++i) {
    uint8_t* p = &fringes.at(13 + 9 * i, 3 + 7 * i);
    p[0] = 250, p[1] = 40, p[2] = 40;
  }
  EXPECT_EQ(Type(fringes), IMGFILT_TYPE_LINE_ART);
  // A single small patch (2 x 2 blocks that do not continue) is not enough either; 6 x 6 is.
  Image patch = TextPage(238, 20, 11);
  for (uint32_t y = 200; y < 206; ++y) {
    for (uint32_t x = 200; x < 206; ++x) (&patch.at(x, y))[0] = 250, (&patch.at(x, y))[1] = 30, (&patch.at(x, y))[2] = 30;
  }
  EXPECT_EQ(Type(patch), IMGFILT_TYPE_COLOR);
}

TEST(AutoType, BadInputIsLineArt) {
  const Image page = PhotoPage(12);
  EXPECT_EQ(AutoTypeColor(nullptr, page.lineBytes, kW, kH, nullptr), IMGFILT_TYPE_LINE_ART);
  EXPECT_EQ(AutoTypeColor(page.data(), kW * 3 - 1, kW, kH, nullptr), IMGFILT_TYPE_LINE_ART);
  ImageRect outside{kW + 5, 0, kW + 50, 10};
  EXPECT_EQ(AutoTypeColor(page.data(), page.lineBytes, kW, kH, &outside), IMGFILT_TYPE_LINE_ART);
  ImageRect huge{-1000, -1000, 100000, 100000};  // clipped to the page
  EXPECT_EQ(AutoTypeColor(page.data(), page.lineBytes, kW, kH, &huge), IMGFILT_TYPE_GRAY);
}

}  // namespace
}  // namespace imgfiltTest
