// The interior of the bilinear rotation a vector of pixels at a time, in double lanes: the inverse
// coordinates and the interpolation take the very operations of the plain loop in the same order
// (no fused multiply-add), so every lane rounds as the plain loop does. The four source pixels
// of each lane are gathered as 32-bit words from byte offsets.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "rotate_simd.cc"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "hwy/highway.h"
#include "rotate_simd.h"

HWY_BEFORE_NAMESPACE();
namespace imgfilt {
namespace HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;

using DF = hn::ScalableTag<double>;
using VF = hn::Vec<DF>;
using DI = hn::Rebind<int32_t, DF>;
using VI = hn::Vec<DI>;
using DU = hn::Rebind<uint32_t, DF>;
using D8 = hn::Rebind<uint8_t, DF>;

// Byte `shift / 8` of each gathered word, as doubles.
VF Byte(VI words, int shift) {
  const DI di;
  const VI b = hn::And(hn::BitCast(di, hn::ShiftRightSame(hn::BitCast(DU(), words), shift)), hn::Set(di, 0xFF));
  return hn::PromoteTo(DF(), b);
}

VF Lerp(VF a, VF b, VF f) { return hn::Add(a, hn::Mul(f, hn::Sub(b, a))); }

template <int Bpp>
uint32_t Interior(const InteriorRun& r) {
  const DF df;
  const DI di;
  const size_t n = hn::Lanes(df);
  const VF cos = hn::Set(df, r.cos), sin = hn::Set(df, r.sin);
  const VF vs = hn::Set(df, r.v_sin), vc = hn::Set(df, r.v_cos);
  const VI stride = hn::Set(di, static_cast<int32_t>(r.stride));
  const VI first = hn::Set(di, static_cast<int32_t>(r.first));
  const auto* base = reinterpret_cast<const int32_t*>(r.first_line);
  uint32_t dx = r.begin;
  for (; dx + n <= r.end; dx += static_cast<uint32_t>(n)) {
    const VF u = hn::Iota(df, r.origin_x + dx);
    const VF x = hn::Add(hn::Mul(u, cos), vs);
    const VF y = hn::Sub(vc, hn::Mul(u, sin));
    const VI xi = hn::DemoteTo(di, x), yi = hn::DemoteTo(di, y);
    const VF fx = hn::Sub(x, hn::PromoteTo(df, xi)), fy = hn::Sub(y, hn::PromoteTo(df, yi));
    const VI off0 = hn::Add(hn::Mul(hn::Sub(yi, first), stride), hn::Mul(xi, hn::Set(di, Bpp)));
    const VI off1 = hn::Add(off0, stride);
    const VI a0 = hn::GatherOffset(di, base, off0), a1 = hn::GatherOffset(di, base, off1);
    if constexpr (Bpp == 1) {
      const VF top = Lerp(Byte(a0, 0), Byte(a0, 8), fx), bottom = Lerp(Byte(a1, 0), Byte(a1, 8), fx);
      const VI v = hn::DemoteTo(di, Lerp(top, bottom, fy));
      hn::StoreU(hn::DemoteTo(D8(), v), D8(), r.out + dx);
    } else {
      // Word a at the pixel: its three channels and the right pixel's first; word b two bytes on:
      // the right pixel's other two channels in its upper half.
      const VI two = hn::Set(di, 2);
      const VI b0 = hn::GatherOffset(di, base, hn::Add(off0, two));
      const VI b1 = hn::GatherOffset(di, base, hn::Add(off1, two));
      const int right_shift[3][2] = {{24, 0}, {16, 1}, {24, 1}};  // (shift, from word b)
      hn::Vec<D8> channel[3];
      for (int c = 0; c < 3; ++c) {
        const int shift = right_shift[c][0];
        const VF r0 = right_shift[c][1] ? Byte(b0, shift) : Byte(a0, shift);
        const VF r1 = right_shift[c][1] ? Byte(b1, shift) : Byte(a1, shift);
        const VF top = Lerp(Byte(a0, 8 * c), r0, fx), bottom = Lerp(Byte(a1, 8 * c), r1, fx);
        channel[c] = hn::DemoteTo(D8(), hn::DemoteTo(di, Lerp(top, bottom, fy)));
      }
      hn::StoreInterleaved3(channel[0], channel[1], channel[2], D8(), r.out + size_t{dx} * 3);
    }
  }
  return dx;
}

}  // namespace

uint32_t RotateInteriorVec(const InteriorRun& run, int bpp) {
  return bpp == 3 ? Interior<3>(run) : Interior<1>(run);
}

// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace imgfilt
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace imgfilt {

HWY_EXPORT(RotateInteriorVec);

uint32_t RotateInteriorSimd(const InteriorRun& run, int bpp) {
  return HWY_DYNAMIC_DISPATCH(RotateInteriorVec)(run, bpp);
}

}  // namespace imgfilt
#endif  // HWY_ONCE
