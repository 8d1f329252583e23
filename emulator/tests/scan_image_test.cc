#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

#include "chart.h"
#include "scan_image.h"
#include "scanner_model.h"

namespace emulator {
namespace {

class PlainPage final : public Page {
 public:
  Rgb At(int64_t, int64_t) const override { return {200, 90, 255}; }
};

// The sensor's figure written out for one pixel of a raw colour line, with the host's white
// line: level = c * s * M / (255 * 255), corrected = min(M, level * 255 / W), out = corrected
// >> (bits - 8).
uint8_t Expected(const ScannerModel& m, uint32_t element, int channel, uint32_t c, uint8_t white) {
  const uint32_t max = m.AdMax();
  const uint32_t level = c * Sensitivity(m, element, channel) * max / (255 * 255);
  const uint32_t corrected = std::min(max, level * 255 / std::max<uint32_t>(1, white));
  return static_cast<uint8_t>(corrected >> (m.adBits - 8));
}

TEST(ScanImage, EveryPixelFollowsItsOwnElementsSensitivityAndWhiteLevel) {
  ScannerModel model;  // 600 dpi, 10 bits, a sensor with stripes
  ScanWindow window;
  window.xRes = window.yRes = 300;
  window.left = 7;
  window.width = 1200;  // two inches: 600 pixels, every other element
  window.length = 40;
  window.composition = Composition::kColor;
  const ScanGeometry geometry = GeometryFor(window, model);
  ASSERT_EQ(geometry.pixelsPerLine, 600);
  // A white line whose levels repeat and vary, so that pixels share some rows and not others.
  std::vector<uint8_t> white(3 * size_t{model.Width()});
  for (size_t i = 0; i < white.size(); ++i) white[i] = static_cast<uint8_t>(i % 7 == 0 ? 0 : 180 + i % 70);
  const std::map<int, std::vector<uint8_t>> noTables;
  PlainPage page;
  ScanImage image({&model, &page, window, geometry, &noTables, &white});

  std::vector<uint8_t> line(geometry.bytesPerLine);
  image.RawLine(static_cast<uint32_t>(geometry.lineSpan) + 1, line.data());
  const uint32_t page_[3] = {200, 90, 255};
  for (int ch = 0; ch < 3; ++ch) {
    for (uint32_t px = 0; px < 600; ++px) {
      const uint32_t element = window.left + px * 2;
      const uint8_t w = white[size_t(ch) * model.Width() + element];
      ASSERT_EQ(line[size_t(ch) * 600 + px], Expected(model, element, ch, page_[ch], w))
          << "channel " << ch << " pixel " << px;
    }
  }
}

}  // namespace
}  // namespace emulator
