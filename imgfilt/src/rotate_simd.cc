// The interior of the bilinear rotation a vector of pixels at a time, in double lanes: the inverse
// coordinates and the interpolation take the very operations of the plain loop in the same order
// (no fused multiply-add), so every lane rounds as the plain loop does. The source pixels of each
// lane are gathered from byte offsets, as 32-bit words for gray and 64-bit words for colour.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "rotate_simd.cc"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include <type_traits>

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

// Byte `k` of each gathered 64-bit word, as doubles: one byte shuffle (the other bytes of each
// lane zeroed) and one conversion.
template <int k>
VF Byte64(hn::Vec<DI64> words) {
  const DI64 d64;
#if HWY_TARGET == HWY_SCALAR
  return hn::ConvertTo(DF(), hn::And(hn::ShiftRightSame(words, 8 * k), hn::Set(d64, 0xFF)));
#else
  const hn::Repartition<uint8_t, DI64> d8;
  constexpr uint8_t z = 0x80;  // a shuffle index that gives 0
  alignas(16) static constexpr uint8_t kPick[16] = {k, z, z, z, z, z, z, z, 8 + k, z, z, z, z, z, z, z};
  const auto picked = hn::TableLookupBytesOr0(hn::BitCast(d8, words), hn::LoadDup128(d8, kPick));
  return hn::ConvertTo(DF(), hn::BitCast(d64, picked));
#endif
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
  // Lane i's column is (originX + dx) + i, as the plain loop forms it; the lane offsets are made
  // once (Iota builds its vector through memory).
  const VF lane = hn::Iota(df, 0.0);
  uint32_t dx = r.begin;
  for (; dx + n <= r.end; dx += static_cast<uint32_t>(n)) {
    const VF u = hn::Add(hn::Set(df, r.originX + dx), lane);
    const VF x = hn::Add(hn::Mul(u, cos), vs);
    const VF y = hn::Sub(vc, hn::Mul(u, sin));
    const VI xi = hn::DemoteTo(di, x), yi = hn::DemoteTo(di, y);
    const VF fx = hn::Sub(x, hn::PromoteTo(df, xi)), fy = hn::Sub(y, hn::PromoteTo(df, yi));
    const VI off0 = hn::Add(hn::Mul(hn::Sub(yi, first), stride), hn::Mul(xi, hn::Set(di, Bpp)));
    const VI off1 = hn::Add(off0, stride);
    // The source is walked along a slant, which the hardware's own prefetching does not follow,
    // and a gather that waits for memory stalls the loop. The pixel four destination lines
    // further down, at this column, interpolates between the source lines 4 and 5 below this
    // pixel's: ask for them now, so that its gathers find them cached. (Address arithmetic in
    // integers: near the band's end these lines lie outside it, and a prefetch never faults.)
    const uintptr_t ahead = reinterpret_cast<uintptr_t>(r.firstLine) + static_cast<uintptr_t>(hn::GetLane(off0));
    __builtin_prefetch(reinterpret_cast<const void*>(ahead + static_cast<uintptr_t>(4 * r.stride)));
    __builtin_prefetch(reinterpret_cast<const void*>(ahead + static_cast<uintptr_t>(5 * r.stride)));
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
      const auto channel = [&](auto c) {
        constexpr int k = decltype(c)::value;
        const VF top = Lerp(Byte64<k>(w0), Byte64<k + 3>(w0), fx);
        const VF bottom = Lerp(Byte64<k>(w1), Byte64<k + 3>(w1), fx);
        return hn::DemoteTo(D8(), hn::DemoteTo(di, Lerp(top, bottom, fy)));
      };
      hn::StoreInterleaved3(channel(std::integral_constant<int, 0>()), channel(std::integral_constant<int, 1>()),
                            channel(std::integral_constant<int, 2>()), D8(), r.out + size_t{dx} * 3);
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
