// Hue turn and saturation and lightness scaling of colour pixels, in integers around the
// pixel's lightness u = max + min and chroma v = max - min.
#include <algorithm>
#include <cmath>

#include "imgfilt.h"
#include "raster.h"

namespace imgfilt {
namespace {

struct Adjustment {
  float hue;       // [0, 1)
  int lightness;   // t, -128..128
  int saturation;  // w, -128..128
};

float Finite(float v) { return std::isfinite(v) ? v : 0.0f; }

Adjustment MakeAdjustment(float hue, float saturation, float lightness) {
  hue = Finite(hue);
  hue -= std::floor(hue);
  if (hue >= 1.0f) hue = 0.0f;  // a tiny negative hue rounds up to 1 in single precision
  const float s = std::clamp(Finite(saturation), -1.0f, 1.0f);
  const float l = std::clamp(Finite(lightness), -1.0f, 1.0f);
  return {hue, static_cast<int>(l * 128), static_cast<int>(s * 128)};
}

// Sector position of the hue, 0..6 before the turn; ties go to R, then G, then B.
float HueSector(int r, int g, int b, int max, int diff) {
  if (diff == 0) return 0.0f;
  if (max == r) return static_cast<float>(g - b) / static_cast<float>(diff);
  if (max == g) return 2.0f + static_cast<float>(b - r) / static_cast<float>(diff);
  return 4.0f + static_cast<float>(r - g) / static_cast<float>(diff);
}

void AdjustPixel(const Adjustment& a, int rgb[3]) {
  const int r = rgb[0], g = rgb[1], b = rgb[2];
  const int max = std::max({r, g, b}), min = std::min({r, g, b});
  const int diff = max - min;
  int u = max + min, v = diff;
  const float h6 = HueSector(r, g, b, max, diff);
  if (a.lightness < 0) {
    u = u * (a.lightness + 128) >> 7;
    v = diff * (a.lightness + 128) >> 7;
  } else if (a.lightness >= 1) {
    u += (510 - u) * a.lightness >> 7;
    v = (128 - a.lightness) * diff >> 7;
  }
  if (a.saturation < 0) {
    v = v * (a.saturation + 128) >> 7;
  } else if (a.saturation > 0) {
    v = a.saturation == 128 ? u : v * 128 / (128 - a.saturation);
    v = std::min(v, u > 255 ? 510 - u : u);
  }
  if (u == 0) {
    rgb[0] = rgb[1] = rgb[2] = 0;
    return;
  }
  if (v == 0) {
    rgb[0] = rgb[1] = rgb[2] = u >> 1;
    return;
  }
  float s = a.hue * 6.0f + h6;
  if (s < 0.0f) s += 6.0f;
  if (s > 6.0f) s -= 6.0f;
  const int k = static_cast<int>(s);
  const float f = s - static_cast<float>(k);
  const int hi = (u + v) >> 1, lo = u - hi;
  const int part = static_cast<int>(f * static_cast<float>(v));
  const int mid = lo + (k % 2 == 0 ? part : v - part);
  static constexpr int kOrder[7][3] = {{0, 1, 2}, {1, 0, 2}, {2, 0, 1}, {2, 1, 0}, {1, 2, 0}, {0, 2, 1}, {0, 2, 2}};
  // kOrder[k] names, for R, G and B, which of (hi, mid, lo) each takes.
  const int values[3] = {hi, mid, lo};
  for (int c = 0; c < 3; ++c) rgb[c] = std::clamp(values[kOrder[k][c]], 0, 255);
}

}  // namespace
}  // namespace imgfilt

extern "C" IMGFILT_API uint8_t IMGFILT_CALL HueSaturation(const uint8_t* source, uint8_t* destination,
                                                          uint32_t lineBytes, uint32_t width, uint32_t lines,
                                                          float hue, float saturation, float lightness,
                                                          uint8_t channelOrder) {
  using namespace imgfilt;
  if (source == nullptr || destination == nullptr) return kNullPointer;
  if (lineBytes == 0 || width == 0 || lines == 0) return kZeroSize;
  if (size_t{width} * 3 > lineBytes) return kOutOfRange;
  const Adjustment adj = MakeAdjustment(hue, saturation, lightness);
  const int red = channelOrder == 1 ? 2 : 0, blue = 2 - red;
  for (size_t m = 0; m < lines; ++m) {
    const uint8_t* in = source + m * lineBytes;
    uint8_t* out = destination + m * lineBytes;
    for (size_t x = 0; x < width; ++x) {
      int rgb[3] = {in[3 * x + red], in[3 * x + 1], in[3 * x + blue]};
      AdjustPixel(adj, rgb);
      out[3 * x + red] = static_cast<uint8_t>(rgb[0]);
      out[3 * x + 1] = static_cast<uint8_t>(rgb[1]);
      out[3 * x + blue] = static_cast<uint8_t>(rgb[2]);
    }
  }
  return kOk;
}
