// Halving steps of the scaler (taps 1/4, 1/2, 1/4 on pixels 2x, 2x + 1, 2x + 2) for every vector
// target: included by the vector passes once per target. Integer arithmetic with exactly the
// rounding of the plain single-precision sums, whose weights are here multiples of 1/4.
#if defined(IMGFILT_SRC_SCALE_HALVE_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef IMGFILT_SRC_SCALE_HALVE_INL_H_
#undef IMGFILT_SRC_SCALE_HALVE_INL_H_
#else
#define IMGFILT_SRC_SCALE_HALVE_INL_H_
#endif

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "hwy/highway.h"
#include "scale_table.h"

// How far ahead of the loads the source is asked for: far enough for the next lines' bytes to
// arrive from the outer caches while this stretch is filtered.
#define IMGFILT_PREFETCH_AHEAD 4096

HWY_BEFORE_NAMESPACE();
namespace imgfilt {
namespace HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;

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

#if HWY_TARGET != HWY_SCALAR
// Output bytes [begin, end) of an integer-weight reduction, one at a time.
void ReduceBytesIn256ths(const ReduceLanes& t, const uint8_t* src, size_t begin, size_t end,
                         uint8_t* out) {
  for (size_t o = begin; o < end; ++o) {
    unsigned sum = 128;
    for (size_t k = 0; k < t.taps; ++k) {
      const size_t cell = k * t.outBytes + o;
      sum += src[t.source[cell]] * unsigned{t.weight256[cell]};
    }
    out[o] = static_cast<uint8_t>(sum >> 8);
  }
}

// Taps 1/4, 1/2, 1/4 on pixels 2x, 2x + 1, 2x + 2: the halving of a 0.5 reduction.
bool HalvesInQuarters(const ReduceLanes& t) {
  return t.taps == 3 && t.halvingOffset[0] == 0 && t.halvingOffset[1] == 1 &&
         t.halvingOffset[2] == 2 && IsQuarterHalfQuarter(t.halvingWeight.data(), t.taps);
}

// Outputs of a gray halving with taps 1/4, 1/2, 1/4 from the source at `at`, in 16-bit lanes.
template <class D>
hn::Vec<D> HalvedPairs(D d, const uint8_t* at) {
  const hn::Repartition<uint8_t, D> dBytes;
  const auto pair = hn::BitCast(d, hn::LoadU(dBytes, at));
  const auto next = hn::BitCast(d, hn::LoadU(dBytes, at + 2));
  const auto low = hn::Set(d, 0xFF);
  // 16-bit lanes hold the sum of two bytes, so the floor of the half needs no correction.
  const auto half = hn::ShiftRight<1>(hn::Add(hn::And(pair, low), hn::And(next, low)));
  return hn::AverageRound(hn::ShiftRight<8>(pair), half);
}

// The halving stretch of a gray line a vector at a time. A 16-bit lane loaded at an even pixel
// holds that pixel in its low byte and the next one in its high byte, so the taps need no
// shuffles. Starts at output `from` (from halvingBegin on) and returns the first output pixel
// left over.
size_t Halve(const ReduceLanes& t, const uint8_t* src, size_t width, uint8_t* out, size_t from) {
  const hn::ScalableTag<uint16_t> d;
  const hn::Repartition<uint8_t, decltype(d)> dBytes;
  const hn::Rebind<uint8_t, decltype(d)> dOut;
  const hn::RebindToSigned<decltype(d)> di;
  const auto n = static_cast<int64_t>(hn::Lanes(d));
  const int32_t maxOffset = *std::max_element(t.halvingOffset.begin(), t.halvingOffset.end());
  const auto begin = static_cast<int64_t>(t.halvingBegin);
  const auto end = static_cast<int64_t>(t.halvingEnd);
  // Whole vectors inside the stretch whose loads stay inside the line.
  const auto fits = [&](int64_t x) {
    return x >= begin && x + n <= end && 2 * (x + n) + maxOffset <= static_cast<int64_t>(width);
  };
  const bool quarters = HalvesInQuarters(t);
  const auto vectorAt = [&](int64_t x) {
    if (quarters) {
      hn::StoreU(hn::DemoteTo(dOut, hn::BitCast(di, HalvedPairs(d, src + 2 * x))), dOut, out + x);
      return;
    }
    auto sum = hn::Set(d, 128);  // the rounding term of >> 8
    for (size_t k = 0; k < t.taps; ++k) {
      const int64_t first = 2 * x + t.halvingOffset[k];
      const auto pair = hn::BitCast(d, hn::LoadU(dBytes, src + (first & ~int64_t{1})));
      const auto pixel = (first & 1) != 0 ? hn::ShiftRight<8>(pair) : hn::And(pair, hn::Set(d, 0xFF));
      sum = hn::Add(sum, hn::Mul(pixel, hn::Set(d, t.halvingWeight[k])));
    }
    hn::StoreU(hn::DemoteTo(dOut, hn::BitCast(di, hn::ShiftRight<8>(sum))), dOut, out + x);
  };
  auto x = static_cast<int64_t>(from);
  for (; fits(x); x += n) vectorAt(x);
  // One more vector ending with the stretch, over outputs already written with the same bytes.
  if (x < end && fits(end - n)) {
    vectorAt(end - n);
    x = end;
  }
  return static_cast<size_t>(x);
}

// Colour halving with taps 1/4, 1/2, 1/4: byte i of the line filtered with its neighbours three
// bytes away gives output byte i / 2 whenever pixel i / 3 is even, so whole byte vectors are
// filtered and the even pixels picked out with byte shuffles, four pixels at a time. Starts at
// output `from` and returns the first output pixel left over.
size_t HalveColourQuarters(const ReduceLanes& t, const uint8_t* src, size_t width, uint8_t* out,
                           size_t from) {
  const hn::CappedTag<uint8_t, 16> d;
  if (hn::Lanes(d) < 16) return from;
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
  const size_t lineBytes = 3 * width;
  const auto fits = [&](size_t x) {
    return x >= t.halvingBegin && x + 4 <= t.halvingEnd && 6 * x + 30 <= lineBytes;
  };
  const auto vectorAt = [&](size_t x) {
    const uint8_t* at = src + 6 * x;
    const auto v = hn::Or(hn::TableLookupBytesOr0(filtered(at), first),
                          hn::TableLookupBytesOr0(filtered(at + 8), second));
    // The four bytes past the twelve belong to later pixels, which are written after these.
    if (3 * x + 16 <= t.outBytes) {
      hn::StoreU(v, d, out + 3 * x);
    } else {
      alignas(16) uint8_t bytes[16];
      hn::Store(v, d, bytes);
      std::memcpy(out + 3 * x, bytes, 12);
    }
  };
  size_t x = from;
  for (; fits(x); x += 4) vectorAt(x);
  const size_t end = t.halvingEnd;
  if (x < end && end >= 4 && fits(end - 4)) {
    vectorAt(end - 4);
    x = end;
  }
  return x;
}

#if HWY_TARGET == HWY_AVX3_DL
// Gray halving with taps 1/4, 1/2, 1/4 in byte lanes: byte permutes across the whole vector split
// two source vectors into even and odd pixels, so that one filter step gives 64 outputs. Returns
// the first output pixel left over.
template <class D>
hn::Vec<D> HalvedBytes(D d, const uint8_t* at) {
  const size_t n = hn::Lanes(d);
  __builtin_prefetch(at + IMGFILT_PREFETCH_AHEAD);
  __builtin_prefetch(at + IMGFILT_PREFETCH_AHEAD + 64);
  const auto low = hn::LoadU(d, at), high = hn::LoadU(d, at + n);
  const auto even = hn::ConcatEven(d, high, low);
  const auto odd = hn::ConcatOdd(d, high, low);
  // The even pixels one on: the vector moved down a lane, with the pixel after it in the top lane
  // (one permute of two tables, where loading them afresh would cost two more loads).
  alignas(64) static constexpr auto kNext = [] {
    std::array<uint8_t, 64> index{};
    for (size_t i = 0; i < 64; ++i) index[i] = static_cast<uint8_t>(i + 1);
    return index;
  }();
  const hn::Vec<D> next{_mm512_permutex2var_epi8(even.raw, hn::Load(d, kNext.data()).raw,
                                                 hn::Set(d, at[2 * n]).raw)};
  return QuarterHalfQuarter(d, even, odd, next);
}

size_t HalveGrayQuarters(const ReduceLanes& t, const uint8_t* src, size_t width, uint8_t* out) {
  const hn::ScalableTag<uint8_t> d;
  const size_t n = hn::Lanes(d);
  const auto fits = [&](size_t x) {
    return x >= t.halvingBegin && x + n <= t.halvingEnd && 2 * (x + n) + 2 <= width;
  };
  const auto vectorAt = [&](size_t x) { hn::StoreU(HalvedBytes(d, src + 2 * x), d, out + x); };
  size_t x = t.halvingBegin;
  for (; fits(x); x += n) vectorAt(x);
  if (x < t.halvingEnd && t.halvingEnd >= n && fits(t.halvingEnd - n)) {
    vectorAt(t.halvingEnd - n);
    x = t.halvingEnd;
  }
  return x;
}

// Colour halving with taps 1/4, 1/2, 1/4: two vectors of the line filtered byte by byte with
// their neighbours three bytes away, then the bytes of the even pixels, 20 of them, gathered
// from both with one two-table permute. Returns the first output pixel left over.
size_t HalveColourPermuted(const ReduceLanes& t, const uint8_t* src, size_t width, uint8_t* out) {
  const hn::ScalableTag<uint8_t> d;
  if (hn::Lanes(d) != 64) return t.halvingBegin;
  constexpr size_t kPixels = 20;  // 120 source bytes, 60 output bytes
  // Source byte s of the step comes from the first vector below 64, else from the second, which
  // starts 56 bytes on (so that it ends with the step's last pixel).
  alignas(64) static constexpr auto kGather = [] {
    std::array<uint8_t, 64> index{};
    for (size_t j = 0; j < 3 * kPixels; ++j) {
      const size_t s = 6 * (j / 3) + j % 3;
      index[j] = static_cast<uint8_t>(s < 64 ? s : 64 + s - 56);
    }
    return index;
  }();
  const auto gather = hn::Load(d, kGather.data());
  const auto filtered = [&](const uint8_t* at) {
    return QuarterHalfQuarter(d, hn::LoadU(d, at), hn::LoadU(d, at + 3), hn::LoadU(d, at + 6));
  };
  const size_t lineBytes = 3 * width;
  const auto fits = [&](size_t x) {
    return x >= t.halvingBegin && x + kPixels <= t.halvingEnd && 6 * x + 56 + 6 + 64 <= lineBytes;
  };
  const auto vectorAt = [&](size_t x) {
    const uint8_t* at = src + 6 * x;
    __builtin_prefetch(at + IMGFILT_PREFETCH_AHEAD);
    __builtin_prefetch(at + IMGFILT_PREFETCH_AHEAD + 64);
    const hn::Vec<decltype(d)> v{
        _mm512_permutex2var_epi8(filtered(at).raw, gather.raw, filtered(at + 56).raw)};
    // The four bytes past the sixty belong to later pixels, which are written after these.
    if (3 * x + 64 <= t.outBytes) {
      hn::StoreU(v, d, out + 3 * x);
    } else {
      alignas(64) uint8_t bytes[64];
      hn::Store(v, d, bytes);
      std::memcpy(out + 3 * x, bytes, 3 * kPixels);
    }
  };
  size_t x = t.halvingBegin;
  for (; fits(x); x += kPixels) vectorAt(x);
  const size_t end = t.halvingEnd;
  if (x < end && end >= kPixels && fits(end - kPixels)) {
    vectorAt(end - kPixels);
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
  for (int c = 0; c < 3; ++c) done = Halve(t, plane[c], width, halved[c], t.halvingBegin);
  size_t x = t.halvingBegin;
  for (; x + n <= done; x += n) {
    hn::StoreInterleaved3(hn::LoadU(d, halved[0] + x), hn::LoadU(d, halved[1] + x),
                          hn::LoadU(d, halved[2] + x), d, out + 3 * x);
  }
  for (; x < done; ++x) {
    for (int c = 0; c < 3; ++c) out[3 * x + static_cast<size_t>(c)] = halved[c][x];
  }
  return done;
}

bool HasHalvingStretch(const ReduceLanes& t) {
  return !t.weight256.empty() && t.halvingEnd > t.halvingBegin;
}

// A line with a halving stretch: the stretch by the widest steps that fit, the edges (where taps
// are mirrored) byte by byte.
void HalveLine(const ReduceLanes& t, const uint8_t* src, size_t width, int bpp, uint8_t* out,
               uint8_t* scratch) {
  size_t done = t.halvingBegin;
  if (bpp == 1) {
#if HWY_TARGET == HWY_AVX3_DL
    if (HalvesInQuarters(t)) done = HalveGrayQuarters(t, src, width, out);
#endif
    // Narrower steps for what whole vectors leave.
    done = Halve(t, src, width, out, std::max(done, t.halvingBegin));
  } else if (HalvesInQuarters(t)) {
#if HWY_TARGET == HWY_AVX3_DL
    done = HalveColourPermuted(t, src, width, out);
#endif
    done = HalveColourQuarters(t, src, width, out, std::max(done, t.halvingBegin));
  } else {
    done = HalveColour(t, src, width, out, scratch);
  }
  const auto b = static_cast<size_t>(bpp);
  ReduceBytesIn256ths(t, src, 0, t.halvingBegin * b, out);
  ReduceBytesIn256ths(t, src, done * b, t.outBytes, out);
}

// One output line of a gray image halved both ways: `middle` and `lower` are source lines,
// `upper` the line above them already halved across. Writes lower halved across (the next output
// line's upper) to lowerOut and the output line to out; middleOut is working room.
struct TwoLines {
  const uint8_t* upper;
  const uint8_t* middle;
  const uint8_t* lower;
  uint8_t* middleOut;
  uint8_t* lowerOut;
  uint8_t* out;
};

// Both steps in one sweep, so that the source lines are read once and the vertical step needs no
// second pass over lines already written. Requires taps 1/4, 1/2, 1/4.
void HalveTwoGrayLines(const ReduceLanes& t, const TwoLines& lines, size_t width) {
  const TwoLines l = lines;  // a copy the stores cannot be taken to change
  size_t x = t.halvingBegin;
  const size_t end = t.halvingEnd;
  // Whole vectors from x on, then one ending with the stretch, over outputs already written with
  // the same bytes.
  const auto sweep = [&](auto d, auto halved) {
    const hn::Rebind<uint8_t, decltype(d)> d8;
    const size_t n = hn::Lanes(d);
    const auto fits = [&](size_t at) {
      return at >= t.halvingBegin && at + n <= end && 2 * (at + n) + 2 <= width;
    };
    const auto step = [&](size_t at) {
      const auto h1 = halved(d, l.middle + 2 * at);
      const auto h2 = halved(d, l.lower + 2 * at);
      if constexpr (sizeof(hn::TFromD<decltype(d)>) == 1) {
        hn::StoreU(h2, d8, l.lowerOut + at);
        hn::StoreU(QuarterHalfQuarter(d8, hn::LoadU(d8, l.upper + at), h1, h2), d8, l.out + at);
      } else {
        const hn::RebindToSigned<decltype(d)> di;
        const auto b1 = hn::DemoteTo(d8, hn::BitCast(di, h1));
        const auto b2 = hn::DemoteTo(d8, hn::BitCast(di, h2));
        hn::StoreU(b2, d8, l.lowerOut + at);
        hn::StoreU(QuarterHalfQuarter(d8, hn::LoadU(d8, l.upper + at), b1, b2), d8, l.out + at);
      }
    };
    for (; fits(x); x += n) step(x);
    if (x < end && end >= n && fits(end - n)) {
      step(end - n);
      x = end;
    }
  };
#if HWY_TARGET == HWY_AVX3_DL
  sweep(hn::ScalableTag<uint8_t>(), [](auto d, const uint8_t* at) { return HalvedBytes(d, at); });
#endif
  sweep(hn::ScalableTag<uint16_t>(), [](auto d, const uint8_t* at) { return HalvedPairs(d, at); });
  // The rest, and the edges, through the line passes.
  const auto rest = [&](size_t from, size_t to) {
    ReduceBytesIn256ths(t, l.middle, from, to, l.middleOut);
    ReduceBytesIn256ths(t, l.lower, from, to, l.lowerOut);
    for (size_t i = from; i < to; ++i) {
      l.out[i] = static_cast<uint8_t>((l.upper[i] + 2 * l.middleOut[i] + l.lowerOut[i] + 2) >> 2);
    }
  };
  rest(0, t.halvingBegin);
  rest(x, t.outBytes);
}
#endif

}  // namespace
// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace imgfilt
HWY_AFTER_NAMESPACE();

#endif  // IMGFILT_SRC_SCALE_HALVE_INL_H_
