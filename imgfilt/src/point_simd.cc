// Vector paths of the point operations; both give exactly the bytes of the plain loops.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "point_simd.cc"
#include "hwy/foreach_target.h"  // IWYU pragma: keep

#include <array>

#include "hwy/highway.h"
#include "point_ops.h"

HWY_BEFORE_NAMESPACE();
namespace imgfilt {
namespace HWY_NAMESPACE {
namespace {

namespace hn = hwy::HWY_NAMESPACE;
using D8 = hn::ScalableTag<uint8_t>;

// Bit i of a byte moved to bit 7 - i: mask bits come lowest lane first, bilevel pixels leftmost
// in the top bit.
constexpr std::array<uint8_t, 256> kReversed = [] {
  std::array<uint8_t, 256> r{};
  for (int v = 0; v < 256; ++v) {
    int out = 0;
    for (int b = 0; b < 8; ++b) out |= ((v >> b) & 1) << (7 - b);
    r[static_cast<size_t>(v)] = static_cast<uint8_t>(out);
  }
  return r;
}();

}  // namespace

void ThresholdLineSimd(const uint8_t* gray, uint8_t* bits, size_t width, const uint8_t* row) {
  const D8 d;
  const size_t n = hn::Lanes(d);
  // Whole vectors must start at matrix column 0 and fill whole bytes of bits.
  if (n % 8 != 0) return ThresholdLine(gray, bits, width, row);
  HWY_ALIGN uint8_t pattern[hn::MaxLanes(d)];
  for (size_t i = 0; i < n; ++i) pattern[i] = row[i % 8];
  const auto thresholds = hn::Load(d, pattern);
  size_t x = 0;
  for (; x + n <= width; x += n) {
    uint8_t* out = bits + x / 8;
    const auto v = hn::LoadU(d, gray + x);
    hn::StoreMaskBits(d, hn::Eq(hn::Max(v, thresholds), v), out);  // v >= threshold
    for (size_t b = 0; b < n / 8; ++b) out[b] = kReversed[out[b]];
  }
  ThresholdLine(gray + x, bits + x / 8, width - x, row);
}

void InvertBytesSimd(const uint8_t* in, uint8_t* out, size_t count) {
  const D8 d;
  const size_t n = hn::Lanes(d);
  size_t i = 0;
  for (; i + n <= count; i += n) hn::StoreU(hn::Not(hn::LoadU(d, in + i)), d, out + i);
  for (; i < count; ++i) out[i] = static_cast<uint8_t>(~in[i]);
}

// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace imgfilt
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace imgfilt {

HWY_EXPORT(ThresholdLineSimd);
HWY_EXPORT(InvertBytesSimd);

void ThresholdLineFast(const uint8_t* gray, uint8_t* bits, size_t width, const uint8_t row[8]) {
  HWY_DYNAMIC_DISPATCH(ThresholdLineSimd)(gray, bits, width, row);
}

void InvertBytesFast(const uint8_t* in, uint8_t* out, size_t count) {
  HWY_DYNAMIC_DISPATCH(InvertBytesSimd)(in, out, count);
}

}  // namespace imgfilt
#endif  // HWY_ONCE
