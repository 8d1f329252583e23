// Exact division of small non-negative integers by a constant with one 16-bit multiply, as the
// vector paths need it: n / d == ((n * mult) >> 16) >> shift for every 0 <= n < 2^14.
#ifndef IMGFILT_SRC_DIVIDER_H_
#define IMGFILT_SRC_DIVIDER_H_

#include <cstdint>

namespace imgfilt {

constexpr int kDividendBits = 14;

struct Divider {
  uint16_t mult;  // 0 means d = 1: the quotient is n itself
  int shift;
};

// For 2 <= d < 2^14. With l = max(2, ceil(log2 d)) and m = ceil(2^(14 + l) / d), m * d lies in
// [2^(14 + l), 2^(14 + l) + 2^l], which makes floor(n m / 2^(14 + l)) equal floor(n / d) for every
// n below 2^14 (Granlund and Montgomery, 1994); l >= 2 keeps the total shift at 16 or more and
// m at most 2^15.
constexpr Divider MakeDivider(int d) {
  if (d <= 1) return Divider{0, 0};
  int l = 0;
  while ((1 << l) < d) ++l;
  if (l < 2) l = 2;
  const uint32_t m = ((uint32_t{1} << (kDividendBits + l)) + static_cast<uint32_t>(d) - 1) /
                     static_cast<uint32_t>(d);
  return Divider{static_cast<uint16_t>(m), l - 2};
}

constexpr uint32_t Divide(uint32_t n, Divider div) {
  return div.mult == 0 ? n : ((n * div.mult) >> 16) >> div.shift;
}

}  // namespace imgfilt

#endif  // IMGFILT_SRC_DIVIDER_H_
