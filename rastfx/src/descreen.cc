// The descreen filter's two passes. Each output byte is a sum of products taken in window order
// (top to bottom, left to right) and then divided, exactly as the plain definition reads; the
// loops only change which bytes are worked on together, never the order of one byte's terms,
// so the vector code the compiler makes gives the same bytes as the plain loops.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "descreen.h"
#include "platform/host/host.h"
#include "platform/memory/memory.h"

// The hot loops are built for the vector units of the machine they run on, picked at load time.
// Contraction into fused multiply-adds is off for the whole library (CMakeLists.txt), so every
// build rounds each product and each sum on its own.
// A build may define RASTFX_CLONES itself (empty: the baseline instruction set only).
#ifndef RASTFX_CLONES
#if defined(__x86_64__) && !defined(__clang__)
#define RASTFX_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define RASTFX_CLONES
#endif
#endif

namespace rastfx {
namespace {

// Output bytes worked on together: their sums stay in vector registers across the whole window.
// Eight doubles a vector (GCC's and Clang's vector extension: split into what the target has);
// element-wise arithmetic rounds each lane exactly as the plain expression would.
typedef double Lanes __attribute__((vector_size(64)));
constexpr size_t kLaneCount = sizeof(Lanes) / sizeof(double);
typedef int32_t Ints __attribute__((vector_size(kLaneCount * sizeof(int32_t))));
constexpr size_t kWide = 2;  // vectors summed side by side: enough to cover an addition's latency

// Columns of the vertical pass worked on together: the window's rows of them stay in the
// second-level cache however wide the page.
constexpr size_t kStrip = 1024;

struct Work {
  uint8_t* image;  // height x stride bytes
  double* row;     // one row of the work image in double
  double* ring;    // a strip of the caller's rows in double, the window's rows of it at a time
  size_t ringRows;
};

size_t Align(size_t n) { return (n + 63) / 64 * 64; }

size_t RingRows(uint32_t radius, uint32_t height) { return size_t(std::min<uint64_t>(2 * uint64_t(radius) + 1, height)); }

Work Layout(void* memory, size_t imageBytes, size_t rowBytes, size_t ringRows) {
  auto* base = static_cast<uint8_t*>(memory);
  Work w;
  w.image = base;
  w.row = reinterpret_cast<double*>(base + Align(imageBytes));
  w.ring = w.row + Align(rowBytes);  // ringRows x kStrip
  w.ringRows = ringRows;
  return w;
}

uint8_t Truncate(double value) { return uint8_t(int(value)); }

// out[i] = (sources[0][i] w[0] + sources[1][i] w[1] + ...) / divisor, truncated: the terms in
// window order, each product rounded and added on its own.
// kVectors x 8 output bytes from `i` on: one running sum per lane, so the additions of different
// bytes overlap while each byte's stay in window order.
template <size_t kVectors>
inline __attribute__((always_inline)) void WindowBlock(const double* const* sources,
                                                       const double* weights, size_t taps, size_t i,
                                                       const Lanes& divisors, uint8_t* out) {
  Lanes sums[kVectors] = {};
  for (size_t t = 0; t < taps; ++t) {
    const Lanes weight = Lanes{} + weights[t];
    const double* source = sources[t] + i;
    for (size_t v = 0; v < kVectors; ++v) {
      Lanes a;
      std::memcpy(&a, source + v * kLaneCount, sizeof a);
      sums[v] += a * weight;
    }
  }
  for (size_t v = 0; v < kVectors; ++v) {
    // Truncated toward zero, as the conversion of one double to int is.
    Ints q = __builtin_convertvector(sums[v] / divisors, Ints);
    for (size_t k = 0; k < kLaneCount; ++k) out[i + v * kLaneCount + k] = uint8_t(q[k]);
  }
}

RASTFX_CLONES
void WindowSums(const double* const* sources, const double* weights, size_t taps, size_t n,
                double divisor, uint8_t* __restrict out) {
  const Lanes divisors = Lanes{} + divisor;
  size_t i = 0;
  for (; i + kWide * kLaneCount <= n; i += kWide * kLaneCount) {
    WindowBlock<kWide>(sources, weights, taps, i, divisors, out);
  }
  for (; i + kLaneCount <= n; i += kLaneCount) WindowBlock<1>(sources, weights, taps, i, divisors, out);
  for (; i < n; ++i) {
    double sum = 0.0;
    for (size_t t = 0; t < taps; ++t) sum += sources[t][i] * weights[t];
    out[i] = Truncate(sum / divisor);
  }
}

RASTFX_CLONES
void ToDouble(double* __restrict out, const uint8_t* __restrict in, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = in[i];
}

// The taps of one window: where each term's row (or row offset) starts and its weight.
struct Taps {
  std::vector<const double*> sources;
  std::vector<double> weights;
};

// Bytes [c0, c0 + len) of row y of the work image from the caller's rows y - top .. y + bottom,
// read from the ring.
void VerticalStripRow(const Work& w, size_t len, uint32_t y, uint32_t height, const DescreenKernel& k,
                      Taps& taps, uint8_t* out) {
  uint32_t top = std::min(y, k.radius);
  uint32_t bottom = std::min(k.radius, height - 1 - y);
  taps.sources.clear();
  taps.weights.clear();
  for (uint32_t t = y - top; t <= y + bottom; ++t) {
    taps.sources.push_back(w.ring + (t % w.ringRows) * kStrip);
    taps.weights.push_back(k.weights[t > y ? t - y : y - t]);
  }
  WindowSums(taps.sources.data(), taps.weights.data(), taps.sources.size(), len,
             k.cumulative[top] + k.cumulative[bottom] + 1.0, out);
}

// The vertical pass over one strip of columns, every row.
void VerticalStrip(const uint8_t* rows, size_t stride, size_t c0, size_t len, uint32_t height,
                   const DescreenKernel& k, const Work& w, Taps& taps) {
  // The caller's rows enter the ring in double once each, just before the first window that
  // reaches them; a row leaves it when no later window does.
  uint32_t converted = 0;
  for (uint32_t y = 0; y < height; ++y) {
    uint32_t needed = uint32_t(std::min<uint64_t>(uint64_t(y) + k.radius + 1, height));
    for (; converted < needed; ++converted) {
      ToDouble(w.ring + (converted % w.ringRows) * kStrip, rows + size_t(converted) * stride + c0, len);
    }
    VerticalStripRow(w, len, y, height, k, taps, w.image + size_t(y) * stride + c0);
  }
}

// One pixel's bytes with its window cut at the row's ends.
void EdgePixel(const double* row, uint32_t x, uint32_t width, uint32_t bpp, const DescreenKernel& k,
               uint8_t* out) {
  uint32_t left = std::min(x, k.radius);
  uint32_t right = std::min(k.radius, width - 1 - x);
  double divisor = k.cumulative[left] + k.cumulative[right] + 1.0;
  for (uint32_t c = 0; c < bpp; ++c) {
    double sum = 0.0;
    for (uint32_t t = x - left; t <= x + right; ++t) {
      sum += row[size_t(t) * bpp + c] * k.weights[t > x ? t - x : x - t];
    }
    out[size_t(x) * bpp + c] = Truncate(sum / divisor);
  }
}

// Row `out` filtered along its length, in place.
void HorizontalRow(uint8_t* out, uint32_t width, uint32_t bpp, const DescreenKernel& k, Taps& taps,
                   double* row) {
  size_t n = size_t(width) * bpp;
  ToDouble(row, out, n);
  uint32_t r = k.radius;
  // Pixels whose whole window lies inside the row, worked on together: the term of tap t for
  // output byte first + i is the byte i + t x bpp.
  if (width > 2 * uint64_t(r)) {
    size_t first = size_t(r) * bpp, last = size_t(width - r) * bpp;  // bytes [first, last)
    taps.sources.clear();
    taps.weights.clear();
    for (uint32_t t = 0; t <= 2 * r; ++t) {
      taps.sources.push_back(row + size_t(t) * bpp);
      taps.weights.push_back(k.weights[t > r ? t - r : r - t]);
    }
    WindowSums(taps.sources.data(), taps.weights.data(), taps.sources.size(), last - first,
               k.cumulative[r] + k.cumulative[r] + 1.0, out + first);
  }
  for (uint32_t x = 0; x < width; ++x) {
    bool inside = x >= r && uint64_t(x) + r < width;
    if (!inside) EdgePixel(row, x, width, bpp, k, out);
  }
}

}  // namespace

uint64_t DescreenWorkBytes(uint32_t bytesPerPixel, uint32_t width, uint32_t height, uint32_t radius) {
  uint64_t stride = DescreenStride(width, bytesPerPixel);
  uint64_t n = Align(uint64_t(width) * bytesPerPixel);
  return Align(stride * height) + (n + uint64_t(RingRows(radius, height)) * kStrip) * sizeof(double);
}

void DescreenRows(uint8_t* rows, uint32_t bpp, uint32_t width, uint32_t height,
                  const DescreenKernel& k, void* memory) {
  size_t stride = DescreenStride(width, bpp);
  size_t n = size_t(width) * bpp;
  Work w = Layout(memory, stride * height, n, RingRows(k.radius, height));
  Taps taps;
  taps.sources.reserve(2 * size_t(k.radius) + 1);
  taps.weights.reserve(2 * size_t(k.radius) + 1);
  for (size_t c0 = 0; c0 < n; c0 += kStrip) {
    VerticalStrip(rows, stride, c0, std::min(kStrip, n - c0), height, k, w, taps);
  }
  for (uint32_t y = 0; y < height; ++y) {
    HorizontalRow(w.image + size_t(y) * stride, width, bpp, k, taps, w.row);
  }
  // The caller's rows were read until the last strip's last window: they are written last.
  for (uint32_t y = 0; y < height; ++y) {
    std::memcpy(rows + size_t(y) * stride, w.image + size_t(y) * stride, n);
  }
}

void Descreen(uint8_t* rows, uint32_t bitsPerPixel, uint32_t width, uint32_t height, double sigma) {
  if (!rows || width == 0 || height == 0) return;
  if (bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32) return;
  if (!std::isfinite(sigma) || !(sigma > 0.0)) return;
  uint32_t bpp = bitsPerPixel / 8;
  try {
    DescreenKernel kernel = MakeDescreenKernel(sigma, std::max(width, height));
    uint64_t bytes = DescreenWorkBytes(bpp, width, height, kernel.radius);
    if (bytes > platform::WorkMemory::kMaxBlock) return;
    platform::WorkMemory& memory = platform::Host::Current().memory();
    void* work = memory.VirtualAlloc(nullptr, size_t(bytes), platform::MEM_COMMIT | platform::MEM_RESERVE,
                                     platform::PAGE_READWRITE);
    if (!work) return;
    DescreenRows(rows, bpp, width, height, kernel, work);
    memory.VirtualFree(work, 0, platform::MEM_RELEASE);
  } catch (...) {
    // No work memory or no host: the rows stay as they were.
  }
}

}  // namespace rastfx
