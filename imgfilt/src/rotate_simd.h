// Vector path of the bilinear rotation's interior runs (see rotate_bilinear.cc): the same bytes
// as the plain loop on every target.
#ifndef IMGFILT_SRC_ROTATE_SIMD_H_
#define IMGFILT_SRC_ROTATE_SIMD_H_

#include <cstddef>
#include <cstdint>

namespace imgfilt {

// Destination pixels [begin, end) of one line whose inverse images all lie in the band's own
// lines with 4 more columns to their right: the gathers read up to 6 bytes from a pixel's start.
struct InteriorRun {
  const uint8_t* firstLine;  // the band's first line
  ptrdiff_t stride;           // bytes from one image line to the next (negative bottom-up)
  uint32_t first;             // the band's first source line
  double originX;
  double cos;
  double sin;
  double vSin;  // (originY + dy) sin
  double vCos;  // (originY + dy) cos
  uint32_t begin;
  uint32_t end;
  uint8_t* out;  // the destination line
};

// Interpolates whole vectors from run.begin on; returns the first pixel left for the plain loop.
uint32_t RotateInteriorSimd(const InteriorRun& run, int bpp);

}  // namespace imgfilt

#endif  // IMGFILT_SRC_ROTATE_SIMD_H_
