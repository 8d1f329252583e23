// The builds of window_sums.cc's loops for particular vector units, each in a file compiled for
// its unit and called only where the processor has it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rastfx {

void WindowSums512(const double* base, const size_t* offsets, const double* weights, size_t taps, size_t n,
                   double divisor, uint8_t* out);
void WindowSumsWhole512(const double* base, const size_t* offsets, const double* weights, size_t taps, size_t n,
                        double divisor, double* out);
void ToDouble512(double* out, const uint8_t* in, size_t n);
void WindowSums256(const double* base, const size_t* offsets, const double* weights, size_t taps, size_t n,
                   double divisor, uint8_t* out);
void WindowSumsWhole256(const double* base, const size_t* offsets, const double* weights, size_t taps, size_t n,
                        double divisor, double* out);
void ToDouble256(double* out, const uint8_t* in, size_t n);

}  // namespace rastfx
