#include "background.h"

#include <gtest/gtest.h>

namespace dssetup {
namespace {

using platform::Rgb;

TEST(BackgroundTest, BandsGradeInSixPixelStepsOfFour) {
  auto b = PaintBackground(600, 440, "", 24);
  // Step n covers rows 6n..6n+5 at intensity 4n; worked for n = 0, 10 and 63.
  EXPECT_EQ(b->Pixel(0, 0), Rgb(0, 0, 0));
  EXPECT_EQ(b->Pixel(100, 60), Rgb(40, 0, 0));
  EXPECT_EQ(b->Pixel(100, 65), Rgb(40, 0, 0));
  EXPECT_EQ(b->Pixel(100, 66), Rgb(44, 0, 0));
  EXPECT_EQ(b->Pixel(199, 383), Rgb(252, 0, 0));
  EXPECT_EQ(b->Pixel(200, 383), Rgb(0, 252, 0));
  EXPECT_EQ(b->Pixel(399, 383), Rgb(0, 252, 0));
  EXPECT_EQ(b->Pixel(400, 383), Rgb(0, 0, 252));
  EXPECT_EQ(b->Pixel(599, 200), Rgb(0, 0, 132));
  // Below the 64 steps, the window colour.
  EXPECT_EQ(b->Pixel(100, 384), Rgb(255, 255, 255));
  EXPECT_EQ(b->Pixel(599, 439), Rgb(255, 255, 255));
}

TEST(BackgroundTest, TitleIsCyanOverBlue) {
  if (!platform::GdiFont::Create("Arial", 24)) GTEST_SKIP() << "no sans font installed";
  auto b = PaintBackground(600, 440, "I", 24);
  int cyan = 0, blue = 0;
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 40; ++x) {
      cyan += b->Pixel(x, y) == Rgb(0, 255, 255);
      blue += b->Pixel(x, y) == Rgb(0, 0, 255);
    }
  }
  // The cyan stroke covers most of the blue one, 3 pixels up and left: a blue edge remains.
  EXPECT_GT(cyan, 20);
  EXPECT_GT(blue, 5);
}

}  // namespace
}  // namespace dssetup
