// The descreen kernel: weights down to 0.001 and their running sums.
#include <algorithm>
#include <cmath>

#include "descreen.h"

namespace rastfx {

DescreenKernel MakeDescreenKernel(double sigma, uint32_t maxRadius) {
  // Computed in double and capped before it becomes an integer: a huge sigma would overflow it.
  double extent = std::ceil(sigma * std::sqrt(-2.0 * std::log(0.001)));
  DescreenKernel k;
  k.radius = extent >= double(maxRadius) ? maxRadius : uint32_t(extent);
  k.weights.resize(size_t(k.radius) + 1);
  k.cumulative.resize(size_t(k.radius) + 1);
  k.weights[0] = 1.0;
  k.cumulative[0] = 0.0;
  for (uint32_t i = 1; i <= k.radius; ++i) {
    k.weights[i] = std::exp(-double(i) * double(i) / (2.0 * sigma * sigma));
    k.cumulative[i] = k.cumulative[i - 1] + k.weights[i];
  }
  return k;
}

uint64_t DescreenStride(uint32_t width, uint32_t bytesPerPixel) {
  return (uint64_t(width) * bytesPerPixel + 3) / 4 * 4;
}

}  // namespace rastfx
