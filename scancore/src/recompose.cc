#include "recompose.h"

#include <algorithm>

#include "interleave.h"

#include "scancore/scan_core.h"

namespace scancore {

void RecomposeLines(const uint8_t* raw, uint8_t* out, size_t lines, const LineLayout& layout,
                    bool bgr) {
  const size_t b = layout.bytesPerLine;
  const size_t p = layout.pixels;
  const int low = std::min({layout.greenOffset, layout.blueOffset, 0});
  const uint8_t* base = raw + size_t(-low) * b;
  for (size_t i = 0; i < lines; ++i) {
    const uint8_t* red = base + i * b;
    const uint8_t* green = base + (static_cast<ptrdiff_t>(i) + layout.greenOffset) * ptrdiff_t(b) + p;
    const uint8_t* blue = base + (static_cast<ptrdiff_t>(i) + layout.blueOffset) * ptrdiff_t(b) + 2 * p;
    const uint8_t* first = bgr ? blue : red;
    const uint8_t* third = bgr ? red : blue;
    // The output line overlaps the raw line before this one's rows, never the rows themselves,
    // so writing forward is safe.
    Interleave(first, green, third, out + i * b, p);
  }
}

void ReverseLines(uint8_t* lines, size_t count, size_t bytesPerLine) {
  for (size_t i = 0; i < count / 2; ++i) {
    std::swap_ranges(lines + i * bytesPerLine, lines + (i + 1) * bytesPerLine,
                     lines + (count - 1 - i) * bytesPerLine);
  }
}

}  // namespace scancore

int CScanCore::RecomposeData(uint8_t* raw, uint8_t* out, unsigned long count) {
  if (imageFormat_ != kImageRgbTopDown && imageFormat_ != kImageBgrBottomUp) return 1;
  const scancore::LineLayout layout{pixelsPerLine_, bytesPerLine_, greenOffset_, blueOffset_};
  scancore::RecomposeLines(raw, out, count / bytesPerLine_, layout,
                           imageFormat_ == kImageBgrBottomUp);
  return 1;
}
