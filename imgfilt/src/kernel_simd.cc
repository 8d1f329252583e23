// Vector row filters. Every kernel is integer arithmetic in 16-bit lanes (the median works on
// bytes), so each target gives exactly the bytes of the plain kernels. Pixels whose window
// crosses a line end go through the plain kernel.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "kernel_simd.cc"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include <array>

#include "hwy/highway.h"
#include "divider.h"
#include "kernel.h"
#include "kernel_simd.h"

HWY_BEFORE_NAMESPACE();
namespace imgfilt {
namespace HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;

using D16 = hn::ScalableTag<uint16_t>;
using DI16 = hn::RebindToSigned<D16>;
using DHalf8 = hn::Rebind<uint8_t, D16>;
using V16 = hn::Vec<D16>;
using VI16 = hn::Vec<DI16>;
using D8 = hn::ScalableTag<uint8_t>;
using V8 = hn::Vec<D8>;

V16 Load(const uint8_t* p) { return hn::PromoteTo(D16(), hn::LoadU(DHalf8(), p)); }

void Store(VI16 v, uint8_t* p) { hn::StoreU(hn::DemoteTo(DHalf8(), v), DHalf8(), p); }
void Store(V16 v, uint8_t* p) { Store(hn::BitCast(DI16(), v), p); }

V16 Divide(V16 n, Divider div) {
  if (div.mult == 0) return n;
  return hn::ShiftRightSame(hn::MulHigh(n, hn::Set(D16(), div.mult)), div.shift);
}

// The window at byte i: rows above, current and below; neighbours `step` bytes apart.
struct Taps {
  const uint8_t* a;
  const uint8_t* c;
  const uint8_t* b;
  ptrdiff_t step;

  V16 Column(size_t i, ptrdiff_t dx) const {
    const ptrdiff_t at = static_cast<ptrdiff_t>(i) + dx * step;
    return hn::Add(hn::Add(Load(a + at), Load(c + at)), Load(b + at));
  }
  V16 Sum9(size_t i) const { return hn::Add(hn::Add(Column(i, -1), Column(i, 0)), Column(i, 1)); }
  V16 Centre(size_t i) const { return Load(c + i); }
  // Left, right, above and below.
  V16 Cross4(size_t i) const {
    const V16 lr = hn::Add(Load(c + i - step), Load(c + i + step));
    return hn::Add(lr, hn::Add(Load(a + i), Load(b + i)));
  }
};

// Runs `compute` over [begin, end) a vector at a time; a last partial vector is recomputed over
// the end of the range. Returns the first byte not written.
template <class Compute>
size_t RunLanes(size_t lanes, size_t begin, size_t end, uint8_t* out, const Compute& compute) {
  if (end - begin < lanes) return begin;
  size_t i = begin;
  for (; i + lanes <= end; i += lanes) compute(i, out + i);
  if (i < end) compute(end - lanes, out + end - lanes);
  return end;
}

template <class Compute16>
size_t Run16(size_t begin, size_t end, uint8_t* out, const Compute16& compute) {
  return RunLanes(hn::Lanes(D16()), begin, end, out,
                  [&compute](size_t i, uint8_t* o) { Store(compute(i), o); });
}

size_t EightNeighbour(const Taps& t, int a, size_t begin, size_t end, uint8_t* out) {
  const Divider div = MakeDivider(a - 8);
  const V16 va = hn::Set(D16(), static_cast<uint16_t>(a));
  return Run16(begin, end, out, [&](size_t i) {
    const V16 p = t.Centre(i);
    // A negative numerator truncates to a quotient of 0 or below, stored as 0 either way.
    const V16 n = hn::SaturatedSub(hn::Mul(p, va), hn::Sub(t.Sum9(i), p));
    return hn::Min(Divide(n, div), hn::Set(D16(), 255));
  });
}

size_t FourNeighbour(const Taps& t, int a, size_t begin, size_t end, uint8_t* out) {
  const Divider div = MakeDivider(a - 4);
  const V16 va = hn::Set(D16(), static_cast<uint16_t>(a));
  return Run16(begin, end, out, [&](size_t i) {
    const V16 n = hn::SaturatedSub(hn::Mul(t.Centre(i), va), t.Cross4(i));
    return hn::Min(Divide(n, div), hn::Set(D16(), 255));
  });
}

size_t Unsharp(const Taps& t, int strength, size_t begin, size_t end, uint8_t* out) {
  constexpr Divider kFifth = MakeDivider(5);
  const VI16 s = hn::Set(DI16(), static_cast<int16_t>(strength));
  return RunLanes(hn::Lanes(D16()), begin, end, out, [&](size_t i, uint8_t* o) {
    const V16 p = t.Centre(i);
    const V16 mean = Divide(hn::Add(t.Cross4(i), p), kFifth);
    const VI16 pi = hn::BitCast(DI16(), p);
    const VI16 diff = hn::Sub(pi, hn::BitCast(DI16(), mean));
    Store(hn::Add(pi, hn::ShiftRight<4>(hn::Mul(diff, s))), o);
  });
}

size_t Box3(const Taps& t, size_t begin, size_t end, uint8_t* out) {
  constexpr Divider kNinth = MakeDivider(9);
  return Run16(begin, end, out, [&](size_t i) { return Divide(t.Sum9(i), kNinth); });
}

size_t Box5(const Taps& t, size_t begin, size_t end, uint8_t* out) {
  constexpr Divider kFifteenth = MakeDivider(15);
  return Run16(begin, end, out, [&](size_t i) {
    const V16 sides = hn::Add(hn::Add(t.Column(i, -2), t.Column(i, -1)),
                              hn::Add(t.Column(i, 1), t.Column(i, 2)));
    return Divide(hn::Add(sides, t.Column(i, 0)), kFifteenth);
  });
}

size_t Weighted5(const Taps& t, size_t begin, size_t end, uint8_t* out) {
  constexpr Divider kDiv63 = MakeDivider(63);
  // Column value 2 above + 3 current + 2 below.
  auto column = [&t](size_t i, ptrdiff_t dx) {
    const ptrdiff_t at = static_cast<ptrdiff_t>(i) + dx * t.step;
    const V16 c = Load(t.c + at);
    const V16 outer = hn::Add(Load(t.a + at), Load(t.b + at));
    return hn::Add(hn::Add(hn::ShiftLeft<1>(outer), c), hn::ShiftLeft<1>(c));
  };
  return Run16(begin, end, out, [&](size_t i) {
    const V16 v0 = column(i, 0);
    const V16 near = hn::Add(column(i, -1), column(i, 1));
    const V16 far = hn::Add(column(i, -2), column(i, 2));
    const V16 sum = hn::Add(hn::Add(far, hn::ShiftLeft<1>(near)), hn::Add(hn::ShiftLeft<1>(v0), v0));
    return Divide(sum, kDiv63);
  });
}

V8 Median3(V8 x, V8 y, V8 z) { return hn::Max(hn::Min(x, y), hn::Min(hn::Max(x, y), z)); }

// The median of nine is the median of: the largest column minimum, the median of the column
// medians and the smallest column maximum, once each column of three is sorted.
struct SortedColumns {
  V8 lo, mid, hi;
};

SortedColumns SortColumns(V8 x, V8 y, V8 z) {
  const V8 small = hn::Min(x, y), large = hn::Max(x, y);
  const V8 upper = hn::Max(small, z);
  return {hn::Min(small, z), hn::Min(large, upper), hn::Max(large, upper)};
}

V8 MedianOfColumns(const SortedColumns& left, const SortedColumns& centre, const SortedColumns& right) {
  const V8 maxLo = hn::Max(left.lo, hn::Max(centre.lo, right.lo));
  const V8 minHi = hn::Min(left.hi, hn::Min(centre.hi, right.hi));
  return Median3(maxLo, Median3(left.mid, centre.mid, right.mid), minHi);
}

// Outputs [from, end) of the interior [begin, end), each vector sorting its three columns of loads;
// a last partial vector is recomputed over outputs before it. Returns the first byte not written.
size_t Median(const Taps& t, size_t begin, size_t from, size_t end, uint8_t* out) {
  const D8 d;
  const size_t n = hn::Lanes(d);
  if (end - begin < n) return begin;
  const auto vectorAt = [&](size_t i) {
    SortedColumns col[3];
    for (int k = 0; k < 3; ++k) {
      const ptrdiff_t at = static_cast<ptrdiff_t>(i) + (k - 1) * t.step;
      col[k] = SortColumns(hn::LoadU(d, t.a + at), hn::LoadU(d, t.c + at), hn::LoadU(d, t.b + at));
    }
    hn::StoreU(MedianOfColumns(col[0], col[1], col[2]), d, out + i);
  };
  size_t i = from;
  for (; i + n <= end; i += n) vectorAt(i);
  if (i < end) vectorAt(end - n);
  return end;
}

#if HWY_TARGET == HWY_AVX3_DL
// The same with each sorted column serving the three outputs beside it: the columns of one
// vector and of the next are sorted once, and the columns one and two pixels on are permuted out
// of the pair. Returns the first output left for Median.
size_t MedianSharedColumns(const Taps& t, size_t begin, size_t end, size_t bytes, uint8_t* out) {
  const D8 d;
  constexpr size_t n = 64;
  const auto step = static_cast<size_t>(t.step);
  alignas(64) static constexpr auto kOne = [] {
    std::array<uint8_t, 2 * n> index{};  // [0, n): one pixel of one byte on; [n, 2n): of three
    for (size_t j = 0; j < n; ++j) index[j] = static_cast<uint8_t>(j + 1);
    for (size_t j = 0; j < n; ++j) index[n + j] = static_cast<uint8_t>(j + 3);
    return index;
  }();
  const V8 one = hn::Load(d, kOne.data() + (step == 1 ? 0 : n));
  const V8 two = hn::Add(one, hn::Set(d, static_cast<uint8_t>(step)));
  const auto sortedAt = [&](size_t k) {
    return SortColumns(hn::LoadU(d, t.a + k), hn::LoadU(d, t.c + k), hn::LoadU(d, t.b + k));
  };
  const auto shifted = [](const SortedColumns& cur, const SortedColumns& next, V8 index) {
    const auto pick = [&](V8 lo, V8 hi) { return V8{_mm512_permutex2var_epi8(lo.raw, index.raw, hi.raw)}; };
    return SortedColumns{pick(cur.lo, next.lo), pick(cur.mid, next.mid), pick(cur.hi, next.hi)};
  };
  size_t o = begin;
  // Columns of outputs [o, o + n) start at o - step; the next vector's must lie inside the row.
  if (o + n > end || o - step + 2 * n > bytes) return o;
  SortedColumns cur = sortedAt(o - step);
  for (; o + n <= end && o - step + 2 * n <= bytes; o += n) {
    const SortedColumns next = sortedAt(o - step + n);
    hn::StoreU(MedianOfColumns(cur, shifted(cur, next, one), shifted(cur, next, two)), d, out + o);
    cur = next;
  }
  return o;
}
#endif

// Vector part over the bytes whose windows lie inside the line; returns the first byte left.
size_t FilterInterior(const Kernel& k, const Taps& t, size_t begin, size_t end, uint8_t* out) {
  switch (k.type) {
    case KernelType::kEightNeighbour: return EightNeighbour(t, k.param, begin, end, out);
    case KernelType::kFourNeighbour: return FourNeighbour(t, k.param, begin, end, out);
    case KernelType::kUnsharp: return Unsharp(t, k.param, begin, end, out);
    case KernelType::kBox3: return Box3(t, begin, end, out);
    case KernelType::kWeighted5: return Weighted5(t, begin, end, out);
    case KernelType::kBox5: return Box5(t, begin, end, out);
    case KernelType::kMedian3: {
      size_t from = begin;
#if HWY_TARGET == HWY_AVX3_DL
      from = MedianSharedColumns(t, begin, end, end + static_cast<size_t>(t.step), out);
#endif
      return Median(t, begin, from, end, out);
    }
  }
  return begin;
}

}  // namespace

void FilterRowSimd(const Kernel& kernel, const Rows& rows, uint8_t* out, size_t pixels) {
  const size_t bytes = pixels * static_cast<size_t>(kernel.bpp);
  const size_t margin = static_cast<size_t>(kernel.Reach() * kernel.bpp);
  if (!kernel.Valid() || bytes <= 2 * margin) {
    FilterBytesPlain(kernel, rows, out, pixels, 0, bytes);
    return;
  }
  const Taps taps{rows.above, rows.current, rows.below, kernel.bpp};
  const size_t done = FilterInterior(kernel, taps, margin, bytes - margin, out);
  FilterBytesPlain(kernel, rows, out, pixels, 0, margin);
  FilterBytesPlain(kernel, rows, out, pixels, done, bytes);
}

const char* TargetName() { return hwy::TargetName(HWY_TARGET); }

// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace imgfilt
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace imgfilt {

HWY_EXPORT(FilterRowSimd);
HWY_EXPORT(TargetName);

void FilterRowFast(const Kernel& kernel, const Rows& rows, uint8_t* out, size_t pixels) {
  HWY_DYNAMIC_DISPATCH(FilterRowSimd)(kernel, rows, out, pixels);
}

std::vector<int64_t> SimdTargets() { return hwy::SupportedAndGeneratedTargets(); }

const char* ActiveSimdTarget() { return HWY_DYNAMIC_DISPATCH(TargetName)(); }

}  // namespace imgfilt
#endif  // HWY_ONCE
