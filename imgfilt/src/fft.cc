#include "fft.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace imgfilt {

Fft::Fft(size_t size) : size_(size) {
  for (size_t span = 1; span <= 2 * size; span *= 2) {
    sines_.push_back(static_cast<float>(std::sin(2.0 * std::numbers::pi / static_cast<double>(span))));
  }
}

void Fft::Forward(float* re, float* im, size_t stride) const {
  const size_t n = size_;
  auto at = [stride](size_t i) { return i * stride; };
  for (size_t i = 0, j = 0; i < n; ++i) {  // bit-reversed order
    if (j > i) {
      std::swap(re[at(i)], re[at(j)]);
      std::swap(im[at(i)], im[at(j)]);
    }
    size_t bit = n >> 1;
    for (; bit >= 1 && (j & bit) != 0; bit >>= 1) j ^= bit;
    j |= bit;
  }
  size_t level = 1;  // span 2^level
  for (size_t half = 1; half < n; half *= 2, ++level) {
    // Twiddle e^(-i theta) advanced by the recurrence w += w (cos theta - 1) - ... in single
    // precision, theta = 2 pi / span: cos theta - 1 = -2 sin^2(theta / 2).
    const float sHalf = sines_[level + 1];
    const float cosMinus1 = -2.0f * sHalf * sHalf;
    const float sinTheta = -sines_[level];
    float wr = 1.0f, wi = 0.0f;
    for (size_t k = 0; k < half; ++k) {
      for (size_t i = k; i < n; i += 2 * half) {
        const size_t j = i + half;
        const float tr = wr * re[at(j)] - wi * im[at(j)];
        const float ti = wr * im[at(j)] + wi * re[at(j)];
        re[at(j)] = re[at(i)] - tr;
        im[at(j)] = im[at(i)] - ti;
        re[at(i)] += tr;
        im[at(i)] += ti;
      }
      const float t = wr;
      wr += wr * cosMinus1 - wi * sinTheta;
      wi += wi * cosMinus1 + t * sinTheta;
    }
  }
}

namespace {

void Transpose(float* a, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = i + 1; j < n; ++j) std::swap(a[i * n + j], a[j * n + i]);
  }
}

}  // namespace

void Fft::Forward2d(float* re, float* im) const {
  // Columns are transformed as rows of the transpose: contiguous points run several times faster
  // than points a row apart, and the sums are the same.
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t row = 0; row < size_; ++row) Forward(re + row * size_, im + row * size_, 1);
    Transpose(re, size_);
    Transpose(im, size_);
  }
}

}  // namespace imgfilt
