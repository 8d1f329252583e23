// The window sums for AVX-512 (this file is built with -mavx512f -mavx512vl): eight 64-byte sums
// side by side, eight of the 32 registers, against an addition's four cycles on two adders.
#include <immintrin.h>

#include "window_sums_loops.h"
#include "window_sums_targets.h"

namespace rastfx {
namespace {

// Every lane. The zeroing forms of the conversions: the plain ones leave GCC 12 warning of the
// undefined source they pass along.
constexpr __mmask8 kAll = 0xFF;

struct Quotients512 {
  static inline __attribute__((always_inline)) void Store(const Lanes& sums, const Lanes& divisors,
                                                          const Lanes& inverses, uint8_t* out) {
    const __m512d s = (__m512d)sums;
    const __m512d product = _mm512_mul_pd(s, (__m512d)inverses);
    // The quotient lies between product -+ kNearInteger: where both truncate to the same number
    // (and a truncation never decreases as its argument grows), so does the quotient. One
    // comparison of integers instead of finding the fraction and testing both its ends.
    const __m512d margin = _mm512_set1_pd(kNearInteger);
    const __m256i below = _mm512_maskz_cvttpd_epi32(kAll, _mm512_sub_pd(product, margin));
    __m256i whole = _mm512_maskz_cvttpd_epi32(kAll, _mm512_add_pd(product, margin));
    const __mmask8 near = _mm256_cmpneq_epi32_mask(below, whole);
    if (__builtin_expect(near != 0, 0)) whole = _mm512_maskz_cvttpd_epi32(kAll, _mm512_div_pd(s, (__m512d)divisors));
    // The low byte of each 32-bit value, as the conversion to uint8_t takes it.
    _mm256_mask_cvtepi32_storeu_epi8(out, kAll, whole);
  }
};

// The same quotients truncated in double (whole numbers below 256 are exact there), for the pass
// that sums them again: no conversion to integers and back.
struct WholeQuotients512 {
  static constexpr int kTruncate = _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC;
  static inline __attribute__((always_inline)) void Store(const Lanes& sums, const Lanes& divisors,
                                                          const Lanes& inverses, double* out) {
    const __m512d s = (__m512d)sums;
    const __m512d product = _mm512_mul_pd(s, (__m512d)inverses);
    // As the bytes are checked above: both ends of the quotient's interval truncated.
    const __m512d margin = _mm512_set1_pd(kNearInteger);
    const __m512d below = _mm512_maskz_roundscale_pd(kAll, _mm512_sub_pd(product, margin), kTruncate);
    __m512d whole = _mm512_maskz_roundscale_pd(kAll, _mm512_add_pd(product, margin), kTruncate);
    const __mmask8 near = _mm512_cmp_pd_mask(below, whole, _CMP_NEQ_OQ);
    if (__builtin_expect(near != 0, 0)) {
      whole = _mm512_maskz_roundscale_pd(kAll, _mm512_div_pd(s, (__m512d)divisors), kTruncate);
    }
    _mm512_storeu_pd(out, whole);
  }
};

}  // namespace

void WindowSums512(const double* base, const size_t* offsets, const double* weights, size_t taps, size_t n,
                   double divisor, uint8_t* out) {
  WindowSumsWith<8, Quotients512>(base, offsets, weights, taps, n, divisor, out);
}

void WindowSumsWhole512(const double* base, const size_t* offsets, const double* weights, size_t taps, size_t n,
                        double divisor, double* out) {
  WindowSumsWith<8, WholeQuotients512>(base, offsets, weights, taps, n, divisor, out);
}

void ToDouble512(double* out, const uint8_t* in, size_t n) { ToDoubleLoop(out, in, n); }

}  // namespace rastfx
