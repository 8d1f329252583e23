#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "scan_image.h"

namespace emulator {
namespace {

// The blur written out plainly: each pixel the mean (rounded down) of the pixels within the
// radius that lie on the line.
std::vector<uint8_t> PlainBoxBlur(const std::vector<uint8_t>& plane, int radius) {
  const int n = static_cast<int>(plane.size());
  std::vector<uint8_t> out(plane.size());
  for (int x = 0; x < n; ++x) {
    int sum = 0, count = 0;
    for (int k = x - radius; k <= x + radius; ++k) {
      if (k < 0 || k >= n) continue;
      sum += plane[k];
      ++count;
    }
    out[x] = static_cast<uint8_t>(sum / count);
  }
  return out;
}

std::vector<uint8_t> Ramp(size_t n, int channel) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i * 37 + channel * 91 + (i * i) % 13) & 0xFF);
  return v;
}

TEST(Defocus, EveryPlaneIsTheBoxMeanOfItsNeighboursCutAtTheLineEnds) {
  // Lines shorter than, as long as and longer than the window; distances below one step, on and
  // past the radius cap of 8.
  for (uint16_t ppl : {1, 2, 7, 17, 18, 300}) {
    for (uint32_t distance : {16u, 47u, 48u, 128u, 1000u}) {
      for (int channels : {1, 3}) {
        ScanGeometry g;
        g.pixelsPerLine = ppl;
        std::vector<uint8_t> line;
        for (int ch = 0; ch < channels; ++ch) {
          const auto plane = Ramp(ppl, ch);
          line.insert(line.end(), plane.begin(), plane.end());
        }
        Defocus(g, channels, distance, line.data());
        const int radius = static_cast<int>(std::min<uint32_t>(distance / 16, 8));
        for (int ch = 0; ch < channels; ++ch) {
          const std::vector<uint8_t> got(line.begin() + ch * ppl, line.begin() + (ch + 1) * ppl);
          EXPECT_EQ(got, PlainBoxBlur(Ramp(ppl, ch), radius))
              << "ppl " << ppl << " distance " << distance << " channel " << ch;
        }
      }
    }
  }
}

TEST(Defocus, WithinOneStepOfTheBestFocusTheLineStaysSharp) {
  ScanGeometry g;
  g.pixelsPerLine = 50;
  std::vector<uint8_t> line = Ramp(50, 0);
  const std::vector<uint8_t> before = line;
  Defocus(g, 1, 15, line.data());
  EXPECT_EQ(line, before);
  Defocus(g, 1, 16, line.data());
  EXPECT_NE(line, before);
}

}  // namespace
}  // namespace emulator
