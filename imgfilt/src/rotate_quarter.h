// Quarter turns of whole source lines into a destination addressed in image order.
#ifndef IMGFILT_SRC_ROTATE_QUARTER_H_
#define IMGFILT_SRC_ROTATE_QUARTER_H_

#include <cstdint>

#include "raster.h"

namespace imgfilt {

// A run of source lines: image lines first .. first + count - 1 of a source `width` pixels wide
// and `height` lines high, `band[i]` being image line first + i.
struct QuarterBand {
  Lines<const uint8_t> band;
  uint32_t first;
  uint32_t count;
  uint32_t width;
  uint32_t height;
};

// Copies every pixel of the band to its quarter-turn place (`degrees` 90, 180 or 270; anything
// else copies unturned) in `destination` (destWidth x destHeight). Pixels whose place lies
// outside the destination are skipped.
void CopyQuarterTurn(const QuarterBand& source, int degrees, const Lines<uint8_t>& destination,
                     uint32_t destWidth, uint32_t destHeight, int bpp);

}  // namespace imgfilt

#endif  // IMGFILT_SRC_ROTATE_QUARTER_H_
