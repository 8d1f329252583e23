// The descreen filter's two passes. Each output byte is a sum of products taken in window order
// (top to bottom, left to right) and then divided, exactly as the plain definition reads; the
// loops only change which bytes are worked on together, never the order of one byte's terms,
// so the vector code the compiler makes gives the same bytes as the plain loops.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "descreen.h"
#include "platform/host/host.h"
#include "platform/memory/memory.h"

// The hot loops are built for the vector units of the machine they run on, picked at load time.
// Contraction into fused multiply-adds is off for the whole library (CMakeLists.txt), so every
// build rounds each product and each sum on its own.
#if defined(__x86_64__) && !defined(__clang__)
#define RASTFX_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define RASTFX_CLONES
#endif

namespace rastfx {
namespace {

// Columns worked on together: the accumulators stay in the first-level cache.
constexpr size_t kBlock = 1024;

struct Work {
  uint8_t* image;  // height x stride bytes
  double* sums;    // one row of accumulators
  double* row;     // one row of the work image in double
};

size_t Align(size_t n) { return (n + 63) / 64 * 64; }

Work Layout(void* memory, size_t imageBytes, size_t rowBytes) {
  auto* base = static_cast<uint8_t*>(memory);
  Work w;
  w.image = base;
  w.sums = reinterpret_cast<double*>(base + Align(imageBytes));
  w.row = w.sums + Align(rowBytes);
  return w;
}

uint8_t Truncate(double value) { return uint8_t(int(value)); }

RASTFX_CLONES
void AccumulateRow(double* sums, const uint8_t* source, double weight, size_t n) {
  for (size_t i = 0; i < n; ++i) sums[i] += double(source[i]) * weight;
}

RASTFX_CLONES
void AccumulateShifted(double* sums, const double* source, double weight, size_t n) {
  for (size_t i = 0; i < n; ++i) sums[i] += source[i] * weight;
}

RASTFX_CLONES
void DivideRow(uint8_t* out, const double* sums, double divisor, size_t n) {
  for (size_t i = 0; i < n; ++i) out[i] = uint8_t(int(sums[i] / divisor));
}

// Row y of the work image from the caller's rows y - top .. y + bottom.
void VerticalRow(const uint8_t* rows, size_t stride, size_t n, uint32_t y, uint32_t height,
                 const DescreenKernel& k, double* sums, uint8_t* out) {
  uint32_t top = std::min(y, k.radius);
  uint32_t bottom = std::min(k.radius, height - 1 - y);
  double divisor = k.cumulative[top] + k.cumulative[bottom] + 1.0;
  for (size_t b0 = 0; b0 < n; b0 += kBlock) {
    size_t len = std::min(kBlock, n - b0);
    std::fill(sums + b0, sums + b0 + len, 0.0);
    for (uint32_t t = y - top; t <= y + bottom; ++t) {
      double weight = k.weights[t > y ? t - y : y - t];
      AccumulateRow(sums + b0, rows + size_t(t) * stride + b0, weight, len);
    }
  }
  DivideRow(out, sums, divisor, n);
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
void HorizontalRow(uint8_t* out, uint32_t width, uint32_t bpp, const DescreenKernel& k, double* sums,
                   double* row) {
  size_t n = size_t(width) * bpp;
  for (size_t i = 0; i < n; ++i) row[i] = out[i];
  uint32_t r = k.radius;
  // Pixels whose whole window lies inside the row, worked on together.
  if (width > 2 * uint64_t(r)) {
    size_t first = size_t(r) * bpp, last = size_t(width - r) * bpp;  // bytes [first, last)
    for (size_t b0 = first; b0 < last; b0 += kBlock) {
      size_t len = std::min(kBlock, last - b0);
      std::fill(sums + b0, sums + b0 + len, 0.0);
      for (uint32_t t = 0; t <= 2 * r; ++t) {
        double weight = k.weights[t > r ? t - r : r - t];
        AccumulateShifted(sums + b0, row + b0 - first + size_t(t) * bpp, weight, len);
      }
    }
    DivideRow(out + first, sums + first, k.cumulative[r] + k.cumulative[r] + 1.0, last - first);
  }
  for (uint32_t x = 0; x < width; ++x) {
    bool inside = x >= r && uint64_t(x) + r < width;
    if (!inside) EdgePixel(row, x, width, bpp, k, out);
  }
}

}  // namespace

uint64_t DescreenWorkBytes(uint32_t bytesPerPixel, uint32_t width, uint32_t height) {
  uint64_t stride = DescreenStride(width, bytesPerPixel);
  uint64_t n = uint64_t(width) * bytesPerPixel;
  return Align(stride * height) + 2 * Align(n) * sizeof(double);
}

void DescreenRows(uint8_t* rows, uint32_t bpp, uint32_t width, uint32_t height,
                  const DescreenKernel& k, void* memory) {
  size_t stride = DescreenStride(width, bpp);
  size_t n = size_t(width) * bpp;
  Work w = Layout(memory, stride * height, n);
  // Both passes row by row: the horizontal pass of a row needs only that row of the vertical one,
  // and the caller's rows are read by the vertical pass until the end, so they are written last.
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* out = w.image + size_t(y) * stride;
    VerticalRow(rows, stride, n, y, height, k, w.sums, out);
    HorizontalRow(out, width, bpp, k, w.sums, w.row);
  }
  for (uint32_t y = 0; y < height; ++y) {
    std::memcpy(rows + size_t(y) * stride, w.image + size_t(y) * stride, n);
  }
}

void Descreen(uint8_t* rows, uint32_t bitsPerPixel, uint32_t width, uint32_t height, double sigma) {
  if (!rows || width == 0 || height == 0) return;
  if (bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32) return;
  if (!std::isfinite(sigma) || !(sigma > 0.0)) return;
  uint32_t bpp = bitsPerPixel / 8;
  uint64_t bytes = DescreenWorkBytes(bpp, width, height);
  if (bytes > platform::WorkMemory::kMaxBlock) return;
  try {
    DescreenKernel kernel = MakeDescreenKernel(sigma, std::max(width, height));
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
