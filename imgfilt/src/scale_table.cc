#include "scale_table.h"

#include <algorithm>
#include <cmath>

#include "raster.h"
#include "scale_pass.h"
#include "work_buffer.h"

namespace imgfilt {
namespace {

// Rounds half up: floor(x), plus 1 when the fraction is at least one half.
int RoundHalfUp(float x) {
  const float whole = std::floor(x);
  return static_cast<int>(whole) + (x - whole >= 0.5f ? 1 : 0);
}

EnlargeEntry EnlargeAt(uint32_t i, float ratio) {
  const float u = static_cast<float>(i) / ratio;
  const float whole = std::floor(u);
  const float e = u - whole;
  const auto d = static_cast<int32_t>(whole);
  const float near = 128.0f * CubicWeight(e);
  if (near == 128.0f) return EnlargeEntry{d - 1, 128, 0};
  const int h = RoundHalfUp(near);
  const int m = RoundHalfUp(128.0f * CubicWeight(std::fabs(u - static_cast<float>(d + 1))));
  if (h + m == 128) return EnlargeEntry{d - 1, static_cast<uint8_t>(h), static_cast<uint8_t>(m)};
  // The two weights always sum to one before rounding, so h + m is 127..129 here.
  const int w0 = static_cast<int>(std::floor(static_cast<float>(h * 128) / static_cast<float>(h + m) + 0.5f));
  return EnlargeEntry{d - 1, static_cast<uint8_t>(w0), static_cast<uint8_t>(128 - w0)};
}

// The window of reduction output t: its centre and its first and last candidate source
// positions, 1-based.
struct Window {
  float centre;
  int64_t first;
  int64_t last;
};

Window WindowOf(uint64_t t, float f, float radius) {
  const float v = static_cast<float>(t + 1) / f;
  return {v, static_cast<int64_t>(std::ceil(v - radius)), static_cast<int64_t>(std::floor(v + radius))};
}

float CandidateWeight(const Window& w, int64_t m, float radius) {
  return CubicWeight(std::fabs(w.centre - static_cast<float>(m)) / radius) / radius;
}

// Weights divided by their sum, unless it is 0 or exactly 1.
void Normalise(ReducePair* pairs, size_t count, float sum) {
  if (sum == 0.0f || sum == 1.0f) return;
  for (size_t k = 0; k < count; ++k) pairs[k].weight /= sum;
}

// Appends the pairs of output t and returns how many it stored.
size_t AppendReducePairs(uint32_t t, float f, float radius, std::vector<ReducePair>& pairs) {
  const Window window = WindowOf(t, f, radius);
  const size_t start = pairs.size();
  float sum = 0.0f;
  for (int64_t m = window.first; m <= window.last; ++m) {
    const float w = CandidateWeight(window, m, radius);
    if (w == 0.0f) continue;
    pairs.push_back(ReducePair{static_cast<int32_t>(m - 1), w});
    sum += w;
  }
  Normalise(pairs.data() + start, pairs.size() - start, sum);
  return pairs.size() - start;
}

}  // namespace

float CubicWeight(float d) {
  if (d == 0.0f) return 1.0f;
  if (d >= 1.0f) return 0.0f;
  return 2.0f * d * d * d - 3.0f * d * d + 1.0f;
}

uint8_t BuildEnlargeTable(uint32_t source, uint32_t target, EnlargeTable& table) {
  if (target <= source) return kNothingToDo;
  if (!TryResize(table.entries, target)) return kNoMemory;
  const float ratio = static_cast<float>(target) / static_cast<float>(source);
  for (uint32_t i = 1; i <= target; ++i) table.entries[i - 1] = EnlargeAt(i, ratio);
  return kOk;
}

bool ReduceWindowsPlain(float f, float radius, uint32_t firstOutput, size_t outputs,
                        ReduceWindows& w) {
  for (size_t i = 0; i < outputs; ++i) {
    const Window window = WindowOf(firstOutput + i, f, radius);
    const int64_t count = window.last - window.first + 1;
    if (count > static_cast<int64_t>(ReduceWindows::kMaxCandidates)) return false;
    w.first[i] = static_cast<int32_t>(window.first);
    w.count[i] = static_cast<int32_t>(count);
    for (int64_t k = 0; k < count; ++k) w.weight[k][i] = CandidateWeight(window, window.first + k, radius);
  }
  return true;
}

namespace {

// Output t's pairs from its candidate weights: zero weights left out, the rest normalised as the
// plain builder does. Writes every candidate to `out` (room for w.count[i]) and keeps the non-zero
// ones, without a branch on the weights. Returns how many it kept.
size_t WindowPairs(const ReduceWindows& w, size_t i, ReducePair* out) {
  size_t count = 0;
  float sum = 0.0f;
  for (size_t k = 0; k < static_cast<size_t>(w.count[i]); ++k) {
    const float weight = w.weight[k][i];
    out[count] = ReducePair{static_cast<int32_t>(w.first[i] + static_cast<int32_t>(k) - 1), weight};
    count += weight != 0.0f ? 1 : 0;
    sum += weight;  // adding a zero weight leaves the sum as it was
  }
  Normalise(out, count, sum);
  return count;
}

// Pairs of a table under construction: `used` of them are real, the vector beyond is room.
struct PairRoom {
  std::vector<ReducePair>& pairs;
  size_t used = 0;

  // Room for n more pairs; false when memory ran out.
  bool Ensure(size_t n) {
    return used + n <= pairs.size() || TryResize(pairs, std::max(2 * pairs.size(), used + n));
  }
};

// Outputs [t0, t0 + n) of a reduction; false when memory ran out.
bool AppendChunk(uint32_t t0, size_t n, float f, float radius, TableMath math, ReduceTable& table,
                 PairRoom& room, std::vector<ReducePair>& wide) {
  ReduceWindows windows;
  const bool vector = math == TableMath::kVector && ReduceWindowsFast(f, radius, t0, n, windows);
  for (size_t i = 0; i < n; ++i) {
    const size_t first = room.used;
    size_t count = 0;
    if (vector) {
      if (!room.Ensure(static_cast<size_t>(windows.count[i]))) return false;
      count = WindowPairs(windows, i, room.pairs.data() + first);
    } else {
      wide.clear();
      try {
        count = AppendReducePairs(t0 + static_cast<uint32_t>(i), f, radius, wide);
      } catch (const std::bad_alloc&) {
        return false;
      }
      if (!room.Ensure(count)) return false;
      std::copy(wide.begin(), wide.end(), room.pairs.begin() + static_cast<ptrdiff_t>(first));
    }
    room.used += count;
    table.entries[t0 + i] = ReduceEntry{first, static_cast<uint32_t>(count)};
    table.maxCount = std::max(table.maxCount, count);
    if (count > 0) {
      const auto span = room.pairs[first + count - 1].index - room.pairs[first].index + 1;
      table.maxSpan = std::max(table.maxSpan, static_cast<size_t>(span));
    }
  }
  return true;
}

// An exact halving (2n to n): output t takes pixels 2t, 2t + 1 and 2t + 2 with 1/4, 1/2 and 1/4.
// These are the weights the windows give, bit for bit, as long as the window centres 2t + 2 are
// whole numbers in single precision; reducing 600 dpi to 300 is common enough to fill them so.
bool IsPlainHalving(uint32_t source, uint32_t target) {
  return uint64_t{target} * 2 == source && target < (1u << 22);
}

void FillHalving(uint32_t target, ReduceTable& table) {
  for (uint32_t t = 0; t < target; ++t) {
    table.entries[t] = ReduceEntry{size_t{3} * t, 3};
    const auto left = static_cast<int32_t>(2 * t);
    table.pairs[size_t{3} * t] = ReducePair{left, 0.25f};
    table.pairs[size_t{3} * t + 1] = ReducePair{left + 1, 0.5f};
    table.pairs[size_t{3} * t + 2] = ReducePair{left + 2, 0.25f};
  }
  table.maxCount = table.maxSpan = 3;
  table.halving = true;
}

}  // namespace

uint8_t BuildReduceTable(uint32_t source, uint32_t target, ReduceTable& table, TableMath math) {
  if (target >= source) return kNothingToDo;
  const float f = static_cast<float>(target) / static_cast<float>(source);
  float radius = 1.0f / f;
  // Ratios just below 1 would otherwise leave too few taps to hide the beat between the grids.
  if (f > 0.83f && f < 0.95f) radius *= 1.2f;
  const auto capacityPerEntry = static_cast<size_t>(2.0f * radius) + 3;
  if (!TryResize(table.entries, target)) return kNoMemory;
  // Sized up front (pairs are not initialised), so that the loop does not normally reallocate.
  table.pairs.clear();
  PairRoom room{table.pairs};
  if (!room.Ensure(size_t{target} * capacityPerEntry)) return kNoMemory;
  table.maxSpan = table.maxCount = 0;
  table.halving = false;
  if (math == TableMath::kVector && IsPlainHalving(source, target)) {
    FillHalving(target, table);
    table.pairs.resize(size_t{3} * target);
    return kOk;
  }
  std::vector<ReducePair> wide;  // one output's pairs, where the windows are too wide for vectors
  for (uint32_t t0 = 0; t0 < target; t0 += ReduceWindows::kChunk) {
    const size_t n = std::min<size_t>(ReduceWindows::kChunk, target - t0);
    if (!AppendChunk(t0, n, f, radius, math, table, room, wide)) return kNoMemory;
  }
  table.pairs.resize(room.used);
  return kOk;
}

uint8_t BuildEnlargeGroups(uint32_t width, int bpp, EnlargeTable& table) {
  // Twelve colour bytes span at most four pixels, whose sources then lie within 3 x 3 + 2 bytes.
  table.groupBytes = bpp == 1 ? 16 : 12;
  const size_t outBytes = table.entries.size() * static_cast<size_t>(bpp);
  const size_t count = (outBytes + table.groupBytes - 1) / table.groupBytes;
  if (!TryResize(table.groups, count)) return kNoMemory;
  for (size_t g = 0; g < count; ++g) {
    EnlargeGroup& group = table.groups[g];
    group = EnlargeGroup{};
    const size_t begin = g * table.groupBytes;
    const size_t end = std::min(begin + table.groupBytes, outBytes);
    size_t source[16];
    size_t base = SIZE_MAX;
    for (size_t o = begin; o < end; ++o) {
      const EnlargeEntry& e = table.entries[o / static_cast<size_t>(bpp)];
      source[o - begin] = PaddedPixel(e, width) * static_cast<size_t>(bpp) + o % static_cast<size_t>(bpp);
      base = std::min(base, source[o - begin]);
      group.w0[o - begin] = e.w0;
    }
    group.base = static_cast<int32_t>(base);
    for (size_t k = 0; k < end - begin; ++k) {
      if (source[k] - base > 15) group.base = -1;
      group.index[k] = static_cast<uint8_t>(source[k] - base);
    }
  }
  return kOk;
}

bool WeightIn256ths(float weight, uint16_t& in256ths) {
  const float scaled = weight * 256.0f;  // exact: a power of two
  // Inside 0..256 the cast truncates, so an unchanged value is a whole number.
  if (!(scaled >= 0.0f && scaled <= 256.0f)) return false;
  if (static_cast<float>(static_cast<int>(scaled)) != scaled) return false;
  in256ths = static_cast<uint16_t>(scaled);
  return true;
}

bool WeightsIn256ths(const float* weights, size_t count, uint16_t* in256ths) {
  unsigned sum = 0;
  for (size_t k = 0; k < count; ++k) {
    if (!WeightIn256ths(weights[k], in256ths[k])) return false;
    sum += in256ths[k];
  }
  return sum <= 256;
}

namespace {

// True when output pixel x takes source pixel 2x + offset[k] with weight[k] for every tap.
bool Halves(const ReduceLanes& lanes, size_t b, size_t x, const std::vector<int32_t>& offset,
            const std::vector<uint16_t>& weight) {
  for (size_t k = 0; k < lanes.taps; ++k) {
    const size_t cell = k * lanes.outBytes + x * b;
    // The first byte of pixel p sits at p x b (a product, where a quotient would cost a division).
    const int64_t expected = (2 * static_cast<int64_t>(x) + offset[k]) * static_cast<int64_t>(b);
    if (lanes.source[cell] != expected || lanes.weight256[cell] != weight[k]) {
      return false;
    }
  }
  return true;
}

uint8_t FindHalvingStretch(int bpp, ReduceLanes& lanes) {
  const auto b = static_cast<size_t>(bpp);
  const size_t outputs = lanes.outBytes / b;
  if (!TryResize(lanes.halvingOffset, lanes.taps) || !TryResize(lanes.halvingWeight, lanes.taps)) {
    return kNoMemory;
  }
  // Take the middle output as the pattern and grow the stretch both ways while it holds.
  const size_t middle = outputs / 2;
  for (size_t k = 0; k < lanes.taps; ++k) {
    const size_t cell = k * lanes.outBytes + middle * b;
    lanes.halvingOffset[k] = static_cast<int32_t>(lanes.source[cell] / static_cast<int64_t>(b) -
                                                   2 * static_cast<int64_t>(middle));
    lanes.halvingWeight[k] = lanes.weight256[cell];
  }
  if (!Halves(lanes, b, middle, lanes.halvingOffset, lanes.halvingWeight)) return kOk;
  size_t begin = middle, end = middle + 1;
  while (begin > 0 && Halves(lanes, b, begin - 1, lanes.halvingOffset, lanes.halvingWeight)) --begin;
  while (end < outputs && Halves(lanes, b, end, lanes.halvingOffset, lanes.halvingWeight)) ++end;
  lanes.halvingBegin = begin;
  lanes.halvingEnd = end;
  return kOk;
}

}  // namespace

namespace {

// Whether every pair's weight is a multiple of 1/256 and each output's weights add up to at most 1.
bool AllIn256ths(const ReduceTable& table) {
  for (const ReduceEntry& e : table.entries) {
    unsigned sum = 0;
    for (size_t k = 0; k < e.count; ++k) {
      uint16_t in256ths = 0;
      if (!WeightIn256ths(table.pairs[e.first + k].weight, in256ths)) return false;
      sum += in256ths;
    }
    if (sum > 256) return false;
  }
  return true;
}

// The cells of every tap, tap by tap so that each row of cells is written in order. kBpp is 1 or 3.
template <bool kExact, size_t kBpp>
void FillLanes(const ReduceTable& table, uint32_t width, ReduceLanes& lanes) {
  for (size_t k = 0; k < lanes.taps; ++k) {
    const size_t row = k * lanes.outBytes;
    for (size_t x = 0; x < table.entries.size(); ++x) {
      const ReduceEntry& e = table.entries[x];
      // Padding taps read pixel 0 with weight 0, which leaves every sum unchanged.
      const ReducePair pair = k < e.count ? table.pairs[e.first + k] : ReducePair{0, 0.0f};
      const auto at = static_cast<int32_t>(MirrorIndex(pair.index, width) * kBpp);
      const size_t cell = row + x * kBpp;
      for (size_t c = 0; c < kBpp; ++c) {
        lanes.source[cell + c] = at + static_cast<int32_t>(c);
        if constexpr (kExact) {
          // Exact weights are whole multiples of 1/256: the product converts without rounding.
          lanes.weight256[cell + c] = static_cast<uint16_t>(pair.weight * 256.0f);
        } else {
          lanes.weight[cell + c] = pair.weight;
        }
      }
    }
  }
}

}  // namespace

uint8_t BuildReduceLanes(uint32_t width, int bpp, ReduceTable& table) {
  ReduceLanes& lanes = table.lanes;
  const auto b = static_cast<size_t>(bpp);
  lanes.taps = table.maxCount;
  lanes.outBytes = table.entries.size() * b;
  const size_t cells = lanes.taps * lanes.outBytes;
  if (!TryResize(lanes.source, cells)) return kNoMemory;
  // Integer weights where they are exact; the single-precision ones only where they are not.
  const bool exact = (table.halving || AllIn256ths(table)) && TryResize(lanes.weight256, cells);
  if (!exact && !TryResize(lanes.weight, cells)) return kNoMemory;
  if (bpp == 1) {
    exact ? FillLanes<true, 1>(table, width, lanes) : FillLanes<false, 1>(table, width, lanes);
  } else {
    exact ? FillLanes<true, 3>(table, width, lanes) : FillLanes<false, 3>(table, width, lanes);
  }
  if (!exact) return kOk;
  return FindHalvingStretch(bpp, lanes);
}

}  // namespace imgfilt
