// Plain resampling passes: the definition of the scaler's arithmetic.
#include <algorithm>
#include <cmath>

#include "scale_pass.h"

namespace imgfilt {
namespace {

uint8_t ClampByte(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

uint8_t RoundWeighted(float sum) {
  return static_cast<uint8_t>(std::clamp(std::floor(sum + 0.5f), 0.0f, 255.0f));
}

void EnlargeLine(const EnlargeTable& table, const uint8_t* src, size_t width, int bpp,
                 uint8_t* out, uint8_t* /*scratch*/) {
  const auto b = static_cast<size_t>(bpp);
  for (size_t c = 0; c < b; ++c) {
    const int before = width >= 2 ? ClampByte(2 * src[c] - src[b + c]) : src[c];
    uint8_t* o = out + c;
    for (const EnlargeEntry& e : table.entries) {
      const size_t at = std::min<size_t>(static_cast<size_t>(std::max(e.index, 0)), width - 1);
      const int p0 = e.index < 0 ? before : src[at * b + c];
      if (e.w0 == 128) {
        *o = static_cast<uint8_t>(p0);
      } else {
        const int p1 = src[std::min(at + (e.index < 0 ? 0 : 1), width - 1) * b + c];
        *o = ClampByte((e.w0 * p0 + e.w1 * p1 + 4) >> 7);
      }
      o += b;
    }
  }
}

void ReduceLine(const ReduceTable& table, const uint8_t* src, size_t width, int bpp,
                uint8_t* out, uint8_t* /*scratch*/) {
  const auto b = static_cast<size_t>(bpp);
  for (size_t x = 0; x < table.entries.size(); ++x) {
    const ReduceEntry& e = table.entries[x];
    for (size_t c = 0; c < b; ++c) {
      float sum = 0.0f;
      for (size_t k = e.first; k < e.first + e.count; ++k) {
        const ReducePair& p = table.pairs[k];
        sum += static_cast<float>(src[MirrorIndex(p.index, width) * b + c]) * p.weight;
      }
      out[x * b + c] = RoundWeighted(sum);
    }
  }
}

void BlendLines(const uint8_t* upper, const uint8_t* lower, int w0, int w1, uint8_t* out,
                size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) {
    out[i] = static_cast<uint8_t>(std::min(255, (w0 * upper[i] + w1 * lower[i] + 4) >> 7));
  }
}

void WeighLines(const uint8_t* const* lines, const float* weights, size_t count, uint8_t* out,
                size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) {
    float sum = 0.0f;
    for (size_t k = 0; k < count; ++k) sum += static_cast<float>(lines[k][i]) * weights[k];
    out[i] = RoundWeighted(sum);
  }
}

}  // namespace

const ScalePasses& PlainScalePasses() {
  static const ScalePasses passes{&EnlargeLine, &ReduceLine, &BlendLines, &WeighLines,
                                  nullptr};
  return passes;
}

}  // namespace imgfilt
