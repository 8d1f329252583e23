// Helpers shared by the point operations (bilevel conversion, mirror, invert, hue/saturation).
#ifndef IMGFILT_SRC_POINT_OPS_H_
#define IMGFILT_SRC_POINT_OPS_H_

#include <cstddef>
#include <cstdint>

namespace imgfilt {

// Bytes of a bilevel line of `width` pixels that carry pixels.
constexpr size_t BitLineBytes(uint32_t width) { return (size_t{width} + 7) / 8; }

// Memory line of image line y in a raster of `lines` lines.
constexpr size_t MemoryLine(size_t y, size_t lines, uint8_t orientation) {
  return orientation == 1 ? lines - 1 - y : y;
}

// The halftone line counter (0..7): the matrix row the next converted line uses.
uint8_t HalftoneLineCounter();
void SetHalftoneLineCounter(uint8_t row);

// One line of gray to bits against a row of eight thresholds (the same threshold eight times for
// a plain threshold): bit x = (gray[x] >= row[x % 8]). Writes ceil(width / 8) bytes.
void ThresholdLine(const uint8_t* gray, uint8_t* bits, size_t width, const uint8_t row[8]);

// The same, on the widest vector unit the processor has.
void ThresholdLineFast(const uint8_t* gray, uint8_t* bits, size_t width, const uint8_t row[8]);

// Bytes of `count` complemented (in place when in == out).
void InvertBytesFast(const uint8_t* in, uint8_t* out, size_t count);

}  // namespace imgfilt

#endif  // IMGFILT_SRC_POINT_OPS_H_
