#include "scan_window.h"

#include <algorithm>
#include <cstring>

namespace scancore {

namespace {

void Put16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value >> 8);
  at[1] = static_cast<uint8_t>(value);
}

void Put32(uint8_t* at, uint32_t value) {
  Put16(at, value >> 16);
  Put16(at + 2, value & 0xFFFF);
}

uint8_t Composition(int mode) {
  switch (mode) {
    case kModeLineArt: return 0;
    case kModeGray: return 2;
    case kModeColor: return 5;
    default: return 0;
  }
}

uint8_t BitsPerPixel(int mode) {
  switch (mode) {
    case kModeLineArt: return 1;
    case kModeGray:
    case kModeColor: return 8;
    default: return 0;
  }
}

uint8_t SourceBits(int source) {
  switch (source) {
    case kSourcePositive: return 0x08;
    case kSourceNegative: return 0x0A;
    case kSourceFourth: return 0x10;
    default: return 0;
  }
}

// Window length after the 600-dpi flatbed's limit: a window starting on the glass ends at its
// last line.
uint32_t ClippedLength(const SCANPARAM& r, uint16_t opticalRes) {
  if (opticalRes != 600 || r.Source != kSourceReflective) return r.Length;
  if (r.Top > kLongestWindow600) return r.Length;
  if (uint64_t{r.Top} + r.Length <= kLongestWindow600) return r.Length;
  return kLongestWindow600 - r.Top;
}

}  // namespace

WindowData BuildWindow(const SCANPARAM& r, const WindowSwitches& s) {
  WindowData w{};
  Put16(&w[6], 46);
  Put16(&w[10], r.XResolution);
  Put16(&w[12], r.YResolution);
  Put32(&w[14], r.Left);
  Put32(&w[18], r.Top);
  Put32(&w[22], r.Width);
  Put32(&w[26], ClippedLength(r, s.opticalRes));
  w[31] = r.Mode == kModeLineArt ? r.Threshold : 0;
  w[33] = Composition(r.Mode);
  w[34] = BitsPerPixel(r.Mode);
  w[37] = s.padLines == 1 ? 7 : 0;
  w[48] = s.testMode;
  bool tables = r.HostTables != 0 ||
                (r.Source == kSourceNegative && s.removeFilmUnderColor != 0);
  w[49] = static_cast<uint8_t>((tables ? 1 : 0) | (r.VendorLevel & 7) << 5);
  w[50] = SourceBits(r.Source);
  if (s.backTrack == 0) w[50] |= 0x20;
  if (r.HostTables != 0) w[50] |= 0x40;
  if (r.VendorFlag == 0) w[50] |= 0x80;
  w[51] = w[52] = w[53] = 0xFF;
  return w;
}

int8_t SignMagnitude(uint8_t byte) {
  const int magnitude = byte & 0x7F;
  return static_cast<int8_t>(byte & 0x80 ? -magnitude : magnitude);
}

Geometry ReadGeometry(const uint8_t* inquiry, int padLines) {
  Geometry g;
  g.pixelsPerLine = static_cast<uint16_t>(inquiry[42] << 8 | inquiry[43]);
  uint32_t bytes = static_cast<uint32_t>(inquiry[44] << 8 | inquiry[45]);
  if (padLines == 1) bytes = (bytes + 3) & ~3u;
  // A padded line that no longer fits the 16 bits cannot be read: left 0, and so refused.
  g.bytesPerLine = bytes > 0xFFFF ? 0 : static_cast<uint16_t>(bytes);
  g.lines = static_cast<uint16_t>(inquiry[46] << 8 | inquiry[47]);
  g.greenOffset = SignMagnitude(inquiry[54]);
  g.blueOffset = SignMagnitude(inquiry[55]);
  const int high = std::max({int{g.greenOffset}, int{g.blueOffset}, 0});
  const int low = std::min({int{g.greenOffset}, int{g.blueOffset}, 0});
  g.lineSpan = static_cast<uint8_t>(high - low);
  return g;
}

bool GeometryUsable(const Geometry& g, int mode) {
  const uint32_t p = g.pixelsPerLine;
  if (g.bytesPerLine == 0 || g.lines == 0) return false;
  switch (mode) {
    case kModeColor: return 3 * p <= g.bytesPerLine && g.lines > g.lineSpan;
    case kModeGray: return p <= g.bytesPerLine;
    case kModeLineArt: return (p + 7) / 8 <= g.bytesPerLine;
    default: return true;
  }
}

std::vector<GammaSend> GammaPlan(int mode, uint8_t adBits, const uint8_t* tables) {
  const size_t size = size_t{1} << adBits;
  if (mode == kModeGray) {
    switch (adBits) {
      case 8: return {{0x00, 3}};
      case 10: return {{0x80, 3}};
      case 12: return {{0x90, 3}};
      default: return {};
    }
  }
  if (mode != kModeColor) return {};
  switch (adBits) {
    case 8: return {{0x01, 0}, {0x02, 1}, {0x03, 2}};
    case 10: return {{0x81, 0}, {0x82, 1}, {0x83, 2}};
    case 12:
      if (std::memcmp(tables, tables + size, size) == 0 &&
          std::memcmp(tables, tables + 2 * size, size) == 0) {
        return {{0x94, 0}};
      }
      return {{0x91, 0}, {0x92, 1}, {0x93, 2}};
    default: return {};
  }
}

}  // namespace scancore
