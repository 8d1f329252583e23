// Vector reduction passes of the scaler. They repeat the plain single-precision sums lane by
// lane in the same order (multiply, then add, never fused); where every weight is a multiple of
// 1/256 those sums are exact and integer arithmetic gives the same bytes faster.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "scale_reduce_simd.cc"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "hwy/highway.h"
#include "scale_halve-inl.h"
#include "scale_pass.h"
#include "scale_simd.h"
#include "scale_table.h"

HWY_BEFORE_NAMESPACE();
namespace imgfilt {
namespace HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;

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

// Three lines weighted 1/4, 1/2, 1/4, the vertical step of a halving, in byte lanes. The output
// never overlaps the lines it is computed from.
void WeighThreeLines(const uint8_t* const* lines, uint8_t* out, size_t bytes) {
  const hn::ScalableTag<uint8_t> d;
  const size_t lanes = hn::Lanes(d);
  // Held apart from `lines`, which the stores could otherwise be taken to change.
  const uint8_t* const upper = lines[0];
  const uint8_t* const middle = lines[1];
  const uint8_t* const lower = lines[2];
  const auto vectorAt = [&](size_t i) {
    const auto v = QuarterHalfQuarter(d, hn::LoadU(d, upper + i), hn::LoadU(d, middle + i),
                                      hn::LoadU(d, lower + i));
    hn::StoreU(v, d, out + i);
  };
  size_t i = 0;
  for (; i + lanes <= bytes; i += lanes) vectorAt(i);
  // The rest as one more vector ending with the line, over bytes already written the same.
  if (i < bytes && bytes >= lanes) {
    vectorAt(bytes - lanes);
    i = bytes;
  }
  for (; i < bytes; ++i) out[i] = static_cast<uint8_t>((upper[i] + 2 * middle[i] + lower[i] + 2) >> 2);
}

// Weights that are multiples of 1/256 and add up to at most 1: integer sums, exactly the bytes
// the single-precision sums give.
void WeighLinesIn256ths(const uint8_t* const* lines, const uint16_t* weights, size_t count,
                        uint8_t* out, size_t bytes) {
  if (IsQuarterHalfQuarter(weights, count)) {
    WeighThreeLines(lines, out, bytes);
    return;
  }
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

void ReduceLineIn256ths(const ReduceLanes& t, const uint8_t* src, size_t inBytes, uint8_t* out,
                        int32_t* wide) {
  const hn::ScalableTag<int32_t> d;
  const hn::Rebind<uint16_t, decltype(d)> d16;
  const hn::Rebind<uint8_t, decltype(d)> d8;
  Widen(d, src, inBytes, wide);
  const size_t lanes = hn::Lanes(d);
  size_t o = 0;
  for (; o + lanes <= t.outBytes; o += lanes) {
    auto sum = hn::Set(d, 128);
    for (size_t k = 0; k < t.taps; ++k) {
      const size_t cell = k * t.outBytes + o;
      const auto v = hn::GatherIndex(d, wide, hn::LoadU(d, t.source.data() + cell));
      sum = hn::Add(sum, hn::Mul(v, hn::PromoteTo(d, hn::LoadU(d16, t.weight256.data() + cell))));
    }
    hn::StoreU(hn::DemoteTo(d8, hn::ShiftRight<8>(sum)), d8, out + o);
  }
  for (; o < t.outBytes; ++o) {
    int32_t sum = 128;
    for (size_t k = 0; k < t.taps; ++k) {
      const size_t cell = k * t.outBytes + o;
      sum += wide[t.source[cell]] * int32_t{t.weight256[cell]};
    }
    out[o] = static_cast<uint8_t>(sum >> 8);
  }
}


void ReduceLineFloat(const ReduceLanes& t, const uint8_t* src, size_t inBytes, uint8_t* out,
                     float* wide) {
  const hn::ScalableTag<float> df;
  const hn::RebindToSigned<decltype(df)> di;
  const hn::Rebind<uint8_t, decltype(df)> d8;
  Widen(df, src, inBytes, wide);
  const size_t lanes = hn::Lanes(df);
  size_t o = 0;
  for (; o + lanes <= t.outBytes; o += lanes) {
    auto sum = hn::Zero(df);
    for (size_t k = 0; k < t.taps; ++k) {
      const size_t cell = k * t.outBytes + o;
      const auto v = hn::GatherIndex(df, wide, hn::LoadU(di, t.source.data() + cell));
      sum = hn::Add(sum, hn::Mul(v, hn::LoadU(df, t.weight.data() + cell)));
    }
    hn::StoreU(RoundSums(df, sum), d8, out + o);
  }
  for (; o < t.outBytes; ++o) {
    float sum = 0.0f;
    for (size_t k = 0; k < t.taps; ++k) {
      const size_t cell = k * t.outBytes + o;
      sum += wide[t.source[cell]] * t.weight[cell];
    }
    out[o] = RoundSum(sum);
  }
}

}  // namespace

void ReduceLineSimd(const ReduceTable& t, const uint8_t* src, size_t width, int bpp,
                    uint8_t* out, uint8_t* scratch) {
  const size_t inBytes = width * static_cast<size_t>(bpp);
  if (t.lanes.taps == 0) {
    PlainScalePasses().reduceLine(t, src, width, bpp, out, scratch);
#if HWY_TARGET != HWY_SCALAR
  } else if (HasHalvingStretch(t.lanes)) {
    HalveLine(t.lanes, src, width, bpp, out, scratch);
#endif
  } else if (!t.lanes.weight256.empty()) {
    ReduceLineIn256ths(t.lanes, src, inBytes, out, reinterpret_cast<int32_t*>(scratch));
  } else {
    ReduceLineFloat(t.lanes, src, inBytes, out, reinterpret_cast<float*>(scratch));
  }
}
bool HalveTwoLinesSimd(const ReduceTable& t, const uint8_t* upper, const uint8_t* middle,
                       const uint8_t* lower, size_t width, int bpp, uint8_t* middleOut,
                       uint8_t* lowerOut, uint8_t* out) {
#if HWY_TARGET != HWY_SCALAR
  if (bpp == 1 && HasHalvingStretch(t.lanes) && HalvesInQuarters(t.lanes)) {
    HalveTwoGrayLines(t.lanes, TwoLines{upper, middle, lower, middleOut, lowerOut, out}, width);
    return true;
  }
#else
  (void)t, (void)upper, (void)middle, (void)lower, (void)width, (void)bpp;
  (void)middleOut, (void)lowerOut, (void)out;
#endif
  return false;
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

HWY_EXPORT(ReduceLineSimd);
HWY_EXPORT(WeighLinesSimd);
HWY_EXPORT(HalveTwoLinesSimd);

bool HalveTwoLinesFast(const ReduceTable& t, const uint8_t* upper, const uint8_t* middle,
                       const uint8_t* lower, size_t width, int bpp, uint8_t* middleOut,
                       uint8_t* lowerOut, uint8_t* out) {
  return HWY_DYNAMIC_DISPATCH(HalveTwoLinesSimd)(t, upper, middle, lower, width, bpp, middleOut,
                                                 lowerOut, out);
}

void ReduceLineFast(const ReduceTable& t, const uint8_t* src, size_t width, int bpp, uint8_t* out,
                    uint8_t* scratch) {
  HWY_DYNAMIC_DISPATCH(ReduceLineSimd)(t, src, width, bpp, out, scratch);
}

void WeighLinesFast(const uint8_t* const* lines, const float* weights, size_t count,
                    uint8_t* out, size_t bytes) {
  HWY_DYNAMIC_DISPATCH(WeighLinesSimd)(lines, weights, count, out, bytes);
}

}  // namespace imgfilt
#endif  // HWY_ONCE
