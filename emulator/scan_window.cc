#include <algorithm>

#include "scan_image.h"

namespace emulator {

namespace {
uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

constexpr WindowError kInvalidField{0x26, 0x00};     // invalid field in parameter list
constexpr WindowError kLengthError{0x1A, 0x00};      // parameter list length error

// A delay of `lines` at the optical resolution, scaled to the scan's vertical resolution.
int ScaleDelay(int lines, uint16_t yRes, uint16_t optical) {
  int scaled = (std::abs(lines) * yRes + optical / 2) / optical;
  return lines < 0 ? -scaled : scaled;
}
}  // namespace

int ScanWindow::Source() const {
  if (byte50 & 0x10) return 3;
  if ((byte50 & 0x0A) == 0x0A) return 2;
  if (byte50 & 0x08) return 1;
  return 0;
}

std::optional<WindowError> ParseWindow(const uint8_t* d, uint32_t length,
                                       const ScannerModel& model, ScanWindow* out) {
  if (d == nullptr || length < 54) return kLengthError;
  if (Be16(d + 6) != 46 || d[8] != 0) return kInvalidField;
  ScanWindow w;
  w.xRes = Be16(d + 10);
  w.yRes = Be16(d + 12);
  w.left = Be32(d + 14);
  w.top = Be32(d + 18);
  w.width = Be32(d + 22);
  w.length = Be32(d + 26);
  w.threshold = d[31];
  w.bitsPerPixel = d[34];
  w.padToFour = d[37] == 7;
  w.testMode = d[48];
  w.byte49 = d[49];
  w.byte50 = d[50];
  const uint32_t maxRes = 2u * model.opticalRes;
  if (w.xRes < 25 || w.yRes < 25 || w.xRes > maxRes || w.yRes > maxRes) return kInvalidField;
  if (w.width == 0 || w.length == 0) return kInvalidField;
  if (w.left > model.Width() || w.width > model.Width() - w.left) return kInvalidField;
  if (w.top > model.Height() || w.length > model.Height() - w.top) return kInvalidField;
  switch (d[33]) {
    case 0: w.composition = Composition::kLineArt; break;
    case 2: w.composition = Composition::kGray; break;
    case 5: w.composition = Composition::kColor; break;
    default: return kInvalidField;
  }
  if (w.bitsPerPixel != (w.composition == Composition::kLineArt ? 1 : 8)) return kInvalidField;
  if (w.Source() != 0 && model.holderType == 0) return kInvalidField;  // no film unit
  ScanGeometry g = GeometryFor(w, model);
  if (g.pixelsPerLine == 0 || g.lines == 0 || g.lines <= g.lineSpan) return kInvalidField;
  *out = w;
  return std::nullopt;
}

ScanGeometry GeometryFor(const ScanWindow& w, const ScannerModel& model) {
  ScanGeometry g;
  uint32_t ppl = static_cast<uint32_t>(uint64_t{w.width} * w.xRes / model.opticalRes);
  uint32_t lines = static_cast<uint32_t>(uint64_t{w.length} * w.yRes / model.opticalRes);
  if (w.composition == Composition::kColor) {
    g.greenDelay = ScaleDelay(model.greenDelay, w.yRes, model.opticalRes);
    g.blueDelay = ScaleDelay(model.blueDelay, w.yRes, model.opticalRes);
    g.lineSpan = std::max({g.greenDelay, g.blueDelay, 0}) - std::min({g.greenDelay, g.blueDelay, 0});
  }
  uint32_t bytes = w.composition == Composition::kColor ? 3 * ppl
                   : w.composition == Composition::kGray ? ppl
                                                         : (ppl + 7) / 8;
  if (w.padToFour) bytes = (bytes + 3) & ~3u;
  lines += static_cast<uint32_t>(g.lineSpan);
  if (bytes > 0xFFFF || lines > 0xFFFF) return ScanGeometry{};  // not expressible: refused
  g.pixelsPerLine = static_cast<uint16_t>(ppl);
  g.bytesPerLine = static_cast<uint16_t>(bytes);
  g.lines = static_cast<uint16_t>(lines);
  return g;
}

}  // namespace emulator
