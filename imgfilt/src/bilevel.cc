// Gray to bilevel: a fixed threshold (GrayToBW) or an ordered dither (GrayToHalftone).
#include "bilevel.h"

#include <cstring>

#include "imgfilt.h"
#include "point_ops.h"
#include "raster.h"

namespace imgfilt {

void ThresholdLine(const uint8_t* gray, uint8_t* bits, size_t width, const uint8_t row[8]) {
  const size_t whole = width / 8;
  for (size_t b = 0; b < whole; ++b) {
    uint8_t byte = 0;
    for (size_t i = 0; i < 8; ++i) byte = static_cast<uint8_t>(byte << 1 | (gray[8 * b + i] >= row[i]));
    bits[b] = byte;
  }
  if (const size_t rest = width % 8; rest != 0) {
    uint8_t byte = 0;
    for (size_t i = 0; i < rest; ++i) byte |= static_cast<uint8_t>((gray[8 * whole + i] >= row[i]) << (7 - i));
    bits[whole] = byte;
  }
}

uint8_t ConvertToBits(const BilevelCall& c, const RowPicker& pickRow) {
  if (c.source == nullptr || c.destination == nullptr) return kNullPointer;
  if (c.sourceLineBytes == 0 || c.width == 0 || c.lines == 0 || c.destLineBytes == 0) return kZeroSize;
  if (c.width > c.sourceLineBytes || BitLineBytes(c.width) > c.destLineBytes) return kOutOfRange;
  // Memory order, whatever the orientation: a destination that is the source (with lines no
  // longer than the source's) is then only written behind the bytes still to be read.
  for (size_t m = 0; m < c.lines; ++m) {
    const size_t y = MemoryLine(m, c.lines, c.orientation);
    ThresholdLineFast(c.source + m * c.sourceLineBytes, c.destination + m * c.destLineBytes,
                      c.width, pickRow(y));
  }
  return kOk;
}

}  // namespace imgfilt

extern "C" IMGFILT_API uint8_t IMGFILT_CALL GrayToBW(const uint8_t* source, uint8_t* destination,
                                                     uint32_t sourceLineBytes, uint32_t width,
                                                     uint32_t lines, uint32_t destLineBytes,
                                                     uint8_t threshold, uint8_t orientation) {
  uint8_t row[8];
  std::memset(row, threshold, sizeof row);
  const imgfilt::BilevelCall call{source, destination, sourceLineBytes, width, lines, destLineBytes, orientation};
  return imgfilt::ConvertToBits(call, [&row](size_t) { return row; });
}
