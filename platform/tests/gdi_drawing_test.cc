#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>

#include "platform/gdi/gdi.h"
#include "temp_dir.h"

namespace platform {
namespace {

TEST(GdiDrawingTest, FillsClipOnEverySide) {
  GdiBitmap b(10, 8);
  b.FillRect({-5, -5, 3, 2}, Rgb(1, 2, 3));
  b.FillRect({8, 6, 50, 50}, Rgb(9, 9, 9));
  b.FillRect({4, 4, 4, 9}, Rgb(7, 7, 7));  // empty: left == right
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 10; ++x) {
      ColorRef expected = 0;
      if (x < 3 && y < 2) expected = Rgb(1, 2, 3);
      if (x >= 8 && y >= 6) expected = Rgb(9, 9, 9);
      EXPECT_EQ(b.Pixel(x, y), expected) << x << "," << y;
    }
  }
  EXPECT_EQ(b.Pixel(10, 0), 0u);
  EXPECT_EQ(b.Pixel(-1, 0), 0u);
}

TEST(GdiDrawingTest, BitBltCopiesTheOverlapOnly) {
  GdiBitmap source(4, 4), target(5, 5);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      source.SetPixel(x, y, Rgb(static_cast<uint8_t>(x), static_cast<uint8_t>(y), 1));
    }
  }
  target.FillRect({0, 0, 5, 5}, Rgb(255, 255, 255));
  BitBlt(target, 3, -1, 4, 4, source, 1, 0);
  // Plain reference: target(tx, ty) = source(tx - 3 + 1, ty + 1 - 0) where both are inside.
  for (int ty = 0; ty < 5; ++ty) {
    for (int tx = 0; tx < 5; ++tx) {
      const int fx = tx - 2, fy = ty + 1;
      const bool copied = tx >= 3 && ty <= 2 && fx < 4 && fy < 4;
      const ColorRef expected = copied ? Rgb(static_cast<uint8_t>(fx), static_cast<uint8_t>(fy), 1)
                                       : Rgb(255, 255, 255);
      EXPECT_EQ(target.Pixel(tx, ty), expected) << tx << "," << ty;
    }
  }
}

TEST(GdiDrawingTest, TextIsDrawnInItsColourWithinItsWidth) {
  auto font = GdiFont::Create("Arial", 24);
  if (!font) GTEST_SKIP() << "no sans font installed (scripts/bootstrap)";
  // 24 points on a 96-dpi screen are 32 pixels; the metric-compatible face's capital H
  // advances 0.722 em (1479/2048), 23 pixels.
  EXPECT_NEAR(font->TextWidth("H"), 23, 1);
  EXPECT_NEAR(font->TextWidth("HHHH"), 92, 2);
  GdiBitmap b(200, 60);
  b.FillRect({0, 0, 200, 60}, Rgb(255, 255, 255));
  font->TextOut(b, 10, 5, "HI", Rgb(0, 0, 255));
  int blue = 0;
  int minX = 1000, maxX = -1;
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 200; ++x) {
      if (b.Pixel(x, y) == Rgb(0, 0, 255)) {
        ++blue;
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
      }
    }
  }
  EXPECT_GT(blue, 100);
  EXPECT_GE(minX, 10);
  EXPECT_LE(maxX, 10 + font->TextWidth("HI"));
}

TEST(GdiDrawingTest, PngHoldsThePixels) {
  testing::TempDir dir;
  GdiBitmap b(3, 2);
  b.SetPixel(0, 0, Rgb(10, 20, 30));
  b.SetPixel(2, 1, Rgb(200, 100, 50));
  ASSERT_TRUE(b.SavePng(dir.path() / "b.png"));
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, (dir.path() / "b.png").c_str()));
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
  ASSERT_EQ(image.width, 3u);
  ASSERT_EQ(image.height, 2u);
  EXPECT_EQ(std::vector<uint8_t>(rgb.begin(), rgb.begin() + 3), (std::vector<uint8_t>{10, 20, 30}));
  EXPECT_EQ(std::vector<uint8_t>(rgb.end() - 3, rgb.end()), (std::vector<uint8_t>{200, 100, 50}));
  EXPECT_FALSE(b.SavePng(dir.path() / "missing" / "b.png"));
}

}  // namespace
}  // namespace platform
