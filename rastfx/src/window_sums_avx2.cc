// The window sums for AVX2 (this file is built with -mavx2): four sums of two 32-byte halves each,
// eight of the sixteen registers.
#include <immintrin.h>

#include "window_sums_loops.h"
#include "window_sums_targets.h"

namespace rastfx {
namespace {

// Four lanes' quotients truncated, in double.
inline __attribute__((always_inline)) __m256d WholeQuarter(__m256d sums, __m256d divisors, __m256d inverses) {
  constexpr int kTruncate = _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC;
  const __m256d product = _mm256_mul_pd(sums, inverses);
  const __m256d whole = _mm256_round_pd(product, kTruncate);
  const __m256d fraction = _mm256_sub_pd(product, whole);
  const __m256d near = _mm256_or_pd(
      _mm256_and_pd(_mm256_cmp_pd(fraction, _mm256_set1_pd(kNearInteger), _CMP_LT_OQ),
                    _mm256_cmp_pd(product, _mm256_set1_pd(1.0), _CMP_GE_OQ)),
      _mm256_cmp_pd(fraction, _mm256_set1_pd(1.0 - kNearInteger), _CMP_GT_OQ));
  if (__builtin_expect(_mm256_movemask_pd(near) != 0, 0)) return _mm256_round_pd(_mm256_div_pd(sums, divisors), kTruncate);
  return whole;
}

// Four lanes' bytes in the low 32 bits of the result.
inline __attribute__((always_inline)) __m128i Quarter(__m256d sums, __m256d divisors, __m256d inverses) {
  const __m256d product = _mm256_mul_pd(sums, inverses);
  __m128i whole = _mm256_cvttpd_epi32(product);
  const __m256d fraction = _mm256_sub_pd(product, _mm256_cvtepi32_pd(whole));
  const __m256d near = _mm256_or_pd(
      _mm256_and_pd(_mm256_cmp_pd(fraction, _mm256_set1_pd(kNearInteger), _CMP_LT_OQ),
                    _mm256_cmp_pd(product, _mm256_set1_pd(1.0), _CMP_GE_OQ)),
      _mm256_cmp_pd(fraction, _mm256_set1_pd(1.0 - kNearInteger), _CMP_GT_OQ));
  if (__builtin_expect(_mm256_movemask_pd(near) != 0, 0)) whole = _mm256_cvttpd_epi32(_mm256_div_pd(sums, divisors));
  return _mm_and_si128(whole, _mm_set1_epi32(0xFF));  // the low byte, as the conversion to uint8_t takes it
}

struct Quotients256 {
  static inline __attribute__((always_inline)) void Store(const Lanes& sums, const Lanes& divisors,
                                                          const Lanes& inverses, uint8_t* out) {
    __m256d s[2], d[2], v[2];
    std::memcpy(s, &sums, sizeof s);
    std::memcpy(d, &divisors, sizeof d);
    std::memcpy(v, &inverses, sizeof v);
    // Values of 0 to 255: the saturating packs keep them as they are.
    const __m128i words = _mm_packus_epi32(Quarter(s[0], d[0], v[0]), Quarter(s[1], d[1], v[1]));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, words));
  }
};

struct WholeQuotients256 {
  static inline __attribute__((always_inline)) void Store(const Lanes& sums, const Lanes& divisors,
                                                          const Lanes& inverses, double* out) {
    __m256d s[2], d[2], v[2];
    std::memcpy(s, &sums, sizeof s);
    std::memcpy(d, &divisors, sizeof d);
    std::memcpy(v, &inverses, sizeof v);
    _mm256_storeu_pd(out, WholeQuarter(s[0], d[0], v[0]));
    _mm256_storeu_pd(out + 4, WholeQuarter(s[1], d[1], v[1]));
  }
};

}  // namespace

void WindowSums256(const double* base, const size_t* offsets, const double* weights, size_t taps, size_t n, double divisor,
                   uint8_t* out) {
  WindowSumsWith<4, Quotients256>(base, offsets, weights, taps, n, divisor, out);
}

void WindowSumsWhole256(const double* base, const size_t* offsets, const double* weights, size_t taps, size_t n,
                        double divisor, double* out) {
  WindowSumsWith<4, WholeQuotients256>(base, offsets, weights, taps, n, divisor, out);
}

void ToDouble256(double* out, const uint8_t* in, size_t n) { ToDoubleLoop(out, in, n); }

}  // namespace rastfx
