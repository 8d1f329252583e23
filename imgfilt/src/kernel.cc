#include "kernel.h"

namespace imgfilt {

bool Kernel::Valid() const {
  if (bpp != 1 && bpp != 3) return false;
  switch (type) {
    case KernelType::kEightNeighbour:
    case KernelType::kFourNeighbour:
      return Divisor() >= 1 && param <= kMaxNeighbourParam;
    case KernelType::kUnsharp:
      return param >= 0 && param <= 100;
    default:
      return true;
  }
}

Kernel BlurKernel(uint8_t level, int bpp) {
  switch (level) {
    case 2: return {KernelType::kWeighted5, 0, bpp};
    case 3: return {KernelType::kBox5, 0, bpp};
    default: return {KernelType::kBox3, 0, bpp};
  }
}

Kernel SharpenKernel(uint8_t level, int bpp) {
  switch (level) {
    case 2: return EightNeighbourKernel(16, bpp);
    case 3: return EightNeighbourKernel(13, bpp);
    default: return EightNeighbourKernel(19, bpp);
  }
}

int UnsharpStrength(uint8_t a) {
  const bool gentle = a >= 129;
  int s = gentle ? a - 128 : a;
  if (s == 0 || s > 100) s = 15;
  return gentle ? s / 2 : s;
}

Kernel UnsharpKernel(uint8_t strength, int bpp) {
  return {KernelType::kUnsharp, UnsharpStrength(strength), bpp};
}

Kernel MedianKernel(int bpp) { return {KernelType::kMedian3, 0, bpp}; }

Kernel EightNeighbourKernel(int a, int bpp) { return {KernelType::kEightNeighbour, a, bpp}; }

Kernel FourNeighbourKernel(int a, int bpp) { return {KernelType::kFourNeighbour, a, bpp}; }

}  // namespace imgfilt
