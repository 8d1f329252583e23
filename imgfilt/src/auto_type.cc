// Scan type of a page: line art, gray photograph or colour document.
//
// Colour: after a perceptual tone curve, a pixel is coloured when its saturation exceeds a
// threshold that is strict for dark and light pixels; scattered coloured pixels (noise, colour
// fringes at black edges) are discounted by requiring 2 x 2 blocks of them that continue in
// three-pixel runs.
//
// Gray versus line art: a narrow or two-peaked tone range is line art. Otherwise two Otsu splits
// (the whole range, then the part above the first threshold) divide the tones into dark, middle
// and light. Line art has middle tones only on the one- or two-pixel borders between ink and
// paper; a photograph has areas of them. So the page is a photograph when enough pixels sit in a
// 3 x 3 window of middle tones only (more than 1 in 500) and the tone changes along the lines
// between middle and the two outer classes (runs of at least two pixels) are more than 2: a single
// flat tint is not a photograph.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "analysis_area.h"
#include "imgfilt.h"
#include "work_buffer.h"

namespace imgfilt {
namespace {

using Curve = std::array<uint8_t, 256>;

const Curve& ToneCurve() {
  static const Curve curve = [] {
    Curve c{};
    for (int i = 0; i < 256; ++i) {
      double v;
      if (i >= 32) {
        v = 255 * std::pow(i / 255.0, 2.0 / 3.0);
      } else {
        const double x = i;
        v = (x * 91035 - x * x * 596.0625 - x * x * x * 6.7734) * 6.030862941101084e-8 * 509.33507095;
      }
      c[static_cast<size_t>(i)] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
    }
    return c;
  }();
  return curve;
}

// Saturation threshold for the intensity byte k.
double ColourThreshold(int k) {
  if (k < 32) return 1.0;
  if (k < 128) return std::pow((128 - k) * 0.009375, 4) + 0.1;
  return (255 - k) * 0.00078125 + 0.1;
}

// The tone-curved intensity bytes of the area and its colour mask.
struct Planes {
  uint32_t w = 0, h = 0;
  std::vector<uint8_t> intensity;
  std::vector<uint8_t> colour;
  uint8_t I(uint32_t x, uint32_t y) const { return intensity[size_t{y} * w + x]; }
  bool C(uint32_t x, uint32_t y) const { return colour[size_t{y} * w + x] != 0; }
};

bool BuildPlanes(const AnalysisArea& area, Planes& p, size_t& coloured) {
  p.w = area.width(), p.h = area.height();
  const size_t n = size_t{p.w} * p.h;
  if (!TryResize(p.intensity, n) || !TryResize(p.colour, n)) return false;
  const Curve& curve = ToneCurve();
  coloured = 0;
  for (uint32_t y = 0; y < p.h; ++y) {
    for (uint32_t x = 0; x < p.w; ++x) {
      const uint8_t* px = area.at(x, y);
      const int r = curve[px[0]], g = curve[px[1]], b = curve[px[2]];
      const int sum = r + g + b;
      const double intensity = sum / 765.0;
      const double saturation = sum == 0 ? 1.0 : 1.0 - 3.0 * std::min({r, g, b}) / sum;
      const int k = static_cast<int>(255 * intensity);
      const bool c = saturation > ColourThreshold(k);
      p.intensity[size_t{y} * p.w + x] = static_cast<uint8_t>(k);
      p.colour[size_t{y} * p.w + x] = c;
      coloured += c;
    }
  }
  return true;
}

// True when the coloured pixels form solid areas rather than scattered dots.
bool ColourAreas(const Planes& p) {
  if (p.h < 4 || p.w < 4) return false;
  std::vector<uint8_t> t;
  if (!TryResize(t, size_t{p.w} * p.h)) return false;
  size_t n = 0;
  for (uint32_t y = 1; y + 3 <= p.h; ++y) {
    for (uint32_t x = 1; x + 3 <= p.w; ++x) {
      const bool set = p.C(x, y) && p.C(x + 1, y) && p.C(x, y + 1) && p.C(x + 1, y + 1);
      t[size_t{y} * p.w + x] = set;
      n += set;
    }
  }
  auto T = [&](uint32_t x, uint32_t y) { return t[size_t{y} * p.w + x] != 0; };
  size_t runs = 0;
  for (uint32_t y = 1; y + 4 <= p.h; ++y) {
    for (uint32_t x = 1; x + 4 <= p.w; ++x) {
      if (!T(x, y)) continue;
      runs += T(x + 1, y) && T(x + 2, y);
      runs += T(x, y + 1) && T(x, y + 2);
      runs += T(x + 1, y + 1) && T(x + 2, y + 2);
    }
  }
  return n > 9 ? runs > 12 : runs > 3;
}

// Otsu's threshold over bins [lo, hi]: the bin t maximising the between-class variance of
// [lo, t] against (t, hi]. Returns lo when no split separates anything.
int Otsu(const std::array<uint64_t, 256>& hist, int lo, int hi) {
  double total = 0, sum = 0;
  for (int i = lo; i <= hi; ++i) total += hist[i], sum += double(i) * hist[i];
  double w0 = 0, s0 = 0, best = -1;
  int split = lo;
  for (int t = lo; t < hi; ++t) {
    w0 += hist[t], s0 += double(t) * hist[t];
    const double w1 = total - w0;
    if (w0 == 0 || w1 == 0) continue;
    const double m0 = s0 / w0, m1 = (sum - s0) / w1;
    const double between = w0 * w1 * (m0 - m1) * (m0 - m1);
    if (between > best) best = between, split = t;
  }
  return split;
}

enum Tone : uint8_t { kDark, kMiddle, kLight };

bool Photograph(const Planes& p, const std::array<uint64_t, 256>& hist, int lo, int hi) {
  const int t1 = Otsu(hist, lo, hi);
  const int t2 = Otsu(hist, t1 + 1, hi);
  auto tone = [&](uint32_t x, uint32_t y) {
    const int v = p.I(x, y);
    return v <= t1 ? kDark : v > t2 ? kLight : kMiddle;
  };
  size_t flat = 0;
  for (uint32_t y = 1; y + 1 < p.h; ++y) {
    for (uint32_t x = 1; x + 1 < p.w; ++x) {
      bool all = true;
      for (int dy = -1; dy <= 1 && all; ++dy) {
        for (int dx = -1; dx <= 1 && all; ++dx) all = tone(x + dx, y + dy) == kMiddle;
      }
      flat += all;
    }
  }
  // Tone changes along each line between runs of at least two pixels, middle against an outer
  // class; shorter runs (the borders of strokes) are passed over.
  size_t changes = 0;
  for (uint32_t y = 0; y < p.h; ++y) {
    int last = -1;
    for (uint32_t x = 0; x < p.w;) {
      const Tone a = tone(x, y);
      uint32_t end = x + 1;
      while (end < p.w && tone(end, y) == a) ++end;
      if (end - x >= 2) {
        if (last >= 0 && last != a && (a == kMiddle || last == kMiddle)) ++changes;
        last = a;
      }
      x = end;
    }
  }
  return flat * 500 > size_t{p.w} * p.h && changes > 2;
}

uint8_t Classify(const AnalysisArea& area) {
  Planes p;
  size_t coloured = 0;
  if (!BuildPlanes(area, p, coloured)) return IMGFILT_TYPE_LINE_ART;
  if (coloured > 3 && ColourAreas(p)) return IMGFILT_TYPE_COLOR;
  std::array<uint64_t, 256> hist{};
  for (uint8_t v : p.intensity) ++hist[v];
  int lo = 0, hi = 255;
  while (hist[static_cast<size_t>(lo)] == 0) ++lo;
  while (hist[static_cast<size_t>(hi)] == 0) --hi;
  if (hi - lo <= 9) return IMGFILT_TYPE_LINE_ART;
  // Two-peaked: the outer quarters of the range hold nearly everything.
  const double quarter = (hi - lo) / 4.0;
  uint64_t outer = 0;
  for (int i = lo; i <= hi; ++i) outer += (i <= lo + quarter || i >= hi - quarter) ? hist[static_cast<size_t>(i)] : 0;
  if (outer * 10 > p.intensity.size() * 9) return IMGFILT_TYPE_LINE_ART;
  return Photograph(p, hist, lo, hi) ? IMGFILT_TYPE_GRAY : IMGFILT_TYPE_LINE_ART;
}

}  // namespace
}  // namespace imgfilt

extern "C" IMGFILT_API uint8_t IMGFILT_CALL AutoTypeColor(const uint8_t* image, uint32_t lineBytes,
                                                          uint32_t width, uint32_t height,
                                                          ImageRect* region) {
  imgfilt::AnalysisArea area;
  if (!area.Open(image, lineBytes, width, height, 0, 3, region)) return IMGFILT_TYPE_LINE_ART;
  return imgfilt::Classify(area);
}
