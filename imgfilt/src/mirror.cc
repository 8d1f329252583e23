// Left-right mirror of bilevel, gray and colour lines.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imgfilt.h"
#include "point_ops.h"
#include "raster.h"
#include "work_buffer.h"

namespace imgfilt {
namespace {

uint8_t Check(const uint8_t* source, const uint8_t* destination, uint32_t lineBytes, uint32_t width,
              uint32_t lines, size_t used) {
  if (source == nullptr || destination == nullptr) return kNullPointer;
  if (lineBytes == 0 || width == 0 || lines == 0) return kZeroSize;
  if (used > lineBytes) return kOutOfRange;
  return kOk;
}

// Whole pixels of `bpp` bytes, reversed; in place by swapping pairs (the middle pixel of an odd
// width stays).
void MirrorPixels(const uint8_t* in, uint8_t* out, size_t width, size_t bpp) {
  if (in == out) {
    for (size_t a = 0, b = width - 1; a < b; ++a, --b) std::swap_ranges(out + a * bpp, out + (a + 1) * bpp, out + b * bpp);
    return;
  }
  for (size_t x = 0; x < width; ++x) std::memcpy(out + (width - 1 - x) * bpp, in + x * bpp, bpp);
}

bool Bit(const uint8_t* line, size_t x) { return (line[x / 8] >> (7 - x % 8)) & 1; }

void SetBit(uint8_t* line, size_t x, bool on) {
  const auto mask = static_cast<uint8_t>(0x80 >> (x % 8));
  line[x / 8] = static_cast<uint8_t>(on ? line[x / 8] | mask : line[x / 8] & ~mask);
}

uint8_t MirrorLines(const uint8_t* source, uint8_t* destination, uint32_t lineBytes, uint32_t width,
                    uint32_t lines, size_t bpp) {
  if (const uint8_t code = Check(source, destination, lineBytes, width, lines, size_t{width} * bpp); code != kOk) return code;
  // Every line maps to the same memory line in both buffers, so the orientation changes nothing.
  for (size_t m = 0; m < lines; ++m) {
    MirrorPixels(source + m * lineBytes, destination + m * lineBytes, width, bpp);
  }
  return kOk;
}

}  // namespace
}  // namespace imgfilt

extern "C" {

IMGFILT_API uint8_t IMGFILT_CALL MirrorBW(const uint8_t* source, uint8_t* destination, uint32_t lineBytes,
                                          uint32_t width, uint32_t lines, uint8_t /*orientation*/) {
  using namespace imgfilt;
  if (const uint8_t code = Check(source, destination, lineBytes, width, lines, BitLineBytes(width)); code != kOk) return code;
  std::vector<uint8_t> reversed;
  if (!TryResize(reversed, BitLineBytes(width))) return kNoMemory;
  for (size_t m = 0; m < lines; ++m) {
    const uint8_t* in = source + m * lineBytes;
    for (size_t x = 0; x < width; ++x) SetBit(reversed.data(), width - 1 - x, Bit(in, x));
    // Whole bytes, then the pixel bits of a last partial byte; bits beyond the width stay.
    uint8_t* out = destination + m * lineBytes;
    std::memcpy(out, reversed.data(), width / 8);
    for (size_t x = width / 8 * 8; x < width; ++x) SetBit(out, x, Bit(reversed.data(), x));
  }
  return kOk;
}

IMGFILT_API uint8_t IMGFILT_CALL MirrorGray(const uint8_t* source, uint8_t* destination, uint32_t lineBytes,
                                            uint32_t width, uint32_t lines, uint8_t /*orientation*/) {
  return imgfilt::MirrorLines(source, destination, lineBytes, width, lines, 1);
}

IMGFILT_API uint8_t IMGFILT_CALL MirrorColor(const uint8_t* source, uint8_t* destination, uint32_t lineBytes,
                                             uint32_t width, uint32_t lines, uint8_t /*orientation*/) {
  return imgfilt::MirrorLines(source, destination, lineBytes, width, lines, 3);
}

}  // extern "C"
