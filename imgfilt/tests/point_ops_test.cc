// Bilevel conversion, mirror, invert and hue/saturation against plain per-pixel witnesses.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "imgfilt.h"
#include "point_ops.h"
#include "test_image.h"

namespace {

using imgfiltTest::Image;
using imgfiltTest::MakeImage;
using imgfiltTest::RandomImage;

bool PixelBit(const uint8_t* line, size_t x) { return (line[x / 8] >> (7 - x % 8)) & 1; }

TEST(GrayToBW, ThresholdBoundariesAndLineEnds) {
  // Values 0..255 in a line of 256 pixels, then a line of 11 pixels of 200.
  Image src = MakeImage(256, 1, 1);
  for (int x = 0; x < 256; ++x) src.at(static_cast<size_t>(x), 0) = static_cast<uint8_t>(x);
  for (int threshold : {0, 1, 128, 254, 255}) {
    std::vector<uint8_t> bits(32, 0);
    ASSERT_EQ(GrayToBW(src.data(), bits.data(), 256, 256, 1, 32, static_cast<uint8_t>(threshold), 0), 0);
    for (size_t x = 0; x < 256; ++x) EXPECT_EQ(PixelBit(bits.data(), x), static_cast<int>(x) >= threshold) << threshold << " " << x;
  }
  const Image light = MakeImage(11, 2, 1, 200, 1);
  std::vector<uint8_t> out(2 * 4, imgfiltTest::kSentinel);
  ASSERT_EQ(GrayToBW(light.data(), out.data(), light.lineBytes, 11, 2, 4, 100, 0), 0);
  for (size_t line = 0; line < 2; ++line) {
    EXPECT_EQ(out[line * 4], 0xFF);
    EXPECT_EQ(out[line * 4 + 1], 0xE0) << "bits beyond the width are 0";
    EXPECT_EQ(out[line * 4 + 2], imgfiltTest::kSentinel) << "bytes beyond ceil(width / 8) untouched";
  }
}

TEST(GrayToBW, Codes) {
  uint8_t gray[16] = {}, bits[4] = {};
  EXPECT_EQ(GrayToBW(nullptr, bits, 16, 16, 1, 2, 1, 0), 11);
  EXPECT_EQ(GrayToBW(gray, nullptr, 16, 16, 1, 2, 1, 0), 11);
  EXPECT_EQ(GrayToBW(gray, bits, 0, 16, 1, 2, 1, 0), 9);
  EXPECT_EQ(GrayToBW(gray, bits, 16, 0, 1, 2, 1, 0), 9);
  EXPECT_EQ(GrayToBW(gray, bits, 16, 16, 0, 2, 1, 0), 9);
  EXPECT_EQ(GrayToBW(gray, bits, 16, 16, 1, 0, 1, 0), 9);
  EXPECT_EQ(GrayToBW(gray, bits, 15, 16, 1, 2, 1, 0), 13);  // source line shorter than the width
  EXPECT_EQ(GrayToBW(gray, bits, 16, 16, 1, 1, 1, 0), 13);  // 16 pixels need 2 bytes
  EXPECT_EQ(GrayToBW(gray, bits, 16, 16, 1, 2, 1, 0), 0);
}

// The pattern-0 matrix row by row, as the design gives it.
constexpr uint8_t kPattern0[8][8] = {
    {255, 247, 159, 15, 3, 39, 111, 231}, {223, 215, 167, 51, 59, 67, 103, 191},
    {183, 175, 87, 123, 131, 139, 75, 95}, {23, 43, 115, 195, 235, 203, 147, 31},
    {7, 35, 107, 227, 251, 243, 155, 11},  {63, 71, 99, 187, 219, 211, 163, 55},
    {135, 143, 79, 91, 179, 171, 83, 127}, {239, 207, 151, 27, 19, 47, 119, 199}};

TEST(GrayToHalftone, FlatMidGraySetsHalfTheField) {
  imgfilt::SetHalftoneLineCounter(0);
  const Image flat = MakeImage(8, 8, 1, 128);
  std::vector<uint8_t> bits(8 * 4);
  ASSERT_EQ(GrayToHalftone(flat.data(), bits.data(), 8, 8, 8, 4, 0, 0), 0);
  int set = 0;
  for (size_t y = 0; y < 8; ++y) {
    for (size_t x = 0; x < 8; ++x) {
      EXPECT_EQ(PixelBit(&bits[y * 4], x), kPattern0[y][x] <= 128) << y << "," << x;
      set += PixelBit(&bits[y * 4], x);
    }
  }
  EXPECT_EQ(set, 32);
}

TEST(GrayToHalftone, UnknownPatternIsPatternZeroAndTheCounterRunsOn) {
  const Image src = RandomImage(37, 13, 1, 3, 3);
  std::vector<uint8_t> a(13 * 8), b(13 * 8);
  imgfilt::SetHalftoneLineCounter(5);
  ASSERT_EQ(GrayToHalftone(src.data(), a.data(), src.lineBytes, 37, 13, 8, 7, 0), 0);
  EXPECT_EQ(imgfilt::HalftoneLineCounter(), (5 + 13) % 8);
  // Pattern 0 in two calls of 6 and 7 lines continues the phase where the first call stopped.
  imgfilt::SetHalftoneLineCounter(5);
  ASSERT_EQ(GrayToHalftone(src.data(), b.data(), src.lineBytes, 37, 6, 8, 0, 0), 0);
  ASSERT_EQ(GrayToHalftone(src.line(6), &b[6 * 8], src.lineBytes, 37, 7, 8, 0, 0), 0);
  EXPECT_EQ(a, b);
  for (size_t y = 0; y < 13; ++y) {
    for (size_t x = 0; x < 37; ++x) EXPECT_EQ(PixelBit(&a[y * 8], x), src.at(x, y) >= kPattern0[(5 + y) % 8][x % 8]);
  }
}

TEST(GrayToHalftone, BottomUpKeepsTheRowsInImageOrder) {
  const Image src = RandomImage(16, 5, 1, 4, 0, 1);
  std::vector<uint8_t> bits(5 * 4);
  imgfilt::SetHalftoneLineCounter(0);
  ASSERT_EQ(GrayToHalftone(src.data(), bits.data(), 16, 16, 5, 4, 2, 1), 0);
  constexpr uint8_t kPattern2Row0[8] = {4, 36, 68, 100, 131, 163, 195, 227};
  const uint8_t* top = &bits[4 * 4];  // the top image line is the last in memory
  for (size_t x = 0; x < 16; ++x) EXPECT_EQ(PixelBit(top, x), src.at(x, 0) >= kPattern2Row0[x % 8]);
}

TEST(Mirror, GrayColourAndBilevelLines) {
  Image gray = MakeImage(5, 1, 1, 0, 3);
  for (uint8_t x = 0; x < 5; ++x) gray.at(x, 0) = static_cast<uint8_t>(10 + x);
  ASSERT_EQ(MirrorGray(gray.data(), gray.data(), gray.lineBytes, 5, 1, 0), 0);
  EXPECT_EQ((std::vector<uint8_t>(gray.data(), gray.data() + 5)), (std::vector<uint8_t>{14, 13, 12, 11, 10}));

  const Image colour = RandomImage(7, 3, 3, 8, 2);
  Image copied = MakeImage(7, 3, 3, imgfiltTest::kSentinel, 2);
  Image in_place = colour;
  ASSERT_EQ(MirrorColor(colour.data(), copied.data(), colour.lineBytes, 7, 3, 1), 0);
  ASSERT_EQ(MirrorColor(in_place.data(), in_place.data(), colour.lineBytes, 7, 3, 1), 0);
  for (size_t y = 0; y < 3; ++y) {
    for (size_t x = 0; x < 7; ++x) {
      for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(copied.at(6 - x, y, c), colour.at(x, y, c));
        EXPECT_EQ(in_place.at(6 - x, y, c), colour.at(x, y, c));
      }
    }
    EXPECT_EQ(copied.line(y)[21], imgfiltTest::kSentinel) << "padding untouched";
  }

  // 13 pixels: bit x goes to bit 12 - x; the three bits beyond the width keep the destination's.
  const uint8_t bw[2] = {0b10110010, 0b01101011};
  uint8_t out[2] = {0x00, 0x05};
  ASSERT_EQ(MirrorBW(bw, out, 2, 13, 1, 0), 0);
  for (size_t x = 0; x < 13; ++x) EXPECT_EQ(PixelBit(out, 12 - x), PixelBit(bw, x)) << x;
  EXPECT_EQ(out[1] & 0x07, 0x05);
  uint8_t same[2] = {bw[0], bw[1]};
  ASSERT_EQ(MirrorBW(same, same, 2, 13, 1, 0), 0);
  EXPECT_EQ(same[0], out[0]);
  EXPECT_EQ(same[1] & 0xF8, out[1] & 0xF8);
  EXPECT_EQ(MirrorBW(bw, out, 1, 13, 1, 0), 13);
}

TEST(InvertImg, EveryByteIncludingPadding) {
  const Image src = RandomImage(10, 4, 1, 2, 6);  // a bilevel raster is bytes all the same
  Image dst = MakeImage(10, 4, 1, 0, 6);
  ASSERT_EQ(InvertImg(src.data(), dst.data(), src.lineBytes, 4, 1), 0);
  for (size_t i = 0; i < src.bytes.size(); ++i) EXPECT_EQ(dst.bytes[i], static_cast<uint8_t>(~src.bytes[i]));
  EXPECT_EQ(InvertImg(src.data(), nullptr, 16, 4, 0), 11);
  EXPECT_EQ(InvertImg(src.data(), dst.data(), 16, 0, 0), 9);
}

std::array<uint8_t, 3> Adjust(std::array<uint8_t, 3> rgb, float hue, float sat, float light, uint8_t order = 0) {
  std::array<uint8_t, 3> out{};
  EXPECT_EQ(HueSaturation(rgb.data(), out.data(), 3, 1, 1, hue, sat, light, order), 0);
  return out;
}

TEST(HueSaturation, IdentitiesAndExtremes) {
  const Image src = RandomImage(64, 16, 3, 12);
  Image out = MakeImage(64, 16, 3);
  ASSERT_EQ(HueSaturation(src.data(), out.data(), src.lineBytes, 64, 16, 0.0f, 0.0f, 0.0f, 0), 0);
  for (size_t i = 0; i < src.bytes.size(); ++i) EXPECT_LE(std::abs(out.bytes[i] - src.bytes[i]), 1) << i;
  Image fullTurn = MakeImage(64, 16, 3);
  ASSERT_EQ(HueSaturation(src.data(), fullTurn.data(), src.lineBytes, 64, 16, 1.0f, 0.0f, 0.0f, 0), 0);
  EXPECT_EQ(fullTurn.bytes, out.bytes);

  EXPECT_EQ(Adjust({90, 90, 90}, 0.4f, 0.5f, 0.0f), (std::array<uint8_t, 3>{90, 90, 90})) << "gray stays gray";
  EXPECT_EQ(Adjust({12, 200, 77}, 0.3f, 0.2f, 1.0f), (std::array<uint8_t, 3>{255, 255, 255}));
  EXPECT_EQ(Adjust({12, 200, 77}, 0.3f, 0.2f, -1.0f), (std::array<uint8_t, 3>{0, 0, 0}));
  // A third of a turn takes red to green and green to blue; order 1 reads B, G, R.
  EXPECT_EQ(Adjust({255, 0, 0}, 1.0f / 3.0f, 0.0f, 0.0f), (std::array<uint8_t, 3>{0, 255, 0}));
  EXPECT_EQ(Adjust({0, 255, 0}, 1.0f / 3.0f, 0.0f, 0.0f), (std::array<uint8_t, 3>{0, 0, 255}));
  EXPECT_EQ(Adjust({255, 0, 0}, 1.0f / 3.0f, 0.0f, 0.0f, 1), (std::array<uint8_t, 3>{0, 0, 255})) << "blue to red";
  // Full desaturation leaves the lightness (max + min) / 2; full saturation the purest colour.
  EXPECT_EQ(Adjust({200, 100, 50}, 0.0f, -1.0f, 0.0f), (std::array<uint8_t, 3>{125, 125, 125}));
  EXPECT_EQ(Adjust({150, 100, 100}, 0.0f, 1.0f, 0.0f), (std::array<uint8_t, 3>{250, 0, 0}));
  // Out-of-range and non-finite settings are clamped or taken as 0.
  EXPECT_EQ(Adjust({150, 100, 100}, 0.0f, 7.0f, 0.0f), Adjust({150, 100, 100}, 0.0f, 1.0f, 0.0f));
  EXPECT_EQ(Adjust({150, 100, 100}, NAN, NAN, INFINITY), Adjust({150, 100, 100}, 0.0f, 0.0f, 0.0f));
  EXPECT_EQ(Adjust({150, 100, 100}, -0.25f, 0.0f, 0.0f), Adjust({150, 100, 100}, 0.75f, 0.0f, 0.0f));
}

TEST(HueSaturation, Codes) {
  uint8_t px[6] = {};
  EXPECT_EQ(HueSaturation(nullptr, px, 6, 2, 1, 0, 0, 0, 0), 11);
  EXPECT_EQ(HueSaturation(px, px, 0, 2, 1, 0, 0, 0, 0), 9);
  EXPECT_EQ(HueSaturation(px, px, 6, 0, 1, 0, 0, 0, 0), 9);
  EXPECT_EQ(HueSaturation(px, px, 6, 2, 0, 0, 0, 0, 0), 9);
  EXPECT_EQ(HueSaturation(px, px, 5, 2, 1, 0, 0, 0, 0), 13);
}

}  // namespace
