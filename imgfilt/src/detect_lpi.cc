#include "detect_lpi.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <new>
#include <vector>

#include "fft.h"
#include "imgfilt.h"

namespace imgfilt {
namespace {

constexpr size_t kN = kLpiBlock;
constexpr size_t kHalf = kN / 2;
constexpr uint32_t kMinRadius2 = 455;  // lower frequencies are the picture, not the screen

// |Re| of the unnormalised 2-D spectrum of one channel, scaled to 0..1 first.
std::vector<float> Spectrum(const uint8_t* block, size_t lineBytes, int channel) {
  std::vector<float> re(kN * kN), im(kN * kN, 0.0f);
  for (size_t y = 0; y < kN; ++y) {
    for (size_t x = 0; x < kN; ++x) re[y * kN + x] = static_cast<float>(block[y * lineBytes + 3 * x + static_cast<size_t>(channel)]) / 255.0f;
  }
  const Fft fft(kN);  // its sine table is built for this call
  fft.Forward2d(re.data(), im.data());
  for (float& v : re) v = std::fabs(v);
  // Fold the mirrored columns of the first half of the rows together.
  for (size_t v = 0; v < kHalf; ++v) {
    for (size_t u = 1; u < kHalf; ++u) re[v * kN + u] = (re[v * kN + u] + re[v * kN + kN - u]) / 2.0f;
  }
  return re;
}

}  // namespace

uint32_t DominantRadius2(const uint8_t* block, size_t lineBytes, int channel) {
  const std::vector<float> m = Spectrum(block, lineBytes, channel);
  auto at = [&m](size_t k, size_t l) { return m[k * kN + l]; };
  uint32_t t = 0;
  float bestBelow = 0.0f, bestAbove = 0.0f;  // each pass keeps its own best
  for (size_t k = 1; k <= kHalf; ++k) {
    // On and below the diagonal the strongest coefficient so far sets t.
    for (size_t l = 1; l <= k; ++l) {
      const auto r2 = static_cast<uint32_t>(k * k + l * l);
      if (r2 > kMinRadius2 && at(k, l) > bestBelow) {
        bestBelow = at(k, l);
        t = r2;
      }
    }
    // On and above it a stronger coefficient moves t only outwards.
    for (size_t l = k; l <= kHalf; ++l) {
      const auto r2 = static_cast<uint32_t>(k * k + l * l);
      if (r2 > kMinRadius2 && at(k, l) > bestAbove) {
        bestAbove = at(k, l);
        t = std::max(t, r2);
      }
    }
  }
  return t;
}

uint8_t ClassifyRadii(std::array<uint32_t, 3> radii) {
  if (*std::min_element(radii.begin(), radii.end()) < 1100) return 0;
  std::sort(radii.begin(), radii.end(), std::greater<>());
  const bool alike = radii[0] - radii[1] <= 500 || radii[1] - radii[2] <= 500;
  if (!alike) return 175;
  const uint32_t r = radii[0];
  if (r < 1400) return 80;
  if (r < 2300) return 100;
  if (r < 3800) return 133;
  if (r < 4500) return 150;
  return 175;
}

}  // namespace imgfilt

extern "C" IMGFILT_API void IMGFILT_CALL DetectLpiColor(const uint8_t* image, uint32_t lineBytes, uint32_t width,
                                                        uint32_t height, uint8_t* result, const ImageRect* region) {
  using imgfilt::kLpiBlock;
  if (image == nullptr || result == nullptr) return;
  int64_t x = 0, y = 0;
  if (region != nullptr) {
    x = std::min(region->left, region->right);
    y = std::min(region->top, region->bottom);
  }
  *result = 0;
  if (x < 0 || y < 0) return;
  if (width != 0 && height != 0) {
    const bool inside = x >= 0 && y >= 0 && x + int64_t{kLpiBlock} <= width && y + int64_t{kLpiBlock} <= height &&
                        uint64_t{width} * 3 <= lineBytes;
    if (!inside) return;
  }
  const uint8_t* block = image + static_cast<size_t>(y) * lineBytes + static_cast<size_t>(x) * 3;
  std::array<uint32_t, 3> radii{};
  try {
    for (int c = 0; c < 3; ++c) radii[static_cast<size_t>(c)] = imgfilt::DominantRadius2(block, lineBytes, c);
  } catch (const std::bad_alloc&) {
    return;  // no work memory: no screen reported
  }
  *result = imgfilt::ClassifyRadii(radii);
}
