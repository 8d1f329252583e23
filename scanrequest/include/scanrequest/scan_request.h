// A scan request as a person states it (mode, dpi, an area in millimetres, a source) turned into
// the library's SCANPARAM. The window unit of the scanners is 1/optical-resolution inch; the
// glass is 8.5 by 11.693 inches.
#pragma once

#include <cstdint>
#include <optional>

#include "scancore/scan_param.h"

namespace scanrequest {

inline constexpr double kMmPerInch = 25.4;
inline constexpr double kGlassWidthInches = 8.5;
inline constexpr double kGlassHeightInches = 11.693;
inline constexpr int kMinResolution = 25;

// The glass in window units.
uint32_t GlassWidth(uint16_t optical);
uint32_t GlassLength(uint16_t optical);
// Millimetres to window units, rounded to the nearest.
uint32_t ToUnits(double mm, uint16_t optical);
// The highest resolution a scanner of this optical resolution takes.
inline int MaxResolution(uint16_t optical) { return 2 * optical; }

struct Area {
  double left = 0, top = 0;               // mm
  std::optional<double> width, height;    // mm; none: to the end of the glass
};

enum class RequestError { kNone, kResolution, kCornerOutside, kEmptyArea };

// Fills `request` (resolution both ways, window, source, mode; the rest left as they are).
// An area running past the glass is cut at its edge.
RequestError BuildRequest(int mode, int resolution, const Area& area, int source, uint16_t optical,
                          SCANPARAM* request);

// The image the scanner delivers for `request`: its own rule (pixels and lines are the window
// at the resolution, rounded down) after the library's length clip of the 600-dpi glass. Line
// bytes are without padding. Zero pixels or lines: the scanner refuses the window.
struct ImageSize {
  uint32_t pixelsPerLine = 0;
  uint32_t lines = 0;
};
ImageSize ExpectedImage(const SCANPARAM& request, uint16_t optical);

}  // namespace scanrequest
