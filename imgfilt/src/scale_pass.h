// The four resampling passes of the scaler, each on one line: horizontal enlargement and
// reduction, and the two vertical combinations of whole lines. The plain versions are the
// definition; the fast versions give the same bytes.
#ifndef IMGFILT_SRC_SCALE_PASS_H_
#define IMGFILT_SRC_SCALE_PASS_H_

#include <cstddef>
#include <cstdint>

#include "scale_table.h"

namespace imgfilt {

// Working room a horizontal pass may use for a source line of `width` pixels: room for the line
// widened to 32-bit lanes.
inline size_t ScaleScratchBytes(size_t width, int bpp) {
  return ((width + 2) * static_cast<size_t>(bpp) + 64) * 4;
}

struct ScalePasses {
  // Enlarges a line of `width` pixels to table.entries.size() pixels. The position before the
  // first pixel is extrapolated from the first two, per channel.
  void (*enlargeLine)(const EnlargeTable& table, const uint8_t* src, size_t width, int bpp,
                       uint8_t* out, uint8_t* scratch);
  // Reduces a line of `width` pixels to table.entries.size() pixels; indices outside the line
  // are mirrored into it.
  void (*reduceLine)(const ReduceTable& table, const uint8_t* src, size_t width, int bpp,
                      uint8_t* out, uint8_t* scratch);
  // out = min(255, (w0 upper + w1 lower + 4) >> 7), byte by byte.
  void (*blendLines)(const uint8_t* upper, const uint8_t* lower, int w0, int w1, uint8_t* out,
                      size_t bytes);
  // out = floor(sum over k of lines[k] x weights[k] + 0.5), clamped to 0..255, byte by byte;
  // the sum is taken in single precision in the order of k.
  void (*weighLines)(const uint8_t* const* lines, const float* weights, size_t count,
                      uint8_t* out, size_t bytes);
  // Optional: one output line of a halving in both directions (taps 1/4, 1/2, 1/4) in one sweep.
  // Gives the bytes of reduceLine on `middle` and `lower` and of weighLines on `upper` (already
  // reduced) and those two: lower reduced goes to lowerOut, the output line to out, and
  // middleOut is working room. False, with nothing written, when the table has no such step.
  bool (*halveTwoLines)(const ReduceTable& table, const uint8_t* upper, const uint8_t* middle,
                          const uint8_t* lower, size_t width, int bpp, uint8_t* middleOut,
                          uint8_t* lowerOut, uint8_t* out);
};

const ScalePasses& PlainScalePasses();
const ScalePasses& FastScalePasses();

// Source position `index` of a line of `width` pixels, mirrored into it.
inline size_t MirrorIndex(int64_t index, size_t width) {
  const auto w = static_cast<int64_t>(width);
  if (index < 0) {
    index = -index;
    if (index >= w) index = w - 1;
  } else if (index >= w) {
    index = 2 * w - index - 1;
    if (index < 0) index = 0;
  }
  return static_cast<size_t>(index);
}

}  // namespace imgfilt

#endif  // IMGFILT_SRC_SCALE_PASS_H_
