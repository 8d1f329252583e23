// The Gaussian descreen filter: a separable blur whose windows are cut at the image's edges and
// renormalised with the kernel's cumulative sums, computed in double and truncated to bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rastfx {

struct DescreenKernel {
  uint32_t radius = 0;
  std::vector<double> weights;     // w(0) = 1, w(i) = exp(-i^2 / (2 sigma^2)), i = 0..radius
  std::vector<double> cumulative;  // S(0) = 0, S(i) = S(i - 1) + w(i)
};

// The radius at which the weight falls to 0.001 or below, capped at `maxRadius` (the larger
// image side: no window reaches further, so the cap changes no output byte). Sigma must be a
// positive finite number.
DescreenKernel MakeDescreenKernel(double sigma, uint32_t maxRadius);

// Bytes of one row with its padding: width x bytes per pixel rounded up to 4.
uint64_t DescreenStride(uint32_t width, uint32_t bytesPerPixel);

// Filters `rows` in place (bottom-up or top-down alike: the filter is symmetric), leaving the
// padding bytes; 1 to 4 bytes a pixel, others leave the rows as they are. `work` must hold
// DescreenWorkBytes() for the kernel's radius, 64-byte aligned; the caller owns it. Work memory,
// all in double: a band of work rows and, for each strip of columns, up to 2r + 1 of the caller's
// rows.
void DescreenRows(uint8_t* rows, uint32_t bytesPerPixel, uint32_t width, uint32_t height,
                  const DescreenKernel& kernel, void* work);
uint64_t DescreenWorkBytes(uint32_t bytesPerPixel, uint32_t width, uint32_t height, uint32_t radius);

// The whole export: checks, kernel, work memory from the current host. Bad arguments or no work
// memory leave the rows untouched. Never throws.
void Descreen(uint8_t* rows, uint32_t bitsPerPixel, uint32_t width, uint32_t height, double sigma);

}  // namespace rastfx
