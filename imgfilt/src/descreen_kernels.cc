#include "descreen_kernels.h"

#include <algorithm>
#include <array>

namespace imgfilt {
namespace {

// Rows of the selection table, by the smaller resolution.
int ResolutionRow(uint16_t r) {
  if (r == 150) return 6;
  if (r == 200) return 5;
  if (r < 300) return 0;
  if (r < 400) return 1;
  if (r < 500) return 2;
  if (r < 600) return 3;
  return 4;
}

int RulingClass(uint8_t s) {
  if (s < 85) return 0;
  if (s < 100) return 1;
  if (s < 150) return 2;
  if (s < 175) return 3;
  if (s < 200) return 4;
  return 5;
}

constexpr int kSelection[7][6] = {
    {6, 6, 8, 8, 8, 8},       // below 300 (not 150 or 200)
    {10, 10, 10, 10, 6, 9},   // 300..399
    {13, 13, 13, 1, 1, 6},    // 400..499
    {3, 3, 2, 2, 1, 6},       // 500..599
    {12, 12, 12, 3, 10, 1},   // 600 and above
    {11, 11, 11, 11, 8, 8},   // 200
    {6, 6, 8, 8, 10, 8},      // 150
};

// Weights of the linear kernels: three lines by five taps.
constexpr int kWeights28[3][5] = {{1, 2, 2, 2, 1}, {2, 2, 4, 2, 2}, {1, 2, 2, 2, 1}};
constexpr int kWeights18[3][5] = {{0, 1, 2, 1, 0}, {1, 2, 4, 2, 1}, {0, 1, 2, 1, 0}};

class Window {
 public:
  Window(const DescreenRows& rows, size_t pixels, int bpp, size_t byte)
      : rows_(rows), last_(static_cast<ptrdiff_t>(pixels) - 1), bpp_(bpp),
        x_(static_cast<ptrdiff_t>(byte) / bpp), channel_(static_cast<ptrdiff_t>(byte) % bpp) {}

  // Value dx pixels right of the centre on line dy (-2..2), edge columns repeated.
  int At(int dy, int dx) const { return rows_.line[dy + 2][Offset(std::clamp<ptrdiff_t>(x_ + dx, 0, last_))]; }
  bool Inside(int dx) const { return x_ + dx >= 0 && x_ + dx <= last_; }
  int Unclamped(int dy, int dx) const { return rows_.line[dy + 2][Offset(x_ + dx)]; }

 private:
  size_t Offset(ptrdiff_t x) const { return static_cast<size_t>(x * bpp_ + channel_); }

  const DescreenRows& rows_;
  ptrdiff_t last_;
  int bpp_;
  ptrdiff_t x_;
  ptrdiff_t channel_;
};

// The values of lines -1..1 and columns first..last, in ascending order.
template <size_t N>
std::array<int, N> Sorted(const Window& w, int first, int last) {
  std::array<int, N> v{};
  size_t n = 0;
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = first; dx <= last; ++dx) v[n++] = w.At(dy, dx);
  }
  std::sort(v.begin(), v.end());
  return v;
}

// Lines (-1, 0, 1) or (-2, 0, 2) and taps `spacing` apart; taps outside the line are left out
// and the weights left in divide the sum.
int Linear(const Window& w, const int (&weights)[3][5], int spacing) {
  int sum = 0, total = 0;
  for (int row = 0; row < 3; ++row) {
    const int dy = (row - 1) * spacing;
    for (int tap = 0; tap < 5; ++tap) {
      const int dx = (tap - 2) * spacing;
      if (!w.Inside(dx)) continue;
      sum += weights[row][tap] * w.Unclamped(dy, dx);
      total += weights[row][tap];
    }
  }
  return sum / total;
}

int Middle5(const std::array<int, 9>& o) { return (o[2] + o[3] + o[4] + o[5] + o[6]) / 5; }

int FilterByte(int kernel, const Window& w) {
  switch (kernel) {
    case 1:
    case 7:
    case 3: {  // 3 wide: the three central order values of the 3 x 3 window
      const auto o = Sorted<9>(w, -1, 1);
      return (o[3] + 2 * o[4] + o[5]) >> 2;
    }
    case 2: {
      const auto p = Sorted<12>(w, -2, 1);
      return (p[5] + p[6]) >> 1;
    }
    case 4: {  // 5 wide: four central order values of fifteen
      const auto o = Sorted<15>(w, -2, 2);
      return (o[5] + o[6] + o[7] + o[8]) >> 2;
    }
    case 5: {
      const auto o = Sorted<15>(w, -2, 2);
      return (o[6] + 2 * o[7] + o[8]) >> 2;
    }
    case 6: return Middle5(Sorted<9>(w, -1, 1));
    case 8: return (w.At(0, -1) + 4 * w.At(0, 0) + w.At(0, 1) + w.At(-1, 0) + w.At(1, 0)) >> 3;
    case 9: return (w.At(0, 0) + Middle5(Sorted<9>(w, -1, 1))) >> 1;
    case 10: return Linear(w, kWeights28, 1);
    case 11: return Linear(w, kWeights18, 1);
    case 12: return Linear(w, kWeights28, 2);
    case 13: return Linear(w, kWeights18, 2);
    default: return w.At(0, 0);
  }
}

}  // namespace

int SelectDescreenKernel(uint16_t resolution, uint8_t screenRuling) {
  return kSelection[ResolutionRow(resolution)][RulingClass(screenRuling)];
}

size_t DescreenMinWidth(int kernel) {
  switch (kernel) {
    case 2:
    case 3: return 3;
    case 4:
    case 5:
    case 10:
    case 11: return 4;
    case 12:
    case 13: return 5;
    default: return 1;
  }
}

void DescreenBytesPlain(int kernel, const DescreenRows& rows, uint8_t* out, size_t pixels, int bpp,
                        size_t begin, size_t end) {
  for (size_t b = begin; b < end; ++b) {
    out[b] = static_cast<uint8_t>(std::clamp(FilterByte(kernel, Window(rows, pixels, bpp, b)), 0, 255));
  }
}

void DescreenRowPlain(int kernel, const DescreenRows& rows, uint8_t* out, size_t pixels, int bpp) {
  if (pixels < DescreenMinWidth(kernel)) return;
  DescreenBytesPlain(kernel, rows, out, pixels, bpp, 0, pixels * static_cast<size_t>(bpp));
}

}  // namespace imgfilt
