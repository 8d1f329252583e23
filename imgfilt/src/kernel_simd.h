// Vector paths of the row filters and scaler passes, chosen at run time for the processor.
#ifndef IMGFILT_SRC_KERNEL_SIMD_H_
#define IMGFILT_SRC_KERNEL_SIMD_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kernel.h"

namespace imgfilt {

// Same bytes as FilterRowPlain, on the widest vector unit available.
void FilterRowFast(const Kernel& kernel, const Rows& rows, uint8_t* out, size_t pixels);

// The vector targets this build carries that the processor can run (a test runs each of them).
std::vector<int64_t> SimdTargets();

// Name of the target the dispatched paths run on now.
const char* ActiveSimdTarget();

}  // namespace imgfilt

#endif  // IMGFILT_SRC_KERNEL_SIMD_H_
