// The loops of window_sums.cc, built once for each vector unit in a file of its own. Everything
// here has internal linkage, so no build's copy can stand in for another's at link time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace rastfx {
namespace {

// Eight doubles a vector (GCC's and Clang's vector extension: split into what the target has);
// element-wise arithmetic rounds each lane exactly as the plain expression would.
typedef double Lanes __attribute__((vector_size(64)));
constexpr size_t kLaneCount = sizeof(Lanes) / sizeof(double);
typedef int32_t Ints __attribute__((vector_size(kLaneCount * sizeof(int32_t))));

// A vector division costs about as much as sixteen additions, so the vector builds first take the
// quotient as sum x (1 / divisor). Its two roundings put that product within 3 x 2^-53 x 256 <
// 1e-13 of the exact quotient (below 256: a weighted mean of bytes), and the correctly rounded
// quotient lies within 2^-53 x 256 of it: when the product is further than kNearInteger from every
// whole number k >= 1, both truncate to the same byte, and below 1 both truncate to 0. Quotients
// that close to a whole number (flat areas, mostly) are divided.
constexpr double kNearInteger = 1e-9;

// Each lane's quotient by division, truncated toward zero as the conversion of one double is, and
// stored as a byte or as a whole number in double.
struct DividedQuotients {
  template <class Out>
  static inline __attribute__((always_inline)) void Store(const Lanes& sums, const Lanes& divisors,
                                                          const Lanes&, Out* out) {
    Ints whole = __builtin_convertvector(sums / divisors, Ints);
    for (size_t k = 0; k < kLaneCount; ++k) out[k] = Out(whole[k]);
  }
};

// A weight in every lane, loaded straight into the vector (no addition to a zero vector).
#define RASTFX_BROADCAST(w) Lanes{w, w, w, w, w, w, w, w}
static_assert(kLaneCount == 8);

// kVectors x 8 output bytes from `i` on, one running sum a byte held in registers across the
// window, so that kVectors additions are under way at once.
// The first term is taken as it is: 0 + p is p for every product of a weight and a byte (none is
// negative).
template <size_t kVectors, class Quotients, class Out>
inline __attribute__((always_inline)) void WindowBlock(const double* base, const size_t* offsets, const double* weights,
                                                       size_t taps, size_t i, const Lanes& divisors,
                                                       const Lanes& inverses, Out* out) {
  Lanes sums[kVectors];
  {
    const Lanes weight = RASTFX_BROADCAST(weights[0]);
    const double* source = base + offsets[0] + i;
    for (size_t v = 0; v < kVectors; ++v) {
      Lanes a;
      std::memcpy(&a, source + v * kLaneCount, sizeof a);
      sums[v] = a * weight;
    }
  }
  for (size_t t = 1; t < taps; ++t) {
    const double* source = base + offsets[t] + i;
    if (weights[t] == 1.0) {
      // The window's centre: a x 1 is a, so its product needs no multiplication.
      for (size_t v = 0; v < kVectors; ++v) {
        Lanes a;
        std::memcpy(&a, source + v * kLaneCount, sizeof a);
        sums[v] += a;
      }
      continue;
    }
    const Lanes weight = RASTFX_BROADCAST(weights[t]);
    for (size_t v = 0; v < kVectors; ++v) {
      Lanes a;
      std::memcpy(&a, source + v * kLaneCount, sizeof a);
      sums[v] += a * weight;
    }
  }
  for (size_t v = 0; v < kVectors; ++v) {
    Quotients::Store(sums[v], divisors, inverses, out + i + v * kLaneCount);
  }
}

// The lanes left over after the last whole vector, one at a time.
template <class Out>
inline void PlainWindowSums(const double* base, const size_t* offsets, const double* weights, size_t taps,
                            size_t from, size_t n, double divisor, Out* out) {
  for (size_t i = from; i < n; ++i) {
    double sum = 0.0;
    for (size_t t = 0; t < taps; ++t) sum += base[offsets[t] + i] * weights[t];
    out[i] = Out(int(sum / divisor));
  }
}

// kVectors: enough vectors side by side to cover an addition's latency on the target's two
// adders, few enough that the sums stay in its registers.
template <size_t kVectors, class Quotients, class Out>
inline __attribute__((always_inline)) void WindowSumsWith(const double* base, const size_t* offsets,
                                                          const double* weights, size_t taps, size_t n, double divisor,
                                                          Out* out) {
  const Lanes divisors = Lanes{} + divisor;
  const Lanes inverses = Lanes{} + 1.0 / divisor;
  size_t i = 0;
  for (; i + kVectors * kLaneCount <= n; i += kVectors * kLaneCount) {
    WindowBlock<kVectors, Quotients, Out>(base, offsets, weights, taps, i, divisors, inverses, out);
  }
  for (; i + kLaneCount <= n; i += kLaneCount) {
    WindowBlock<1, Quotients, Out>(base, offsets, weights, taps, i, divisors, inverses, out);
  }
  PlainWindowSums(base, offsets, weights, taps, i, n, divisor, out);
}

inline __attribute__((always_inline)) void ToDoubleLoop(double* __restrict out, const uint8_t* __restrict in,
                                                        size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = in[i];
}

}  // namespace
}  // namespace rastfx
