// The descreen filter's inner loops: weighted window sums over rows in double, truncated to bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rastfx {

// out[i] = trunc((base[offsets[0] + i] weights[0] + ... + base[offsets[taps - 1] + i]
// weights[taps - 1]) / divisor) for i < n: the terms added in the order given, each product and each sum rounded on
// its own, then one correctly rounded quotient truncated toward zero. At least one tap; the terms
// must be at least 0 and the quotients below 256 (a weighted mean of bytes).
void WindowSums(const double* base, const size_t* offsets, const double* weights, size_t taps, size_t n,
                double divisor, uint8_t* out);

// The same bytes, each stored as a whole number in double, for a pass that sums them again.
void WindowSumsWhole(const double* base, const size_t* offsets, const double* weights, size_t taps,
                     size_t n, double divisor, double* out);

// out[i] = in[i] for i < n.
void ToDouble(double* out, const uint8_t* in, size_t n);

}  // namespace rastfx
