// The interior of the bilinear rotation a vector of pixels at a time, in double lanes: the inverse
// coordinates and the interpolation take the very operations of the plain loop in the same order
// (no fused multiply-add), so every lane rounds as the plain loop does. The source pixels of each
// lane are gathered from byte offsets, as 32-bit words for gray and 64-bit words for colour.
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

using DI64 = hn::Rebind<int64_t, DF>;

// Byte `shift / 8` of each gathered 64-bit word, as doubles.
VF Byte64(hn::Vec<DI64> words, int shift) {
  const DI64 d64;
  const auto b = hn::And(hn::ShiftRightSame(words, shift), hn::Set(d64, 0xFF));
  return hn::ConvertTo(DF(), b);
}

VF Lerp(VF a, VF b, VF f) { return hn::Add(a, hn::Mul(f, hn::Sub(b, a))); }

template <int Bpp>
uint32_t Interior(const InteriorRun& r) {
  const DF df;
  const DI di;
  const size_t n = hn::Lanes(df);
  const VF cos = hn::Set(df, r.cos), sin = hn::Set(df, r.sin);
  const VF vs = hn::Set(df, r.vSin), vc = hn::Set(df, r.vCos);
  const VI stride = hn::Set(di, static_cast<int32_t>(r.stride));
  const VI first = hn::Set(di, static_cast<int32_t>(r.first));
  const auto* base = reinterpret_cast<const int32_t*>(r.firstLine);
  uint32_t dx = r.begin;
  for (; dx + n <= r.end; dx += static_cast<uint32_t>(n)) {
    const VF u = hn::Iota(df, r.originX + dx);
    const VF x = hn::Add(hn::Mul(u, cos), vs);
    const VF y = hn::Sub(vc, hn::Mul(u, sin));
    const VI xi = hn::DemoteTo(di, x), yi = hn::DemoteTo(di, y);
    const VF fx = hn::Sub(x, hn::PromoteTo(df, xi)), fy = hn::Sub(y, hn::PromoteTo(df, yi));
    const VI off0 = hn::Add(hn::Mul(hn::Sub(yi, first), stride), hn::Mul(xi, hn::Set(di, Bpp)));
    const VI off1 = hn::Add(off0, stride);
    if constexpr (Bpp == 1) {
      const VI a0 = hn::GatherOffset(di, base, off0), a1 = hn::GatherOffset(di, base, off1);
      const VF top = Lerp(Byte(a0, 0), Byte(a0, 8), fx), bottom = Lerp(Byte(a1, 0), Byte(a1, 8), fx);
      const VI v = hn::DemoteTo(di, Lerp(top, bottom, fy));
      hn::StoreU(hn::DemoteTo(D8(), v), D8(), r.out + dx);
    } else {
      // One 64-bit word per line: the pixel's three channels, then its right neighbour's.
      const DI64 d64;
      const auto* base64 = reinterpret_cast<const int64_t*>(r.firstLine);
      const auto w0 = hn::GatherOffset(d64, base64, hn::PromoteTo(d64, off0));
      const auto w1 = hn::GatherOffset(d64, base64, hn::PromoteTo(d64, off1));
      hn::Vec<D8> channel[3];
      for (int c = 0; c < 3; ++c) {
        const VF top = Lerp(Byte64(w0, 8 * c), Byte64(w0, 8 * c + 24), fx);
        const VF bottom = Lerp(Byte64(w1, 8 * c), Byte64(w1, 8 * c + 24), fx);
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
