// The descreen filter's two passes. Each output byte is a sum of products taken in window order
// (top to bottom, left to right) and then divided, exactly as the plain definition reads; the
// passes only choose which bytes are worked on together (window_sums.cc), never the order of one
// byte's terms.
#include <algorithm>
#include <cmath>
#include <vector>

#include "descreen.h"
#include "platform/host/host.h"
#include "platform/memory/memory.h"
#include "window_sums.h"

namespace rastfx {
namespace {

// The image is filtered in bands of rows: the vertical pass over a band, strip of columns by strip,
// into a band of work rows, then the horizontal pass over the band straight into the caller's rows.
// Each strip keeps its own ring of the caller's rows in double from band to band: a row enters it
// once, just before the first window that reaches it (so before its band overwrites it), and leaves
// it when no later window does. The work rows hold the vertical pass's bytes as whole numbers in
// double, ready for the horizontal sums; the band stays in the second-level cache.
constexpr uint32_t kBandRows = 16;

// Columns of a strip: as many as keep the window's rows of them in the first-level cache
// (kRingBudget), at least one block of the vector loops, at most kMaxStrip.
constexpr size_t kRingBudget = 32 * 1024;
constexpr size_t kMinStrip = 64;
constexpr size_t kMaxStrip = 1024;

// Caller's rows read ahead of the one being converted, so that their bytes are on the way while
// the windows before them are summed.
constexpr uint32_t kPrefetchRows = 12;

// Doubles of a work row: whole 64-byte lines.
size_t Align(size_t n) { return (n + 7) / 8 * 8; }

size_t RingRows(uint32_t radius, uint32_t height) { return size_t(std::min<uint64_t>(2 * uint64_t(radius) + 1, height)); }

size_t Strip(size_t ringRows) {
  size_t strip = kMaxStrip;
  while (strip > kMinStrip && strip * ringRows * sizeof(double) > kRingBudget) strip /= 2;
  return strip;
}

struct Work {
  double* band;      // kBandRows work rows of `pitch` doubles
  size_t pitch;
  double* rings;     // each strip's ring: ringRows x strip doubles
  size_t ringRows;
  size_t strip;
};

// Strips x ring rows x strip doubles.
size_t RingDoubles(size_t n, size_t ringRows, size_t strip) { return (n + strip - 1) / strip * ringRows * strip; }

Work Layout(void* memory, size_t n, size_t ringRows) {
  Work w;
  w.pitch = Align(n);
  w.band = static_cast<double*>(memory);
  w.rings = w.band + kBandRows * w.pitch;
  w.ringRows = ringRows;
  w.strip = Strip(ringRows);
  return w;
}

uint8_t Truncate(double value) { return uint8_t(int(value)); }

// The windows of one band's rows in the vertical pass: each row's terms as offsets into a strip's
// ring (the same for every strip, so worked out once a band), their weights and the divisor.
struct BandWindows {
  size_t span;                  // room for one row's terms: the ring's rows
  std::vector<size_t> offsets;  // kBandRows x span
  std::vector<double> weights;  // kBandRows x span
  uint32_t taps[kBandRows];
  double divisors[kBandRows];
};

// Row y's window reaches the caller's rows y - top .. y + bottom.
void PlanBand(BandWindows& b, uint32_t y0, uint32_t y1, uint32_t height, const DescreenKernel& k, const Work& w) {
  for (uint32_t y = y0; y < y1; ++y) {
    uint32_t top = std::min(y, k.radius);
    uint32_t bottom = std::min(k.radius, height - 1 - y);
    size_t* offsets = b.offsets.data() + (y - y0) * b.span;
    double* weights = b.weights.data() + (y - y0) * b.span;
    size_t slot = (y - top) % w.ringRows;
    for (uint32_t t = y - top, j = 0; t <= y + bottom; ++t, ++j) {
      offsets[j] = slot * w.strip;
      weights[j] = k.weights[t > y ? t - y : y - t];
      if (++slot == w.ringRows) slot = 0;
    }
    b.taps[y - y0] = top + bottom + 1;
    b.divisors[y - y0] = k.cumulative[top] + k.cumulative[bottom] + 1.0;
  }
}

// The vertical pass over one strip of columns for rows [y0, y1), into the band. `converted`: the
// strip's rows already in its ring.
void VerticalStrip(const uint8_t* rows, size_t stride, size_t c0, size_t len, uint32_t y0, uint32_t y1,
                   uint32_t height, const DescreenKernel& k, const Work& w, const BandWindows& b,
                   uint32_t& converted) {
  double* ring = w.rings + c0 / w.strip * w.ringRows * w.strip;
  for (uint32_t y = y0; y < y1; ++y) {
    uint32_t needed = uint32_t(std::min<uint64_t>(uint64_t(y) + k.radius + 1, height));
    for (; converted < needed; ++converted) {
      if (converted + kPrefetchRows < height) {
        const uint8_t* ahead = rows + size_t(converted + kPrefetchRows) * stride + c0;
        for (size_t c = 0; c < len; c += 64) __builtin_prefetch(ahead + c);
      }
      ToDouble(ring + (converted % w.ringRows) * w.strip, rows + size_t(converted) * stride + c0, len);
    }
    uint32_t j = y - y0;
    WindowSumsWhole(ring, b.offsets.data() + j * b.span, b.weights.data() + j * b.span, b.taps[j], len,
                    b.divisors[j], w.band + size_t(j) * w.pitch + c0);
  }
}

// The horizontal window of the pixels whose window lies inside the row: the term of tap t for
// output byte i (counted from the first such pixel's) is the row's byte i + t x bpp.
struct RowWindow {
  std::vector<size_t> offsets;
  std::vector<double> weights;
};

RowWindow PlanRow(uint32_t width, uint32_t bpp, const DescreenKernel& k) {
  RowWindow window;
  uint32_t r = k.radius;
  if (width <= 2 * uint64_t(r)) return window;
  for (uint32_t t = 0; t <= 2 * r; ++t) {
    window.offsets.push_back(size_t(t) * bpp);
    window.weights.push_back(k.weights[t > r ? t - r : r - t]);
  }
  return window;
}

// One pixel's bytes with its window cut at the row's ends.
void EdgePixel(const double* row, uint32_t x, uint32_t width, uint32_t bpp, const DescreenKernel& k,
               uint8_t* out) {
  uint32_t left = std::min(x, k.radius);
  uint32_t right = std::min(k.radius, width - 1 - x);
  double divisor = k.cumulative[left] + k.cumulative[right] + 1.0;
  // The pixel's bytes summed side by side (each still in window order): one running sum alone
  // would wait out an addition's latency at every term.
  double sums[4] = {0.0, 0.0, 0.0, 0.0};
  for (uint32_t t = x - left; t <= x + right; ++t) {
    const double weight = k.weights[t > x ? t - x : x - t];
    const double* pixel = row + size_t(t) * bpp;
    for (uint32_t c = 0; c < bpp; ++c) sums[c] += pixel[c] * weight;
  }
  for (uint32_t c = 0; c < bpp; ++c) out[size_t(x) * bpp + c] = Truncate(sums[c] / divisor);
}

// Work row `row` filtered along its length into `out`, the caller's row.
void HorizontalRow(const double* row, uint8_t* out, uint32_t width, uint32_t bpp, const DescreenKernel& k,
                   const RowWindow& window) {
  uint32_t r = k.radius;
  // Pixels whose whole window lies inside the row, worked on together.
  if (!window.offsets.empty()) {
    size_t first = size_t(r) * bpp, last = size_t(width - r) * bpp;  // bytes [first, last)
    WindowSums(row, window.offsets.data(), window.weights.data(), window.offsets.size(), last - first,
               k.cumulative[r] + k.cumulative[r] + 1.0, out + first);
  }
  // The rest: pixels less than r from either end.
  uint32_t leftEnd = std::min(r, width);
  uint32_t rightStart = std::max(leftEnd, width > r ? width - r : 0u);
  for (uint32_t x = 0; x < leftEnd; ++x) EdgePixel(row, x, width, bpp, k, out);
  for (uint32_t x = rightStart; x < width; ++x) EdgePixel(row, x, width, bpp, k, out);
}

}  // namespace

uint64_t DescreenWorkBytes(uint32_t bytesPerPixel, uint32_t width, uint32_t height, uint32_t radius) {
  uint64_t pitch = Align(uint64_t(width) * bytesPerPixel);
  size_t ringRows = RingRows(radius, height);
  return (kBandRows * pitch + RingDoubles(size_t(width) * bytesPerPixel, ringRows, Strip(ringRows))) * sizeof(double);
}

void DescreenRows(uint8_t* rows, uint32_t bpp, uint32_t width, uint32_t height,
                  const DescreenKernel& k, void* memory) {
  if (bpp == 0 || bpp > 4) return;  // edge pixels keep one sum per byte of a pixel
  size_t stride = DescreenStride(width, bpp);
  size_t n = size_t(width) * bpp;
  Work w = Layout(memory, n, RingRows(k.radius, height));
  BandWindows band;
  band.span = w.ringRows;
  band.offsets.resize(kBandRows * band.span);
  band.weights.resize(kBandRows * band.span);
  RowWindow rowWindow = PlanRow(width, bpp, k);
  std::vector<uint32_t> converted((n + w.strip - 1) / w.strip, 0);
  for (uint32_t y0 = 0; y0 < height; y0 += kBandRows) {
    uint32_t y1 = std::min(height, y0 + kBandRows);
    PlanBand(band, y0, y1, height, k, w);
    for (size_t c0 = 0; c0 < n; c0 += w.strip) {
      VerticalStrip(rows, stride, c0, std::min(w.strip, n - c0), y0, y1, height, k, w, band, converted[c0 / w.strip]);
    }
    // Every strip's ring holds the caller's rows up to y1 - 1 + r: rows y0 .. y1 - 1 take their
    // filtered bytes, padding bytes left as they are.
    for (uint32_t y = y0; y < y1; ++y) {
      HorizontalRow(w.band + size_t(y - y0) * w.pitch, rows + size_t(y) * stride, width, bpp, k, rowWindow);
    }
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
