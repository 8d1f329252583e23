// The bilinear rotation of one band of source lines into a destination.
#ifndef IMGFILT_SRC_ROTATE_BILINEAR_H_
#define IMGFILT_SRC_ROTATE_BILINEAR_H_

#include <cstdint>

#include "raster.h"
#include "rotate_geometry.h"

namespace imgfilt {

// Source lines first .. first + count - 1 of a width x height image (`band[i]` is line
// first + i) and, when first > 0, line first - 1 in `held`.
struct RotateSource {
  Lines<const uint8_t> band;
  const uint8_t* held;
  uint32_t first;
  uint32_t count;
  uint32_t width;
  uint32_t height;
};

// Writes every destination pixel of `g` whose inverse image lies within the source and whose
// lower interpolated line (the only one when it lies on a line) is one of this band's lines.
// `useSimd` false keeps to the plain loops (the vector path gives the same bytes).
void RotateBand(const RotateGeometry& g, const RotateSource& source,
                const Lines<uint8_t>& destination, int bpp, bool useSimd = true);

// The span of destination columns [begin, end) on line `dy` that may hold pixels of source lines
// [lo, hi] (a little wider than exact; each pixel is still tested on its own).
struct Span {
  uint32_t begin;
  uint32_t end;
};
Span CandidateSpan(const RotateGeometry& g, uint32_t dy, double lo, double hi, uint32_t width);

}  // namespace imgfilt

#endif  // IMGFILT_SRC_ROTATE_BILINEAR_H_
