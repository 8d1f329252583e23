// Finding a document on the glass, and a document's skew from its corners.
#include <gtest/gtest.h>

#include <cmath>

#include "imgfilt.h"
#include "scene.h"
#include "test_image.h"

namespace imgfiltTest {
namespace {

// A text page on a dark glass, turned clockwise by `tilt`.
Image DocumentOnGlass(const TurnedRect& doc, uint32_t seed, int bpp = 3) {
  Image image = MakeImage(700, 900, bpp, 14);
  PaintRect(image, doc, [&](double u, double v, uint8_t* rgb) { TextPaper(u, v, doc.w, doc.h, rgb); });
  AddNoise(image, 3, seed);
  return image;
}

// The turn that sets a document tilted clockwise by `tilt` upright.
double Upright(double tilt) { return tilt > 0 ? 360 - tilt : -tilt; }

double AngleGap(double a, double b) {
  const double d = std::fmod(std::fabs(a - b), 360);
  return std::min(d, 360 - d);
}

TEST(AutoCrop, FindsTurnedDocumentsOnDarkGlass) {
  uint32_t seed = 1;
  for (double tilt : {-10.0, -7.3, -4.0, -1.2, 0.0, 0.4, 2.5, 5.0, 8.6, 10.0}) {
    const TurnedRect doc{330 + tilt * 3, 470 - tilt * 2, 420, 560, tilt};
    const Image image = DocumentOnGlass(doc, seed++);
    ImageRect crop{};
    float angle = -1;
    AutoCropColor(image.data(), image.lineBytes, image.width, image.lines, &crop, &angle, 0, nullptr);
    const ImageRect want = doc.PixelBox();
    EXPECT_NEAR(crop.left, want.left, 2) << tilt;
    EXPECT_NEAR(crop.top, want.top, 2) << tilt;
    EXPECT_NEAR(crop.right, want.right, 2) << tilt;
    EXPECT_NEAR(crop.bottom, want.bottom, 2) << tilt;
    EXPECT_LE(AngleGap(angle, Upright(tilt)), 0.2) << tilt << " gave " << angle;
    EXPECT_GE(angle, 0.0f);
    EXPECT_LT(angle, 360.0f);
  }
}

TEST(AutoCrop, BottomUpRegionAndSpecksOnTheGlass) {
  const TurnedRect doc{300, 420, 380, 500, 3.5};
  Image topDown = DocumentOnGlass(doc, 5);
  // Dust: a few bright specks far from the document.
  for (int i = 0; i < 3; ++i) topDown.at(30 + size_t(i), 860, i) = 255, topDown.at(680, 20, i) = 250;
  Image bottomUp = MakeImage(700, 900, 3, 0, 0, 1);
  for (uint32_t y = 0; y < 900; ++y) std::copy_n(topDown.line(y), 2100, bottomUp.line(y));
  ImageRect region{650, 880, 10, 12};  // corners out of order
  ImageRect crop{};
  float angle = 0;
  AutoCropColor(bottomUp.data(), bottomUp.lineBytes, 700, 900, &crop, &angle, 1, &region);
  const ImageRect want = doc.PixelBox();
  EXPECT_NEAR(crop.left, want.left, 2);
  EXPECT_NEAR(crop.bottom, want.bottom, 2);
  EXPECT_LE(AngleGap(angle, Upright(3.5)), 0.2);
}

TEST(AutoCrop, WithoutADarkSurroundReportsTheRegion) {
  Image bright = MakeImage(200, 150, 3, 230);
  AddNoise(bright, 3, 9);
  ImageRect crop{};
  float angle = 7;
  ImageRect region{10, 20, 180, 140};
  AutoCropColor(bright.data(), bright.lineBytes, 200, 150, &crop, &angle, 0, &region);
  EXPECT_EQ(crop.left, 10);
  EXPECT_EQ(crop.top, 20);
  EXPECT_EQ(crop.right, 180);
  EXPECT_EQ(crop.bottom, 140);
  EXPECT_EQ(angle, 0.0f);
  // Nothing but glass: no document, no tilt.
  Image glass = MakeImage(200, 150, 3, 12);
  AutoCropColor(glass.data(), glass.lineBytes, 200, 150, &crop, &angle, 0, nullptr);
  EXPECT_EQ(crop.right, 199);
  EXPECT_EQ(angle, 0.0f);
  AutoCropColor(nullptr, 600, 200, 150, &crop, &angle, 0, nullptr);  // must not crash
  AutoCropColor(glass.data(), 599, 200, 150, &crop, &angle, 0, nullptr);
}

TEST(RotateAngle, MeasuresTheSkewFromTheCornersOfATightRegion) {
  for (double tilt : {-8.0, -3.0, 2.0, 6.5}) {
    const TurnedRect doc{350, 450, 420, 560, tilt};
    for (int bpp : {1, 3}) {
      const Image image = DocumentOnGlass(doc, 3, bpp);
      ImageRect region = doc.PixelBox();
      const auto fn = bpp == 1 ? RotateAngleGray : RotateAngleColor;
      const double turn = fn(image.data(), image.lineBytes, 700, 900, 0, 128, &region);
      EXPECT_LE(AngleGap(turn, Upright(tilt)), 0.3) << tilt << " gave " << turn;
    }
  }
  // Upright bright rectangle on black: no tilt.
  Image upright = MakeImage(300, 200, 1, 0);
  for (uint32_t y = 40; y < 160; ++y) std::fill_n(upright.line(y) + 50, 200, uint8_t{220});
  EXPECT_EQ(RotateAngleGray(upright.data(), 300, 300, 200, 0, 128, nullptr), 0.0);
  ImageRect tight{50, 40, 249, 159};
  EXPECT_EQ(RotateAngleGray(upright.data(), 300, 300, 200, 0, 128, &tight), 0.0);
  ImageRect outside{-500, -500, 5000, 5000};  // clipped: nothing outside the image is read
  EXPECT_EQ(RotateAngleGray(upright.data(), 300, 300, 200, 0, 128, &outside), 0.0);
}

}  // namespace
}  // namespace imgfiltTest
