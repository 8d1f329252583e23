// The 3 x 3 (and 3 x 5) kernels of the neighbourhood filters and their plain implementation,
// which is the definition every faster path must reproduce byte for byte.
#ifndef IMGFILT_SRC_KERNEL_H_
#define IMGFILT_SRC_KERNEL_H_

#include <cstddef>
#include <cstdint>

namespace imgfilt {

enum class KernelType : uint8_t {
  kEightNeighbour,  // ((a + 1) P - S9) / (a - 8), S9 the sum of the whole 3 x 3 window
  kFourNeighbour,   // ((a + 1) P - L - R - U - P - D) / (a - 4)
  kUnsharp,         // P + ((s (P - (L + R + U + P + D) / 5)) >> 4)
  kBox3,            // S9 / 9
  kWeighted5,       // 3 x 5 window weighted (2 3 2) down and (1 2 3 2 1) across, / 63
  kBox5,            // 3 x 5 box, / 15
  kMedian3,         // median of the 3 x 3 window
};

// Largest parameter a of the neighbour kernels: keeps a x 255 below 2^14, which the fast paths
// rely on when they divide in 16-bit lanes.
constexpr int kMaxNeighbourParam = 64;

struct Kernel {
  KernelType type;
  int param;  // a for the neighbour kernels, the strength s (0..100) for unsharp
  int bpp;    // bytes per pixel: 1 gray, 3 colour

  // Pixels the window reaches left and right of its centre.
  int Reach() const { return type == KernelType::kWeighted5 || type == KernelType::kBox5 ? 2 : 1; }
  // Narrowest line the kernel runs on; narrower lines are not written at all.
  size_t MinWidth() const { return Reach() == 2 ? 3 : 1; }
  // Divisor of the neighbour kernels.
  int Divisor() const { return param - (type == KernelType::kEightNeighbour ? 8 : 4); }
  // True for parameters the kernel is defined for.
  bool Valid() const;
};

Kernel BlurKernel(uint8_t level, int bpp);
Kernel SharpenKernel(uint8_t level, int bpp);
Kernel UnsharpKernel(uint8_t strength, int bpp);
Kernel MedianKernel(int bpp);
// The two sharpening kernels with a free parameter, for filters that pick a from a table.
Kernel EightNeighbourKernel(int a, int bpp);
Kernel FourNeighbourKernel(int a, int bpp);

// Unsharp strength from the caller's byte: 1..100 as is, 0 and 101..128 give 15; 129..255 take
// a - 128 through the same rule and halve the result.
int UnsharpStrength(uint8_t a);

// The three lines of a window, in image order.
struct Rows {
  const uint8_t* above;
  const uint8_t* current;
  const uint8_t* below;
};

// Computes output bytes [begin, end) of a line of `pixels` pixels. Neighbours beyond the line's
// ends repeat the end pixel.
void FilterBytesPlain(const Kernel& kernel, const Rows& rows, uint8_t* out, size_t pixels,
                      size_t begin, size_t end);

// One whole output line; `out` must not overlap the rows.
using RowFilter = void (*)(const Kernel& kernel, const Rows& rows, uint8_t* out, size_t pixels);
void FilterRowPlain(const Kernel& kernel, const Rows& rows, uint8_t* out, size_t pixels);

}  // namespace imgfilt

#endif  // IMGFILT_SRC_KERNEL_H_
