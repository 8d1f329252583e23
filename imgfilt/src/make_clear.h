// The make-clear kernel table.
#ifndef IMGFILT_SRC_MAKE_CLEAR_H_
#define IMGFILT_SRC_MAKE_CLEAR_H_

#include <cstdint>

#include "kernel.h"

namespace imgfilt {

// Kernel and parameter for a make-clear level: the key is the level, or level - 128 from 129 on,
// where the parameter is doubled for a gentler sharpening.
Kernel MakeClearKernel(uint8_t level, int bpp);

}  // namespace imgfilt

#endif  // IMGFILT_SRC_MAKE_CLEAR_H_
