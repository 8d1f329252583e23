#include <gtest/gtest.h>

#include <cmath>

#include "gain_table.h"

namespace usbminid {
namespace {

TEST(GainTableTest, Row199MapsTheWorkedFigures) {
  GainTable t;
  t.Build(250);
  EXPECT_EQ(t.Row(199)[100], 125);
  EXPECT_EQ(t.Row(199)[204], 255);  // s = 255.0
  EXPECT_EQ(t.Row(199)[205], 255);  // s = 256.25
  EXPECT_EQ(t.Row(249)[17], 17);    // row KLevel - 1 is the identity
  EXPECT_EQ(t.Row(249)[250], 250);
  EXPECT_EQ(t.RowForDifference(0), t.Row(0));  // a difference of 0 counts as 1
  EXPECT_EQ(t.RowForDifference(200), t.Row(199));
}

TEST(GainTableTest, EveryEntryIsTheRoundedRatioCappedAt255) {
  for (int level : {250, 128, 1}) {
    GainTable t;
    t.Build(static_cast<uint8_t>(level));
    for (int r = 0; r < 255; r += 7) {
      for (int n = 0; n < 256; ++n) {
        const double s = static_cast<double>(n) * level / (r + 1);
        // The accumulated sum may differ from the product in the last bits; allow only the cases
        // that sit on a rounding edge to go either way.
        const int expected = s >= 255.4 ? 255 : static_cast<int>(s + 0.5);
        const int got = t.Row(r)[n];
        if (got != expected) {
          EXPECT_NEAR(std::fmod(s, 1.0), 0.5, 1e-9) << level << " " << r << " " << n;
        }
      }
    }
  }
}

TEST(GainTableTest, CorrectionSubtractsTheDarkLevelFirst) {
  GainTable t;
  t.Build(250);
  const uint8_t* row = t.Row(199);
  EXPECT_EQ(CorrectPixel(110, 10, row), 125);
  EXPECT_EQ(CorrectPixel(10, 10, row), 0);  // at the dark level
  EXPECT_EQ(CorrectPixel(3, 10, row), 0);   // below it
  EXPECT_EQ(CorrectPixel(11, 10, row), 1);  // 1.25 rounds to 1
  const uint8_t raw[3] = {110, 5, 255};
  const uint8_t* rows[3] = {row, row, t.Row(249)};
  const uint8_t dark[3] = {10, 10, 0};
  uint8_t out[9] = {};
  CorrectLine(raw, rows, dark, out + 1, 3, 3);
  EXPECT_EQ(out[1], 125);
  EXPECT_EQ(out[4], 0);
  EXPECT_EQ(out[7], 255);
  EXPECT_EQ(out[0] | out[2] | out[3], 0);
}

}  // namespace
}  // namespace usbminid
