// A single-precision radix-2 fast Fourier transform, enough for the 128 x 128 blocks of screen
// detection.
#ifndef IMGFILT_SRC_FFT_H_
#define IMGFILT_SRC_FFT_H_

#include <cstddef>
#include <vector>

namespace imgfilt {

class Fft {
 public:
  // Transforms of `size` points (a power of two, at least 2). Builds its sine table, sin(2 pi /
  // 2^n) for n = 0, 1, ..., once.
  explicit Fft(size_t size);

  // Unnormalised forward transform, X[k] = sum x[j] e^(-2 pi i jk / size), in place over the
  // points re[i * stride], im[i * stride].
  void Forward(float* re, float* im, size_t stride) const;

  // Rows, then columns, of a size x size array stored row after row.
  void Forward2d(float* re, float* im) const;

 private:
  size_t size_;
  std::vector<float> sines_;  // sines_[n] = sin(2 pi / 2^n)
};

}  // namespace imgfilt

#endif  // IMGFILT_SRC_FFT_H_
