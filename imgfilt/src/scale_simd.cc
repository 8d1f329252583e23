// Vector passes of the scaler. Enlargement is 16-bit integer arithmetic; reduction repeats the
// plain single-precision sums lane by lane in the same order (multiply, then add, never fused),
// so every target gives the plain bytes.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "scale_simd.cc"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "hwy/highway.h"
#include "scale_pass.h"
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
  const size_t out_bytes = t.entries.size() * b;
  for (size_t g = 0; g < t.groups.size(); ++g) {
    const size_t begin = g * t.group_bytes;
    const size_t end = std::min(begin + t.group_bytes, out_bytes);
#if HWY_TARGET != HWY_SCALAR
    if (t.groups[g].base >= 0) {
      // A group writes 16 bytes; the bytes past its own belong to the next group, which is
      // written afterwards. Only the line's end needs the short copy.
      if (begin + 16 <= out_bytes) {
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

uint8_t RoundSum(float sum) {
  return static_cast<uint8_t>(std::clamp(std::floor(sum + 0.5f), 0.0f, 255.0f));
}

template <class DF>
hn::Vec<hn::Rebind<uint8_t, DF>> RoundSums(DF df, hn::Vec<DF> sum) {
  const hn::RebindToSigned<DF> di;
  auto rounded = hn::Floor(hn::Add(sum, hn::Set(df, 0.5f)));
  rounded = hn::Min(hn::Max(rounded, hn::Zero(df)), hn::Set(df, 255.0f));
  return hn::DemoteTo(hn::Rebind<uint8_t, DF>(), hn::ConvertTo(di, rounded));
}

// Weights that are multiples of 1/256 and add up to at most 1: integer sums, exactly the bytes
// the single-precision sums give.
void WeighLinesIn256ths(const uint8_t* const* lines, const uint16_t* weights, size_t count,
                        uint8_t* out, size_t bytes) {
  const hn::ScalableTag<uint16_t> d16;
  const hn::Rebind<uint8_t, decltype(d16)> d8;
  const hn::RebindToSigned<decltype(d16)> di16;
  const size_t lanes = hn::Lanes(d16);
  size_t i = 0;
  for (; i + lanes <= bytes; i += lanes) {
    auto sum = hn::Set(d16, 128);
    for (size_t k = 0; k < count; ++k) {
      sum = hn::Add(sum, hn::Mul(hn::PromoteTo(d16, hn::LoadU(d8, lines[k] + i)), hn::Set(d16, weights[k])));
    }
    hn::StoreU(hn::DemoteTo(d8, hn::BitCast(di16, hn::ShiftRight<8>(sum))), d8, out + i);
  }
  for (; i < bytes; ++i) {
    unsigned sum = 128;
    for (size_t k = 0; k < count; ++k) sum += lines[k][i] * unsigned{weights[k]};
    out[i] = static_cast<uint8_t>(sum >> 8);
  }
}

void WeighLines(const uint8_t* const* lines, const float* weights, size_t count, uint8_t* out,
                size_t bytes) {
  uint16_t in256ths[64];
  if (count <= 64 && WeightsIn256ths(weights, count, in256ths)) {
    WeighLinesIn256ths(lines, in256ths, count, out, bytes);
    return;
  }
  const hn::ScalableTag<float> df;
  const hn::RebindToSigned<decltype(df)> di;
  const hn::Rebind<uint8_t, decltype(df)> d8;
  const size_t lanes = hn::Lanes(df);
  size_t i = 0;
  for (; i + lanes <= bytes; i += lanes) {
    auto sum = hn::Zero(df);
    for (size_t k = 0; k < count; ++k) {
      const auto v = hn::ConvertTo(df, hn::PromoteTo(di, hn::LoadU(d8, lines[k] + i)));
      sum = hn::Add(sum, hn::Mul(v, hn::Set(df, weights[k])));
    }
    hn::StoreU(RoundSums(df, sum), d8, out + i);
  }
  for (; i < bytes; ++i) {
    float sum = 0.0f;
    for (size_t k = 0; k < count; ++k) sum += static_cast<float>(lines[k][i]) * weights[k];
    out[i] = RoundSum(sum);
  }
}

// The source line widened to 32-bit lanes, so that the taps can be gathered.
template <class D>
void Widen(D d, const uint8_t* src, size_t bytes, hn::TFromD<D>* wide) {
  const hn::Rebind<uint8_t, D> d8;
  const hn::RebindToSigned<D> di;
  const size_t lanes = hn::Lanes(d);
  size_t i = 0;
  for (; i + lanes <= bytes; i += lanes) {
    const auto v = hn::PromoteTo(di, hn::LoadU(d8, src + i));
    if constexpr (hwy::IsFloat<hn::TFromD<D>>()) {
      hn::StoreU(hn::ConvertTo(d, v), d, wide + i);
    } else {
      hn::StoreU(v, d, wide + i);
    }
  }
  for (; i < bytes; ++i) wide[i] = static_cast<hn::TFromD<D>>(src[i]);
}

void ReduceLineIn256ths(const ReduceLanes& t, const uint8_t* src, size_t in_bytes, uint8_t* out,
                        int32_t* wide) {
  const hn::ScalableTag<int32_t> d;
  const hn::Rebind<uint16_t, decltype(d)> d16;
  const hn::Rebind<uint8_t, decltype(d)> d8;
  Widen(d, src, in_bytes, wide);
  const size_t lanes = hn::Lanes(d);
  size_t o = 0;
  for (; o + lanes <= t.out_bytes; o += lanes) {
    auto sum = hn::Set(d, 128);
    for (size_t k = 0; k < t.taps; ++k) {
      const size_t cell = k * t.out_bytes + o;
      const auto v = hn::GatherIndex(d, wide, hn::LoadU(d, t.source.data() + cell));
      sum = hn::Add(sum, hn::Mul(v, hn::PromoteTo(d, hn::LoadU(d16, t.weight256.data() + cell))));
    }
    hn::StoreU(hn::DemoteTo(d8, hn::ShiftRight<8>(sum)), d8, out + o);
  }
  for (; o < t.out_bytes; ++o) {
    int32_t sum = 128;
    for (size_t k = 0; k < t.taps; ++k) {
      const size_t cell = k * t.out_bytes + o;
      sum += wide[t.source[cell]] * int32_t{t.weight256[cell]};
    }
    out[o] = static_cast<uint8_t>(sum >> 8);
  }
}

#if HWY_TARGET != HWY_SCALAR
// Output bytes [begin, end) of an integer-weight reduction, one at a time.
void ReduceBytesIn256ths(const ReduceLanes& t, const uint8_t* src, size_t begin, size_t end,
                         uint8_t* out) {
  for (size_t o = begin; o < end; ++o) {
    unsigned sum = 128;
    for (size_t k = 0; k < t.taps; ++k) {
      const size_t cell = k * t.out_bytes + o;
      sum += src[t.source[cell]] * unsigned{t.weight256[cell]};
    }
    out[o] = static_cast<uint8_t>(sum >> 8);
  }
}

// Sums of 16-bit products for the lower and upper halves of a byte vector.
template <class D8>
struct HalfSums {
  using DH8 = hn::Half<D8>;
  using DW16 = hn::Repartition<uint16_t, D8>;

  HalfSums() : lo(hn::Set(DW16(), 128)), hi(hn::Set(DW16(), 128)) {}  // the rounding term of >> 8

  hn::Vec<DW16> lo;
  hn::Vec<DW16> hi;

  void Add(hn::Vec<D8> bytes, uint16_t weight) {
    const auto w = hn::Set(DW16(), weight);
    lo = hn::Add(lo, hn::Mul(hn::PromoteTo(DW16(), hn::LowerHalf(DH8(), bytes)), w));
    hi = hn::Add(hi, hn::Mul(hn::PromoteTo(DW16(), hn::UpperHalf(DH8(), bytes)), w));
  }
  hn::Vec<D8> Bytes() const {
    const hn::RebindToSigned<DW16> di;
    return hn::Combine(D8(), hn::DemoteTo(DH8(), hn::BitCast(di, hn::ShiftRight<8>(hi))),
                       hn::DemoteTo(DH8(), hn::BitCast(di, hn::ShiftRight<8>(lo))));
  }
};

// Source pixels 2x + offset for a vector of outputs x, from deinterleaving loads at the even
// pixel at or below; taps of the same even base share their loads.
template <class D8>
class HalvingLoads {
 public:
  explicit HalvingLoads(const uint8_t* src) : src_(src), even_(hn::Zero(D8())), odd_(even_) {}

  hn::Vec<D8> Get(int64_t first) {
    const int64_t base = first - (first & 1);
    if (base != base_) {
      hn::LoadInterleaved2(D8(), src_ + base, even_, odd_);
      base_ = base;
    }
    return (first & 1) != 0 ? odd_ : even_;
  }

 private:
  const uint8_t* src_;
  int64_t base_ = INT64_MIN;
  hn::Vec<D8> even_, odd_;
};

// The halving stretch of a gray line a vector at a time. Returns the first output pixel left.
template <class D8>
size_t Halve(const ReduceLanes& t, const uint8_t* src, size_t width, uint8_t* out) {
  const D8 d;
  const auto n = static_cast<int64_t>(hn::Lanes(d));
  const int32_t max_offset = *std::max_element(t.halving_offset.begin(), t.halving_offset.end());
  const auto begin = static_cast<int64_t>(t.halving_begin);
  const auto end = static_cast<int64_t>(t.halving_end);
  // Whole vectors inside the stretch whose loads stay inside the line.
  const auto fits = [&](int64_t x) {
    return x >= begin && x + n <= end && 2 * (x + n) + max_offset <= static_cast<int64_t>(width);
  };
  const auto vector_at = [&](int64_t x) {
    HalvingLoads<D8> loads(src);
    HalfSums<D8> sums;
    for (size_t k = 0; k < t.taps; ++k) sums.Add(loads.Get(2 * x + t.halving_offset[k]), t.halving_weight[k]);
    hn::StoreU(sums.Bytes(), d, out + x);
  };
  int64_t x = begin;
  for (; fits(x); x += n) vector_at(x);
  // One more vector ending with the stretch, over outputs already written with the same bytes.
  if (x < end && fits(end - n)) {
    vector_at(end - n);
    x = end;
  }
  return static_cast<size_t>(x);
}

// Colour: split the line into channel planes, halve each plane as gray, and interleave the
// results; the planes fit the working room. Returns the first output pixel left over.
size_t HalveColour(const ReduceLanes& t, const uint8_t* src, size_t width, uint8_t* out,
                   uint8_t* scratch) {
  const hn::CappedTag<uint8_t, 16> d;
  const size_t n = hn::Lanes(d);
  uint8_t* plane[3] = {scratch, scratch + width, scratch + 2 * width};
  uint8_t* halved[3] = {scratch + 3 * width, scratch + 4 * width, scratch + 5 * width};
  size_t i = 0;
  for (; i + n <= width; i += n) {
    hn::Vec<decltype(d)> v[3];
    hn::LoadInterleaved3(d, src + 3 * i, v[0], v[1], v[2]);
    for (int c = 0; c < 3; ++c) hn::StoreU(v[c], d, plane[c] + i);
  }
  for (; i < width; ++i) {
    for (int c = 0; c < 3; ++c) plane[c][i] = src[3 * i + static_cast<size_t>(c)];
  }
  size_t done = 0;
  for (int c = 0; c < 3; ++c) done = Halve<hn::ScalableTag<uint8_t>>(t, plane[c], width, halved[c]);
  size_t x = t.halving_begin;
  for (; x + n <= done; x += n) {
    hn::StoreInterleaved3(hn::LoadU(d, halved[0] + x), hn::LoadU(d, halved[1] + x),
                          hn::LoadU(d, halved[2] + x), d, out + 3 * x);
  }
  for (; x < done; ++x) {
    for (int c = 0; c < 3; ++c) out[3 * x + static_cast<size_t>(c)] = halved[c][x];
  }
  return done;
}

#endif

void ReduceLineFloat(const ReduceLanes& t, const uint8_t* src, size_t in_bytes, uint8_t* out,
                     float* wide) {
  const hn::ScalableTag<float> df;
  const hn::RebindToSigned<decltype(df)> di;
  const hn::Rebind<uint8_t, decltype(df)> d8;
  Widen(df, src, in_bytes, wide);
  const size_t lanes = hn::Lanes(df);
  size_t o = 0;
  for (; o + lanes <= t.out_bytes; o += lanes) {
    auto sum = hn::Zero(df);
    for (size_t k = 0; k < t.taps; ++k) {
      const size_t cell = k * t.out_bytes + o;
      const auto v = hn::GatherIndex(df, wide, hn::LoadU(di, t.source.data() + cell));
      sum = hn::Add(sum, hn::Mul(v, hn::LoadU(df, t.weight.data() + cell)));
    }
    hn::StoreU(RoundSums(df, sum), d8, out + o);
  }
  for (; o < t.out_bytes; ++o) {
    float sum = 0.0f;
    for (size_t k = 0; k < t.taps; ++k) {
      const size_t cell = k * t.out_bytes + o;
      sum += wide[t.source[cell]] * t.weight[cell];
    }
    out[o] = RoundSum(sum);
  }
}

}  // namespace

void ReduceLineSimd(const ReduceTable& t, const uint8_t* src, size_t width, int bpp,
                    uint8_t* out, uint8_t* scratch) {
  const size_t in_bytes = width * static_cast<size_t>(bpp);
  if (t.lanes.taps == 0) {
    PlainScalePasses().reduce_line(t, src, width, bpp, out, scratch);
#if HWY_TARGET != HWY_SCALAR
  } else if (!t.lanes.weight256.empty() && t.lanes.halving_end > t.lanes.halving_begin) {
    const size_t done = bpp == 1 ? Halve<hn::ScalableTag<uint8_t>>(t.lanes, src, width, out)
                                 : HalveColour(t.lanes, src, width, out, scratch);
    const auto b = static_cast<size_t>(bpp);
    ReduceBytesIn256ths(t.lanes, src, 0, t.lanes.halving_begin * b, out);
    ReduceBytesIn256ths(t.lanes, src, done * b, t.lanes.out_bytes, out);
#endif
  } else if (!t.lanes.weight256.empty()) {
    ReduceLineIn256ths(t.lanes, src, in_bytes, out, reinterpret_cast<int32_t*>(scratch));
  } else {
    ReduceLineFloat(t.lanes, src, in_bytes, out, reinterpret_cast<float*>(scratch));
  }
}
void EnlargeLineSimd(const EnlargeTable& t, const uint8_t* src, size_t width, int bpp,
                     uint8_t* out, uint8_t* scratch) {
  EnlargeLine(t, src, width, bpp, out, scratch);
}
void BlendLinesSimd(const uint8_t* upper, const uint8_t* lower, int w0, int w1, uint8_t* out,
                    size_t bytes) {
  BlendLines(upper, lower, w0, w1, out, bytes);
}
void WeighLinesSimd(const uint8_t* const* lines, const float* weights, size_t count,
                    uint8_t* out, size_t bytes) {
  WeighLines(lines, weights, count, out, bytes);
}

// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace imgfilt
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace imgfilt {

HWY_EXPORT(EnlargeLineSimd);
HWY_EXPORT(ReduceLineSimd);
HWY_EXPORT(BlendLinesSimd);
HWY_EXPORT(WeighLinesSimd);

namespace {
void EnlargeLineFast(const EnlargeTable& t, const uint8_t* src, size_t width, int bpp,
                     uint8_t* out, uint8_t* scratch) {
  HWY_DYNAMIC_DISPATCH(EnlargeLineSimd)(t, src, width, bpp, out, scratch);
}
void ReduceLineFast(const ReduceTable& t, const uint8_t* src, size_t width, int bpp, uint8_t* out,
                    uint8_t* scratch) {
  HWY_DYNAMIC_DISPATCH(ReduceLineSimd)(t, src, width, bpp, out, scratch);
}
void BlendLinesFast(const uint8_t* upper, const uint8_t* lower, int w0, int w1, uint8_t* out,
                    size_t bytes) {
  HWY_DYNAMIC_DISPATCH(BlendLinesSimd)(upper, lower, w0, w1, out, bytes);
}
void WeighLinesFast(const uint8_t* const* lines, const float* weights, size_t count,
                    uint8_t* out, size_t bytes) {
  HWY_DYNAMIC_DISPATCH(WeighLinesSimd)(lines, weights, count, out, bytes);
}
}  // namespace

const ScalePasses& FastScalePasses() {
  static const ScalePasses passes{&EnlargeLineFast, &ReduceLineFast, &BlendLinesFast,
                                  &WeighLinesFast};
  return passes;
}

}  // namespace imgfilt
#endif  // HWY_ONCE
