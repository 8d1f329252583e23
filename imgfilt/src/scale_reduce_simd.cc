// Vector reduction passes of the scaler. They repeat the plain single-precision sums lane by
// lane in the same order (multiply, then add, never fused); where every weight is a multiple of
// 1/256 those sums are exact and integer arithmetic gives the same bytes faster.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "scale_reduce_simd.cc"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
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

// floor((a + b) / 2) without widening: the rounded average, less the half it rounded up.
template <class D>
hn::Vec<D> FloorAverage(D d, hn::Vec<D> a, hn::Vec<D> b) {
  return hn::Sub(hn::AverageRound(a, b), hn::And(hn::Xor(a, b), hn::Set(d, 1)));
}

// (a + 2b + c + 2) >> 2 equals the rounded average of b and floor((a + c) / 2): 2b + 2 floor((a +
// c) / 2) + 2 is even, so the odd bit that floor dropped never carries into the quarter.
template <class D>
hn::Vec<D> QuarterHalfQuarter(D d, hn::Vec<D> a, hn::Vec<D> b, hn::Vec<D> c) {
  return hn::AverageRound(b, FloorAverage(d, a, c));
}

bool IsQuarterHalfQuarter(const uint16_t* weights, size_t count) {
  return count == 3 && weights[0] == 64 && weights[1] == 128 && weights[2] == 64;
}

// Three lines weighted 1/4, 1/2, 1/4, the vertical step of a halving, in byte lanes. The output
// never overlaps the lines it is computed from.
void WeighThreeLines(const uint8_t* const* lines, uint8_t* out, size_t bytes) {
  const hn::ScalableTag<uint8_t> d;
  const size_t lanes = hn::Lanes(d);
  const auto vector_at = [&](size_t i) {
    const auto v = QuarterHalfQuarter(d, hn::LoadU(d, lines[0] + i), hn::LoadU(d, lines[1] + i),
                                      hn::LoadU(d, lines[2] + i));
    hn::StoreU(v, d, out + i);
  };
  size_t i = 0;
  for (; i + lanes <= bytes; i += lanes) vector_at(i);
  // The rest as one more vector ending with the line, over bytes already written the same.
  if (i < bytes && bytes >= lanes) {
    vector_at(bytes - lanes);
    i = bytes;
  }
  for (; i < bytes; ++i) {
    out[i] = static_cast<uint8_t>((lines[0][i] + 2 * lines[1][i] + lines[2][i] + 2) >> 2);
  }
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

// Taps 1/4, 1/2, 1/4 on pixels 2x, 2x + 1, 2x + 2: the halving of a 0.5 reduction.
bool HalvesInQuarters(const ReduceLanes& t) {
  return t.taps == 3 && t.halving_offset[0] == 0 && t.halving_offset[1] == 1 &&
         t.halving_offset[2] == 2 && IsQuarterHalfQuarter(t.halving_weight.data(), t.taps);
}

// The halving stretch of a gray line a vector at a time. A 16-bit lane loaded at an even pixel
// holds that pixel in its low byte and the next one in its high byte, so the taps need no
// shuffles. Returns the first output pixel left over.
size_t Halve(const ReduceLanes& t, const uint8_t* src, size_t width, uint8_t* out) {
  const hn::ScalableTag<uint16_t> d;
  const hn::Repartition<uint8_t, decltype(d)> d_bytes;
  const hn::Rebind<uint8_t, decltype(d)> d_out;
  const hn::RebindToSigned<decltype(d)> di;
  const auto n = static_cast<int64_t>(hn::Lanes(d));
  const int32_t max_offset = *std::max_element(t.halving_offset.begin(), t.halving_offset.end());
  const auto begin = static_cast<int64_t>(t.halving_begin);
  const auto end = static_cast<int64_t>(t.halving_end);
  // Whole vectors inside the stretch whose loads stay inside the line.
  const auto fits = [&](int64_t x) {
    return x >= begin && x + n <= end && 2 * (x + n) + max_offset <= static_cast<int64_t>(width);
  };
  const bool quarters = HalvesInQuarters(t);
  const auto vector_at = [&](int64_t x) {
    if (quarters) {
      const auto pair = hn::BitCast(d, hn::LoadU(d_bytes, src + 2 * x));
      const auto next = hn::BitCast(d, hn::LoadU(d_bytes, src + 2 * x + 2));
      const auto low = hn::Set(d, 0xFF);
      // 16-bit lanes hold the sum of two bytes, so the floor of the half needs no correction.
      const auto half = hn::ShiftRight<1>(hn::Add(hn::And(pair, low), hn::And(next, low)));
      const auto v = hn::AverageRound(hn::ShiftRight<8>(pair), half);
      hn::StoreU(hn::DemoteTo(d_out, hn::BitCast(di, v)), d_out, out + x);
      return;
    }
    auto sum = hn::Set(d, 128);  // the rounding term of >> 8
    for (size_t k = 0; k < t.taps; ++k) {
      const int64_t first = 2 * x + t.halving_offset[k];
      const auto pair = hn::BitCast(d, hn::LoadU(d_bytes, src + (first & ~int64_t{1})));
      const auto pixel = (first & 1) != 0 ? hn::ShiftRight<8>(pair) : hn::And(pair, hn::Set(d, 0xFF));
      sum = hn::Add(sum, hn::Mul(pixel, hn::Set(d, t.halving_weight[k])));
    }
    hn::StoreU(hn::DemoteTo(d_out, hn::BitCast(di, hn::ShiftRight<8>(sum))), d_out, out + x);
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

// Colour halving with taps 1/4, 1/2, 1/4: byte i of the line filtered with its neighbours three
// bytes away gives output byte i / 2 whenever pixel i / 3 is even, so whole byte vectors are
// filtered and the even pixels picked out with byte shuffles, four pixels at a time. Returns the
// first output pixel left over.
size_t HalveColourQuarters(const ReduceLanes& t, const uint8_t* src, size_t width, uint8_t* out) {
  const hn::CappedTag<uint8_t, 16> d;
  if (hn::Lanes(d) < 16) return t.halving_begin;
  const auto filtered = [&](const uint8_t* at) {
    return QuarterHalfQuarter(d, hn::LoadU(d, at), hn::LoadU(d, at + 3), hn::LoadU(d, at + 6));
  };
  // Pixels 0 and 2 and the first of pixel 4 from the first vector, the rest of 4 from the
  // second (8 bytes on); 0x80 gives 0, so the two halves combine with Or.
  alignas(16) static constexpr uint8_t kFirst[16] = {0, 1, 2, 6, 7, 8, 12, 13, 14, 0x80, 0x80,
                                                     0x80, 0x80, 0x80, 0x80, 0x80};
  alignas(16) static constexpr uint8_t kSecond[16] = {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                                      0x80, 10, 11, 12, 0x80, 0x80, 0x80, 0x80};
  const auto first = hn::Load(d, kFirst);
  const auto second = hn::Load(d, kSecond);
  const size_t line_bytes = 3 * width;
  const auto fits = [&](size_t x) {
    return x >= t.halving_begin && x + 4 <= t.halving_end && 6 * x + 30 <= line_bytes;
  };
  const auto vector_at = [&](size_t x) {
    const uint8_t* at = src + 6 * x;
    const auto v = hn::Or(hn::TableLookupBytesOr0(filtered(at), first),
                          hn::TableLookupBytesOr0(filtered(at + 8), second));
    // The four bytes past the twelve belong to later pixels, which are written after these.
    if (3 * x + 16 <= t.out_bytes) {
      hn::StoreU(v, d, out + 3 * x);
    } else {
      alignas(16) uint8_t bytes[16];
      hn::Store(v, d, bytes);
      std::memcpy(out + 3 * x, bytes, 12);
    }
  };
  size_t x = t.halving_begin;
  for (; fits(x); x += 4) vector_at(x);
  const size_t end = t.halving_end;
  if (x < end && end >= 4 && fits(end - 4)) {
    vector_at(end - 4);
    x = end;
  }
  return x;
}

#if HWY_TARGET == HWY_AVX3_DL
// Gray halving with taps 1/4, 1/2, 1/4 in byte lanes: byte permutes across the whole vector split
// two source vectors into even and odd pixels, so that one filter step gives 64 outputs. Returns
// the first output pixel left over.
size_t HalveGrayQuarters(const ReduceLanes& t, const uint8_t* src, size_t width, uint8_t* out) {
  const hn::ScalableTag<uint8_t> d;
  const size_t n = hn::Lanes(d);
  const auto fits = [&](size_t x) {
    return x >= t.halving_begin && x + n <= t.halving_end && 2 * (x + n) + 2 <= width;
  };
  const auto vector_at = [&](size_t x) {
    const uint8_t* at = src + 2 * x;
    const auto low = hn::LoadU(d, at), high = hn::LoadU(d, at + n);
    const auto even = hn::ConcatEven(d, high, low);
    const auto odd = hn::ConcatOdd(d, high, low);
    const auto next = hn::ConcatEven(d, hn::LoadU(d, at + n + 2), hn::LoadU(d, at + 2));
    hn::StoreU(QuarterHalfQuarter(d, even, odd, next), d, out + x);
  };
  size_t x = t.halving_begin;
  for (; fits(x); x += n) vector_at(x);
  if (x < t.halving_end && t.halving_end >= n && fits(t.halving_end - n)) {
    vector_at(t.halving_end - n);
    x = t.halving_end;
  }
  return x;
}

// Colour halving with taps 1/4, 1/2, 1/4: two vectors of the line filtered byte by byte with
// their neighbours three bytes away, then the bytes of the even pixels, 20 of them, gathered
// from both with one two-table permute. Returns the first output pixel left over.
size_t HalveColourPermuted(const ReduceLanes& t, const uint8_t* src, size_t width, uint8_t* out) {
  const hn::ScalableTag<uint8_t> d;
  if (hn::Lanes(d) != 64) return t.halving_begin;
  constexpr size_t kPixels = 20;  // 120 source bytes, 60 output bytes
  alignas(64) static constexpr auto kGather = [] {
    std::array<uint8_t, 64> index{};
    for (size_t j = 0; j < 3 * kPixels; ++j) index[j] = static_cast<uint8_t>(6 * (j / 3) + j % 3);
    return index;
  }();
  const auto gather = hn::Load(d, kGather.data());
  const auto filtered = [&](const uint8_t* at) {
    return QuarterHalfQuarter(d, hn::LoadU(d, at), hn::LoadU(d, at + 3), hn::LoadU(d, at + 6));
  };
  const size_t line_bytes = 3 * width;
  const auto fits = [&](size_t x) {
    return x >= t.halving_begin && x + kPixels <= t.halving_end && 6 * x + 64 + 6 + 64 <= line_bytes;
  };
  const auto vector_at = [&](size_t x) {
    const uint8_t* at = src + 6 * x;
    const hn::Vec<decltype(d)> v{
        _mm512_permutex2var_epi8(filtered(at).raw, gather.raw, filtered(at + 64).raw)};
    // The four bytes past the sixty belong to later pixels, which are written after these.
    if (3 * x + 64 <= t.out_bytes) {
      hn::StoreU(v, d, out + 3 * x);
    } else {
      alignas(64) uint8_t bytes[64];
      hn::Store(v, d, bytes);
      std::memcpy(out + 3 * x, bytes, 3 * kPixels);
    }
  };
  size_t x = t.halving_begin;
  for (; fits(x); x += kPixels) vector_at(x);
  const size_t end = t.halving_end;
  if (x < end && end >= kPixels && fits(end - kPixels)) {
    vector_at(end - kPixels);
    x = end;
  }
  return x;
}
#endif

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
  for (int c = 0; c < 3; ++c) done = Halve(t, plane[c], width, halved[c]);
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
    size_t done = 0;
    if (bpp == 1) {
#if HWY_TARGET == HWY_AVX3_DL
      if (HalvesInQuarters(t.lanes)) {
        done = HalveGrayQuarters(t.lanes, src, width, out);
      } else
#endif
        done = Halve(t.lanes, src, width, out);
    } else if (HalvesInQuarters(t.lanes)) {
#if HWY_TARGET == HWY_AVX3_DL
      done = HalveColourPermuted(t.lanes, src, width, out);
#else
      done = HalveColourQuarters(t.lanes, src, width, out);
#endif
    } else {
      done = HalveColour(t.lanes, src, width, out, scratch);
    }
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
