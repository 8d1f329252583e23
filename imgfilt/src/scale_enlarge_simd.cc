// Vector enlargement passes of the scaler: 16-bit integer arithmetic with the plain path's
// rounding, so every target gives the plain bytes.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "scale_enlarge_simd.cc"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include <algorithm>
#include <cstring>

#include "hwy/highway.h"
#include "scale_pass.h"
#include "scale_simd.h"
#include "scale_table.h"

HWY_BEFORE_NAMESPACE();
namespace imgfilt {
namespace HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;

// The source line between its virtual first pixel and a repeat of its last, then zeros for
// vector loads that run past it.
void PadLine(const uint8_t* src, size_t width, int bpp, uint8_t* padded) {
  const auto b = static_cast<size_t>(bpp);
  for (size_t c = 0; c < b; ++c) {
    padded[c] = width >= 2 ? static_cast<uint8_t>(std::clamp(2 * src[c] - src[b + c], 0, 255)) : src[c];
  }
  std::memcpy(padded + b, src, width * b);
  std::memcpy(padded + (width + 1) * b, src + (width - 1) * b, b);
  std::memset(padded + (width + 2) * b, 0, 32);
}

uint8_t EnlargeByte(const EnlargeTable& t, const uint8_t* padded, size_t width, size_t b, size_t o) {
  const EnlargeEntry& e = t.entries[o / b];
  const size_t at = PaddedPixel(e, width) * b + o % b;
  return static_cast<uint8_t>((e.w0 * padded[at] + (128 - e.w0) * padded[at + b] + 4) >> 7);
}

#if HWY_TARGET != HWY_SCALAR
using D8x16 = hn::Full128<uint8_t>;
using D16x8 = hn::Full128<uint16_t>;

// w0 x p0 + (128 - w0) x p1, rounded, for eight lanes.
hn::Vec<D16x8> Blend8(hn::Vec<hn::Full64<uint8_t>> p0, hn::Vec<hn::Full64<uint8_t>> p1,
                      hn::Vec<hn::Full64<uint8_t>> w0, hn::Vec<hn::Full64<uint8_t>> w1) {
  const D16x8 d;
  const auto sum = hn::Add(hn::Mul(hn::PromoteTo(d, p0), hn::PromoteTo(d, w0)),
                           hn::Mul(hn::PromoteTo(d, p1), hn::PromoteTo(d, w1)));
  return hn::ShiftRight<7>(hn::Add(sum, hn::Set(d, 4)));
}

// Writes 16 bytes at `out`.
void EnlargeGroup(const EnlargeGroup& g, const uint8_t* padded, size_t b, uint8_t* out) {
  const D8x16 d;
  const hn::Full64<uint8_t> dh;
  const auto index = hn::LoadU(d, g.index);
  const auto p0 = hn::TableLookupBytes(hn::LoadU(d, padded + g.base), index);
  const auto p1 = hn::TableLookupBytes(hn::LoadU(d, padded + g.base + b), index);
  const auto w0 = hn::LoadU(d, g.w0);
  const auto w1 = hn::Sub(hn::Set(d, 128), w0);
  const auto lo = Blend8(hn::LowerHalf(p0), hn::LowerHalf(p1), hn::LowerHalf(w0), hn::LowerHalf(w1));
  const auto hi = Blend8(hn::UpperHalf(dh, p0), hn::UpperHalf(dh, p1), hn::UpperHalf(dh, w0),
                         hn::UpperHalf(dh, w1));
  hn::StoreU(hn::ConcatEven(d, hn::BitCast(d, hi), hn::BitCast(d, lo)), d, out);
}
#endif

void EnlargeLine(const EnlargeTable& t, const uint8_t* src, size_t width, int bpp, uint8_t* out,
                 uint8_t* scratch) {
  const auto b = static_cast<size_t>(bpp);
  PadLine(src, width, bpp, scratch);
  const size_t outBytes = t.entries.size() * b;
  for (size_t g = 0; g < t.groups.size(); ++g) {
    const size_t begin = g * t.groupBytes;
    const size_t end = std::min(begin + t.groupBytes, outBytes);
#if HWY_TARGET != HWY_SCALAR
    if (t.groups[g].base >= 0) {
      // A group writes 16 bytes; the bytes past its own belong to the next group, which is
      // written afterwards. Only the line's end needs the short copy.
      if (begin + 16 <= outBytes) {
        EnlargeGroup(t.groups[g], scratch, b, out + begin);
      } else {
        alignas(16) uint8_t tail[16];
        EnlargeGroup(t.groups[g], scratch, b, tail);
        std::memcpy(out + begin, tail, end - begin);
      }
      continue;
    }
#endif
    for (size_t o = begin; o < end; ++o) out[o] = EnlargeByte(t, scratch, width, b, o);
  }
}

void BlendLines(const uint8_t* upper, const uint8_t* lower, int w0, int w1, uint8_t* out,
                size_t bytes) {
  const hn::ScalableTag<uint16_t> d16;
  const hn::Rebind<uint8_t, decltype(d16)> d8;
  const hn::RebindToSigned<decltype(d16)> di16;
  const size_t lanes = hn::Lanes(d16);
  const auto vw0 = hn::Set(d16, static_cast<uint16_t>(w0));
  const auto vw1 = hn::Set(d16, static_cast<uint16_t>(w1));
  const auto four = hn::Set(d16, 4);
  size_t i = 0;
  for (; i + lanes <= bytes; i += lanes) {
    const auto u = hn::PromoteTo(d16, hn::LoadU(d8, upper + i));
    const auto l = hn::PromoteTo(d16, hn::LoadU(d8, lower + i));
    const auto sum = hn::Add(hn::Add(hn::Mul(u, vw0), hn::Mul(l, vw1)), four);
    hn::StoreU(hn::DemoteTo(d8, hn::BitCast(di16, hn::ShiftRight<7>(sum))), d8, out + i);
  }
  for (; i < bytes; ++i) {
    out[i] = static_cast<uint8_t>(std::min(255, (w0 * upper[i] + w1 * lower[i] + 4) >> 7));
  }
}

}  // namespace

void EnlargeLineSimd(const EnlargeTable& t, const uint8_t* src, size_t width, int bpp,
                     uint8_t* out, uint8_t* scratch) {
  EnlargeLine(t, src, width, bpp, out, scratch);
}
void BlendLinesSimd(const uint8_t* upper, const uint8_t* lower, int w0, int w1, uint8_t* out,
                    size_t bytes) {
  BlendLines(upper, lower, w0, w1, out, bytes);
}

// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace imgfilt
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace imgfilt {

HWY_EXPORT(EnlargeLineSimd);
HWY_EXPORT(BlendLinesSimd);

void EnlargeLineFast(const EnlargeTable& t, const uint8_t* src, size_t width, int bpp,
                     uint8_t* out, uint8_t* scratch) {
  HWY_DYNAMIC_DISPATCH(EnlargeLineSimd)(t, src, width, bpp, out, scratch);
}

void BlendLinesFast(const uint8_t* upper, const uint8_t* lower, int w0, int w1, uint8_t* out,
                    size_t bytes) {
  HWY_DYNAMIC_DISPATCH(BlendLinesSimd)(upper, lower, w0, w1, out, bytes);
}

}  // namespace imgfilt
#endif  // HWY_ONCE
