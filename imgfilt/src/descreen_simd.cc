// Vector descreen kernels. Every kernel works in 16-bit lanes (rank kernels by sorting networks,
// linear ones with exact integer division), so each target gives the bytes of the plain kernels;
// the bytes whose taps cross a line end use the plain code.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "descreen_simd.cc"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include "hwy/highway.h"
#include "descreen_kernels.h"
#include "divider.h"

HWY_BEFORE_NAMESPACE();
namespace imgfilt {
namespace HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;

using D16 = hn::ScalableTag<uint16_t>;
using DHalf8 = hn::Rebind<uint8_t, D16>;
using V16 = hn::Vec<D16>;

V16 Load(const uint8_t* p) { return hn::PromoteTo(D16(), hn::LoadU(DHalf8(), p)); }

V16 Divide(V16 n, Divider div) {
  if (div.mult == 0) return n;
  return hn::ShiftRightSame(hn::MulHigh(n, hn::Set(D16(), div.mult)), div.shift);
}

struct Taps {
  const DescreenRows& rows;
  ptrdiff_t step;  // bytes between neighbouring pixels of a channel

  V16 At(size_t i, int dy, int dx) const {
    return Load(rows.line[dy + 2] + static_cast<ptrdiff_t>(i) + dx * step);
  }
};

// N values in ascending order (odd-even transposition: N rounds sort N values).
template <int N>
void Sort(V16 (&v)[N]) {
  for (int round = 0; round < N; ++round) {
    for (int i = round % 2; i + 1 < N; i += 2) {
      const V16 lo = hn::Min(v[i], v[i + 1]);
      v[i + 1] = hn::Max(v[i], v[i + 1]);
      v[i] = lo;
    }
  }
}

// The values of lines -1..1 and columns First..Last (bounds fixed at compile time, so that the
// array's size is checked against them).
template <int First, int Last, int N>
void Gather(const Taps& t, size_t i, V16 (&v)[N]) {
  static_assert((Last - First + 1) * 3 == N, "three lines of the columns fill the array");
  int n = 0;
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = First; dx <= Last; ++dx) v[n++] = t.At(i, dy, dx);
  }
}

// Kernels 2, 4 and 5: central order values of twelve (four columns) or fifteen (five columns).
V16 WideRank(int kernel, const Taps& t, size_t i) {
  if (kernel == 2) {
    V16 p[12];
    Gather<-2, 1>(t, i, p);
    Sort(p);
    return hn::ShiftRight<1>(hn::Add(p[5], p[6]));
  }
  V16 o[15];
  Gather<-2, 2>(t, i, o);
  Sort(o);
  if (kernel == 4) return hn::ShiftRight<2>(hn::Add(hn::Add(o[5], o[6]), hn::Add(o[7], o[8])));
  return hn::ShiftRight<2>(hn::Add(hn::Add(o[6], o[8]), hn::ShiftLeft<1>(o[7])));
}

V16 Rank3x3(int kernel, const Taps& t, size_t i) {
  V16 o[9];
  Gather<-1, 1>(t, i, o);
  Sort(o);
  if (kernel == 1 || kernel == 3 || kernel == 7) {
    return hn::ShiftRight<2>(hn::Add(hn::Add(o[3], o[5]), hn::ShiftLeft<1>(o[4])));
  }
  constexpr Divider kFifth = MakeDivider(5);
  const V16 middle = Divide(hn::Add(hn::Add(hn::Add(o[2], o[3]), hn::Add(o[4], o[5])), o[6]), kFifth);
  if (kernel == 6) return middle;
  return hn::ShiftRight<1>(hn::Add(t.At(i, 0, 0), middle));  // kernel 9
}

V16 Linear(int kernel, const Taps& t, size_t i) {
  static constexpr int kW28[3][5] = {{1, 2, 2, 2, 1}, {2, 2, 4, 2, 2}, {1, 2, 2, 2, 1}};
  static constexpr int kW18[3][5] = {{0, 1, 2, 1, 0}, {1, 2, 4, 2, 1}, {0, 1, 2, 1, 0}};
  const bool wide = kernel == 10 || kernel == 12;
  const int spacing = kernel >= 12 ? 2 : 1;
  const auto& w = wide ? kW28 : kW18;
  V16 sum = hn::Zero(D16());
  for (int row = 0; row < 3; ++row) {
    for (int tap = 0; tap < 5; ++tap) {
      if (w[row][tap] == 0) continue;
      const V16 v = t.At(i, (row - 1) * spacing, (tap - 2) * spacing);
      sum = hn::Add(sum, hn::Mul(v, hn::Set(D16(), static_cast<uint16_t>(w[row][tap]))));
    }
  }
  static constexpr Divider k28 = MakeDivider(28), k18 = MakeDivider(18);
  return Divide(sum, wide ? k28 : k18);
}

V16 Cross(const Taps& t, size_t i) {
  const V16 c = t.At(i, 0, 0);
  const V16 sides = hn::Add(hn::Add(t.At(i, 0, -1), t.At(i, 0, 1)), hn::Add(t.At(i, -1, 0), t.At(i, 1, 0)));
  return hn::ShiftRight<3>(hn::Add(sides, hn::ShiftLeft<2>(c)));
}

// Pixels the taps reach left and right of the centre (0 for a number that is no kernel).
int VectorReach(int kernel) {
  switch (kernel) {
    case 1: case 3: case 6: case 7: case 8: case 9: return 1;
    case 2: case 4: case 5: case 10: case 11: return 2;
    case 12: case 13: return 4;
    default: return 0;
  }
}

}  // namespace

void DescreenRowSimd(int kernel, const DescreenRows& rows, uint8_t* out, size_t pixels, int bpp) {
  if (pixels < DescreenMinWidth(kernel)) return;
  const size_t bytes = pixels * static_cast<size_t>(bpp);
  const size_t margin = static_cast<size_t>(VectorReach(kernel) * bpp);
  const size_t lanes = hn::Lanes(D16());
  if (margin == 0 || bytes < 2 * margin + lanes) {
    DescreenBytesPlain(kernel, rows, out, pixels, bpp, 0, bytes);
    return;
  }
  const Taps taps{rows, bpp};
  const auto compute = [&](size_t i) {
    V16 v;
    if (kernel >= 10) {
      v = Linear(kernel, taps, i);
    } else if (kernel == 8) {
      v = Cross(taps, i);
    } else if (kernel == 2 || kernel == 4 || kernel == 5) {
      v = WideRank(kernel, taps, i);
    } else {
      v = Rank3x3(kernel, taps, i);
    }
    hn::StoreU(hn::DemoteTo(DHalf8(), hn::BitCast(hn::RebindToSigned<D16>(), v)), DHalf8(), out + i);
  };
  const size_t end = bytes - margin;
  size_t i = margin;
  for (; i + lanes <= end; i += lanes) compute(i);
  if (i < end) compute(end - lanes);
  DescreenBytesPlain(kernel, rows, out, pixels, bpp, 0, margin);
  DescreenBytesPlain(kernel, rows, out, pixels, bpp, end, bytes);
}

// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace imgfilt
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace imgfilt {

HWY_EXPORT(DescreenRowSimd);

void DescreenRowFast(int kernel, const DescreenRows& rows, uint8_t* out, size_t pixels, int bpp) {
  HWY_DYNAMIC_DISPATCH(DescreenRowSimd)(kernel, rows, out, pixels, bpp);
}

}  // namespace imgfilt
#endif  // HWY_ONCE
