// Colour lines from the scanner's line-sequential data: each raw line holds a red, a green and a
// blue row of P bytes (then padding to B), and the green and blue rows of one image line arrive
// `greenOffset` and `blueOffset` raw lines after its red row (negative: before).
#pragma once

#include <cstddef>
#include <cstdint>

namespace scancore {

struct LineLayout {
  uint32_t pixels = 0;       // P
  uint32_t bytesPerLine = 0; // B
  int greenOffset = 0;
  int blueOffset = 0;
};

// Interleaves `lines` image lines from the raw rows at `raw` into `out`, red-green-blue or, with
// `bgr`, blue-green-red; bytes after 3P of each output line are left alone. The raw data holds
// `lines` + span raw lines. `out` may lie one line before `raw`: every row is read before the
// output line that overlaps it is written.
void RecomposeLines(const uint8_t* raw, uint8_t* out, size_t lines, const LineLayout& layout,
                    bool bgr);

// Swaps line i with line n - 1 - i.
void ReverseLines(uint8_t* lines, size_t count, size_t bytesPerLine);

}  // namespace scancore
