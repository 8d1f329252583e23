#include "scale_pass.h"
#include "scale_simd.h"

namespace imgfilt {

const ScalePasses& FastScalePasses() {
  static const ScalePasses passes{&EnlargeLineFast, &ReduceLineFast, &BlendLinesFast,
                                  &WeighLinesFast, &HalveTwoLinesFast};
  return passes;
}

}  // namespace imgfilt
