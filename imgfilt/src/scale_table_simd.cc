// Reduction windows computed for a run of outputs at once, one output per lane. Every step is the
// single-precision operation the plain builder performs, in the same order (no fused
// multiply-add), so each weight comes out bit for bit the same.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "scale_table_simd.cc"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include <algorithm>
#include <cstdint>

#include "hwy/highway.h"
#include "scale_table.h"

HWY_BEFORE_NAMESPACE();
namespace imgfilt {
namespace HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;

// 1 at 0, 2d^3 - 3d^2 + 1 below 1, 0 from 1 on; the polynomial gives exactly 1 at 0 as well.
template <class DF>
hn::Vec<DF> Cubic(DF df, hn::Vec<DF> d) {
  const auto cube = hn::Mul(hn::Mul(hn::Mul(hn::Set(df, 2.0f), d), d), d);
  const auto square = hn::Mul(hn::Mul(hn::Set(df, 3.0f), d), d);
  const auto w = hn::Add(hn::Sub(cube, square), hn::Set(df, 1.0f));
  return hn::IfThenZeroElse(hn::Ge(d, hn::Set(df, 1.0f)), w);
}

}  // namespace

bool ReduceWindowsSimd(float f, float radius, uint32_t firstOutput, size_t outputs,
                       ReduceWindows& w) {
  const hn::ScalableTag<float> df;
  const hn::RebindToSigned<decltype(df)> di;
  const size_t lanes = hn::Lanes(df);
  const auto ratio = hn::Set(df, f);
  const auto r = hn::Set(df, radius);
  for (size_t i = 0; i < outputs; i += lanes) {
    // Positions are at most 2^28 + 1, so 32-bit lanes hold them; the conversion to float rounds
    // to nearest as the plain cast does.
    const auto t1 = hn::Iota(di, static_cast<int32_t>(firstOutput + i + 1));
    const auto v = hn::Div(hn::ConvertTo(df, t1), ratio);
    const auto lo = hn::ConvertTo(di, hn::Ceil(hn::Sub(v, r)));
    const auto count = hn::Add(hn::Sub(hn::ConvertTo(di, hn::Floor(hn::Add(v, r))), lo), hn::Set(di, 1));
    hn::StoreU(lo, di, w.first + i);
    hn::StoreU(count, di, w.count + i);
    const auto most = static_cast<size_t>(hn::GetLane(hn::MaxOfLanes(di, count)));
    if (most > ReduceWindows::kMaxCandidates) return false;
    for (size_t k = 0; k < most; ++k) {
      const auto kth = hn::Set(di, static_cast<int32_t>(k));
      const auto m = hn::ConvertTo(df, hn::Add(lo, kth));
      const auto d = hn::Div(hn::Abs(hn::Sub(v, m)), r);
      const auto weight = hn::Div(Cubic(df, d), r);
      const auto inside = hn::RebindMask(df, hn::Lt(kth, count));
      hn::StoreU(hn::IfThenElseZero(inside, weight), df, w.weight[k] + i);
    }
  }
  return true;
}

// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace imgfilt
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace imgfilt {

HWY_EXPORT(ReduceWindowsSimd);

bool ReduceWindowsFast(float f, float radius, uint32_t firstOutput, size_t outputs,
                       ReduceWindows& windows) {
  return HWY_DYNAMIC_DISPATCH(ReduceWindowsSimd)(f, radius, firstOutput, outputs, windows);
}

}  // namespace imgfilt
#endif  // HWY_ONCE
