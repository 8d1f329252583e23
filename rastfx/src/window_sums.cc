// The descreen filter's inner loops, picked once for the vector units of the machine they run on.
// Each output byte's terms are added in the order given, one running sum a byte; the builds only
// choose how many bytes are summed side by side and how the quotient is found, never the order of
// one byte's terms, so every build gives the same bytes. Contraction into fused multiply-adds is
// off for the whole library (CMakeLists.txt).
#include "window_sums.h"

#include "window_sums_loops.h"
#include "window_sums_targets.h"

namespace rastfx {
namespace {

using WindowSumsFunction = void (*)(const double*, const size_t*, const double*, size_t, size_t, double, uint8_t*);
using WindowSumsWholeFunction = void (*)(const double*, const size_t*, const double*, size_t, size_t, double, double*);
using ToDoubleFunction = void (*)(double*, const uint8_t*, size_t);

// The baseline: two sums of four 16-byte quarters each, eight of the sixteen registers, and every
// quotient divided.
void WindowSumsBaseline(const double* base, const size_t* offsets, const double* weights, size_t taps, size_t n,
                        double divisor, uint8_t* out) {
  WindowSumsWith<2, DividedQuotients>(base, offsets, weights, taps, n, divisor, out);
}
void WindowSumsWholeBaseline(const double* base, const size_t* offsets, const double* weights, size_t taps, size_t n,
                             double divisor, double* out) {
  WindowSumsWith<2, DividedQuotients>(base, offsets, weights, taps, n, divisor, out);
}
void ToDoubleBaseline(double* out, const uint8_t* in, size_t n) { ToDoubleLoop(out, in, n); }

struct Kernels {
  WindowSumsFunction windowSums = WindowSumsBaseline;
  WindowSumsWholeFunction windowSumsWhole = WindowSumsWholeBaseline;
  ToDoubleFunction toDouble = ToDoubleBaseline;
};

Kernels Pick() {
  Kernels k;
#ifdef RASTFX_VECTOR_BUILDS
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl")) {
    k.windowSums = WindowSums512;
    k.windowSumsWhole = WindowSumsWhole512;
    k.toDouble = ToDouble512;
  } else if (__builtin_cpu_supports("avx2")) {
    k.windowSums = WindowSums256;
    k.windowSumsWhole = WindowSumsWhole256;
    k.toDouble = ToDouble256;
  }
#endif
  return k;
}

const Kernels& Chosen() {
  static const Kernels kernels = Pick();
  return kernels;
}

}  // namespace

void WindowSums(const double* base, const size_t* offsets, const double* weights, size_t taps, size_t n, double divisor,
                uint8_t* out) {
  Chosen().windowSums(base, offsets, weights, taps, n, divisor, out);
}

void WindowSumsWhole(const double* base, const size_t* offsets, const double* weights, size_t taps, size_t n,
                     double divisor, double* out) {
  Chosen().windowSumsWhole(base, offsets, weights, taps, n, divisor, out);
}

void ToDouble(double* out, const uint8_t* in, size_t n) { Chosen().toDouble(out, in, n); }

}  // namespace rastfx
