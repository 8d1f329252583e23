#include <algorithm>
#include <array>

#include "kernel.h"

namespace imgfilt {
namespace {

uint8_t Clamp255(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

// The window around one output byte: channel `channel` of pixel `x`.
class Window {
 public:
  Window(const Rows& rows, size_t pixels, int bpp, size_t byte)
      : rows_(rows), last_(static_cast<ptrdiff_t>(pixels) - 1), bpp_(bpp),
        x_(static_cast<ptrdiff_t>(byte) / bpp), channel_(static_cast<ptrdiff_t>(byte) % bpp) {}

  // Value `dx` pixels right of the centre on line `dy` (-1 above, 0 current, 1 below).
  int At(int dy, int dx) const {
    const uint8_t* row = dy < 0 ? rows_.above : dy > 0 ? rows_.below : rows_.current;
    const ptrdiff_t x = std::clamp<ptrdiff_t>(x_ + dx, 0, last_);
    return row[x * bpp_ + channel_];
  }
  // Sum of the three lines of column dx.
  int Column(int dx) const { return At(-1, dx) + At(0, dx) + At(1, dx); }

 private:
  const Rows& rows_;
  ptrdiff_t last_;
  int bpp_;
  ptrdiff_t x_;
  ptrdiff_t channel_;
};

int Sum9(const Window& w) { return w.Column(-1) + w.Column(0) + w.Column(1); }

uint8_t EightNeighbour(const Window& w, int a) {
  return Clamp255(((a + 1) * w.At(0, 0) - Sum9(w)) / (a - 8));
}

uint8_t FourNeighbour(const Window& w, int a) {
  const int p = w.At(0, 0);
  const int cross = w.At(0, -1) + w.At(0, 1) + w.At(-1, 0) + p + w.At(1, 0);
  return Clamp255(((a + 1) * p - cross) / (a - 4));
}

uint8_t Unsharp(const Window& w, int strength) {
  const int p = w.At(0, 0);
  const int cross = w.At(0, -1) + w.At(0, 1) + w.At(-1, 0) + p + w.At(1, 0);
  return Clamp255(p + ((strength * (p - cross / 5)) >> 4));
}

uint8_t Weighted5(const Window& w) {
  auto v = [&w](int dx) { return 2 * w.At(-1, dx) + 3 * w.At(0, dx) + 2 * w.At(1, dx); };
  return Clamp255((v(-2) + 2 * v(-1) + 3 * v(0) + 2 * v(1) + v(2)) / 63);
}

uint8_t Box5(const Window& w) {
  int sum = 0;
  for (int dx = -2; dx <= 2; ++dx) sum += w.Column(dx);
  return Clamp255(sum / 15);
}

uint8_t Median3(const Window& w) {
  std::array<int, 9> v{};
  size_t n = 0;
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) v[n++] = w.At(dy, dx);
  }
  std::nth_element(v.begin(), v.begin() + 4, v.end());
  return static_cast<uint8_t>(v[4]);
}

uint8_t FilterByte(const Kernel& k, const Window& w) {
  switch (k.type) {
    case KernelType::kEightNeighbour: return EightNeighbour(w, k.param);
    case KernelType::kFourNeighbour: return FourNeighbour(w, k.param);
    case KernelType::kUnsharp: return Unsharp(w, k.param);
    case KernelType::kBox3: return Clamp255(Sum9(w) / 9);
    case KernelType::kWeighted5: return Weighted5(w);
    case KernelType::kBox5: return Box5(w);
    case KernelType::kMedian3: return Median3(w);
  }
  return 0;
}

}  // namespace

void FilterBytesPlain(const Kernel& kernel, const Rows& rows, uint8_t* out, size_t pixels,
                      size_t begin, size_t end) {
  for (size_t b = begin; b < end; ++b) out[b] = FilterByte(kernel, Window(rows, pixels, kernel.bpp, b));
}

void FilterRowPlain(const Kernel& kernel, const Rows& rows, uint8_t* out, size_t pixels) {
  FilterBytesPlain(kernel, rows, out, pixels, 0, pixels * kernel.bpp);
}

}  // namespace imgfilt
