// The SET WINDOW parameter data of a scan request, and the geometry the scanner reports back for
// it in its inquiry data. Multi-byte values are big-endian on the wire.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scancore/scan_param.h"

namespace scancore {

inline constexpr size_t kWindowLength = 54;
using WindowData = std::array<uint8_t, kWindowLength>;

// The caller's switches that go into the window besides the request.
struct WindowSwitches {
  uint16_t opticalRes = 300;
  int padLines = 1;
  int backTrack = 1;
  int removeFilmUnderColor = 1;
  uint8_t testMode = 0;
};

// The scanner's longest reflective window at 600 dpi, in lines.
inline constexpr uint32_t kLongestWindow600 = 6959;

WindowData BuildWindow(const SCANPARAM& request, const WindowSwitches& switches);
inline bool WantsTables(const WindowData& window) { return window[49] & 1; }
inline bool IsFilmWindow(const WindowData& window) { return window[50] & 0x08; }

// Bit 7 set: minus the value of bits 0-6.
int8_t SignMagnitude(uint8_t byte);

struct Geometry {
  uint16_t pixelsPerLine = 0;
  uint16_t bytesPerLine = 0;
  uint16_t lines = 0;  // raw lines, alignment lines included
  int8_t greenOffset = 0;
  int8_t blueOffset = 0;
  uint8_t lineSpan = 0;
};
Geometry ReadGeometry(const uint8_t* inquiry, int padLines);
// Whether the geometry can be read and delivered without touching memory outside the lines it
// describes: a line holds its pixels, and a colour scan has more lines than it needs to align.
bool GeometryUsable(const Geometry& geometry, int mode);

// One gamma table download: SEND qualifier and the index of the table among the four.
struct GammaSend {
  uint16_t qualifier;
  int table;
};
// What to send for `mode` at `adBits` bits; 12-bit colour with three equal tables sends one.
std::vector<GammaSend> GammaPlan(int mode, uint8_t adBits, const uint8_t* tables);

}  // namespace scancore
