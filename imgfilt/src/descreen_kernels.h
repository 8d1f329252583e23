// The thirteen descreen kernels over a five-line window, their selection from resolution and
// screen ruling, and the plain row filter every faster path must reproduce byte for byte.
#ifndef IMGFILT_SRC_DESCREEN_KERNELS_H_
#define IMGFILT_SRC_DESCREEN_KERNELS_H_

#include <cstddef>
#include <cstdint>

namespace imgfilt {

// Kernel number 1..13 for a resolution (the smaller of x and y, dots per inch) and a screen
// ruling (lines per inch).
int SelectDescreenKernel(uint16_t resolution, uint8_t screenRuling);

// Narrowest line a kernel writes; narrower lines are left unwritten.
size_t DescreenMinWidth(int kernel);

// The five lines of a window, top to bottom: two already filtered, the centre, two raw below.
struct DescreenRows {
  const uint8_t* line[5];
};

// One output line of `pixels` pixels of `bpp` bytes (channels filtered separately); `out` must
// not overlap the rows. Lines narrower than DescreenMinWidth are not written.
void DescreenRowPlain(int kernel, const DescreenRows& rows, uint8_t* out, size_t pixels, int bpp);

// The same on the widest vector unit the processor has.
void DescreenRowFast(int kernel, const DescreenRows& rows, uint8_t* out, size_t pixels, int bpp);

// Output bytes [begin, end) only, plain.
void DescreenBytesPlain(int kernel, const DescreenRows& rows, uint8_t* out, size_t pixels, int bpp,
                        size_t begin, size_t end);

}  // namespace imgfilt

#endif  // IMGFILT_SRC_DESCREEN_KERNELS_H_
