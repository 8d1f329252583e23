// Dispatch wrappers of the scaler's vector passes: each runs the widest target the processor
// has and gives the bytes of its plain counterpart in ScalePasses.
#ifndef IMGFILT_SRC_SCALE_SIMD_H_
#define IMGFILT_SRC_SCALE_SIMD_H_

#include <cstddef>
#include <cstdint>

#include "scale_table.h"

namespace imgfilt {

void EnlargeLineFast(const EnlargeTable& t, const uint8_t* src, size_t width, int bpp,
                     uint8_t* out, uint8_t* scratch);
void ReduceLineFast(const ReduceTable& t, const uint8_t* src, size_t width, int bpp, uint8_t* out,
                    uint8_t* scratch);
void BlendLinesFast(const uint8_t* upper, const uint8_t* lower, int w0, int w1, uint8_t* out,
                    size_t bytes);
bool HalveTwoLinesFast(const ReduceTable& t, const uint8_t* upper, const uint8_t* middle,
                       const uint8_t* lower, size_t width, int bpp, uint8_t* middleOut,
                       uint8_t* lowerOut, uint8_t* out);
void WeighLinesFast(const uint8_t* const* lines, const float* weights, size_t count,
                    uint8_t* out, size_t bytes);

}  // namespace imgfilt

#endif  // IMGFILT_SRC_SCALE_SIMD_H_
