// The window sums for AVX2 (this file is built with -mavx2): eight 32-byte sums side by side, eight
// of the sixteen registers. Written with the unit's own vectors: GCC takes the 64-byte vectors of
// window_sums_loops.h apart through memory on this unit, at a tenth of the speed.
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
  if (__builtin_expect(_mm256_movemask_pd(near) != 0, 0)) {
    return _mm256_round_pd(_mm256_div_pd(sums, divisors), kTruncate);
  }
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

// Two vectors' bytes.
struct Quotients256 {
  static inline __attribute__((always_inline)) void Store(__m256d s0, __m256d s1, __m256d divisors,
                                                          __m256d inverses, uint8_t* out) {
    // Values of 0 to 255: the saturating packs keep them as they are.
    const __m128i words = _mm_packus_epi32(Quarter(s0, divisors, inverses), Quarter(s1, divisors, inverses));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, words));
  }
};

struct WholeQuotients256 {
  static inline __attribute__((always_inline)) void Store(__m256d s0, __m256d s1, __m256d divisors,
                                                          __m256d inverses, double* out) {
    _mm256_storeu_pd(out, WholeQuarter(s0, divisors, inverses));
    _mm256_storeu_pd(out + 4, WholeQuarter(s1, divisors, inverses));
  }
};

// kVectors x 4 output bytes from `i` on (kVectors even), as WindowBlock in window_sums_loops.h.
template <size_t kVectors, class Quotients, class Out>
inline __attribute__((always_inline)) void Block256(const double* base, const size_t* offsets, const double* weights,
                                                    size_t taps, size_t i, __m256d divisors, __m256d inverses,
                                                    Out* out) {
  __m256d sums[kVectors];
  {
    const __m256d weight = _mm256_broadcast_sd(weights);
    const double* source = base + offsets[0] + i;
    for (size_t v = 0; v < kVectors; ++v) sums[v] = _mm256_mul_pd(_mm256_loadu_pd(source + 4 * v), weight);
  }
  for (size_t t = 1; t < taps; ++t) {
    const double* source = base + offsets[t] + i;
    if (weights[t] == 1.0) {
      for (size_t v = 0; v < kVectors; ++v) sums[v] = _mm256_add_pd(sums[v], _mm256_loadu_pd(source + 4 * v));
      continue;
    }
    const __m256d weight = _mm256_broadcast_sd(weights + t);
    for (size_t v = 0; v < kVectors; ++v) {
      sums[v] = _mm256_add_pd(sums[v], _mm256_mul_pd(_mm256_loadu_pd(source + 4 * v), weight));
    }
  }
  for (size_t v = 0; v < kVectors; v += 2) {
    Quotients::Store(sums[v], sums[v + 1], divisors, inverses, out + i + 4 * v);
  }
}

template <class Quotients, class Out>
inline __attribute__((always_inline)) void Sums256(const double* base, const size_t* offsets, const double* weights,
                                                   size_t taps, size_t n, double divisor, Out* out) {
  const __m256d divisors = _mm256_set1_pd(divisor);
  const __m256d inverses = _mm256_set1_pd(1.0 / divisor);
  size_t i = 0;
  for (; i + 32 <= n; i += 32) Block256<8, Quotients>(base, offsets, weights, taps, i, divisors, inverses, out);
  for (; i + 8 <= n; i += 8) Block256<2, Quotients>(base, offsets, weights, taps, i, divisors, inverses, out);
  PlainWindowSums(base, offsets, weights, taps, i, n, divisor, out);
}

}  // namespace

void WindowSums256(const double* base, const size_t* offsets, const double* weights, size_t taps, size_t n,
                   double divisor, uint8_t* out) {
  Sums256<Quotients256>(base, offsets, weights, taps, n, divisor, out);
}

void WindowSumsWhole256(const double* base, const size_t* offsets, const double* weights, size_t taps, size_t n,
                        double divisor, double* out) {
  Sums256<WholeQuotients256>(base, offsets, weights, taps, n, divisor, out);
}

void ToDouble256(double* out, const uint8_t* in, size_t n) { ToDoubleLoop(out, in, n); }

}  // namespace rastfx
