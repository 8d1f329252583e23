// Three colour rows into interleaved pixels, on the widest vectors the processor has.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "interleave.cc"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"
#include "interleave.h"

HWY_BEFORE_NAMESPACE();
namespace scancore {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

void InterleaveVectors(const uint8_t* first, const uint8_t* second, const uint8_t* third,
                       uint8_t* out, size_t pixels) {
  const hn::ScalableTag<uint8_t> d;
  const size_t n = hn::Lanes(d);
  size_t x = 0;
  for (; x + n <= pixels; x += n) {
    hn::StoreInterleaved3(hn::LoadU(d, first + x), hn::LoadU(d, second + x),
                          hn::LoadU(d, third + x), d, out + 3 * x);
  }
  for (; x < pixels; ++x) {
    out[3 * x] = first[x];
    out[3 * x + 1] = second[x];
    out[3 * x + 2] = third[x];
  }
}

}  // namespace HWY_NAMESPACE
}  // namespace scancore
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace scancore {
HWY_EXPORT(InterleaveVectors);

void Interleave(const uint8_t* first, const uint8_t* second, const uint8_t* third, uint8_t* out,
                size_t pixels) {
  HWY_DYNAMIC_DISPATCH(InterleaveVectors)(first, second, third, out, pixels);
}
}  // namespace scancore
#endif
