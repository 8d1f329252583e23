// Synthetic scans with known truth for the analysis tests: documents on the glass, pages of each
// type, transparency holders and sensor seams.
#ifndef IMGFILT_TESTS_SCENE_H_
#define IMGFILT_TESTS_SCENE_H_

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>

#include "test_image.h"

namespace imgfiltTest {

constexpr double kScenePi = 3.14159265358979323846;

// Adds uniform noise of +-amount to every pixel byte.
inline void AddNoise(Image& image, int amount, uint32_t seed) {
  std::mt19937 rng(seed);
  for (uint32_t y = 0; y < image.lines; ++y) {
    for (size_t i = 0; i < image.rowBytes(); ++i) {
      const int v = image.line(y)[i] + int(rng() % uint32_t(2 * amount + 1)) - amount;
      image.line(y)[i] = uint8_t(std::clamp(v, 0, 255));
    }
  }
}

// A w x h rectangle centred at (cx, cy) and turned clockwise (y down) by `tilt` degrees.
struct TurnedRect {
  double cx, cy, w, h, tilt;
  // Coordinates of image point (x, y) in the rectangle's own frame, centred.
  void Local(double x, double y, double& u, double& v) const {
    const double t = tilt * kScenePi / 180, c = std::cos(t), s = std::sin(t);
    u = (x - cx) * c + (y - cy) * s;
    v = -(x - cx) * s + (y - cy) * c;
  }
  bool Inside(double x, double y) const {
    double u, v;
    Local(x, y, u, v);
    return std::fabs(u) <= w / 2 && std::fabs(v) <= h / 2;
  }
  // The box of the pixel centres inside it.
  ImageRect PixelBox() const {
    ImageRect r{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    const double reach = std::hypot(w, h) / 2 + 2;
    for (int y = int(cy - reach); y <= int(cy + reach); ++y) {
      for (int x = int(cx - reach); x <= int(cx + reach); ++x) {
        if (!Inside(x, y)) continue;
        r.left = std::min(r.left, x), r.right = std::max(r.right, x);
        r.top = std::min(r.top, y), r.bottom = std::max(r.bottom, y);
      }
    }
    return r;
  }
};

// Paints `rect` over a colour image with 4 x 4 samples a pixel; `paper(u, v)` gives the colour at
// the rectangle's own coordinates (u, v from its top-left corner).
inline void PaintRect(Image& image, const TurnedRect& rect,
                      const std::function<void(double, double, uint8_t*)>& paper) {
  const double reach = std::hypot(rect.w, rect.h) / 2 + 2;
  const int y0 = std::max(0, int(rect.cy - reach)), y1 = std::min(int(image.lines) - 1, int(rect.cy + reach));
  const int x0 = std::max(0, int(rect.cx - reach)), x1 = std::min(int(image.width) - 1, int(rect.cx + reach));
  for (int y = y0; y <= y1; ++y) {
    for (int x = x0; x <= x1; ++x) {
      int inside = 0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) inside += rect.Inside(x - 0.375 + sx * 0.25, y - 0.375 + sy * 0.25);
      }
      if (inside == 0) continue;
      double u, v;
      rect.Local(x, y, u, v);
      uint8_t colour[3];
      paper(u + rect.w / 2, v + rect.h / 2, colour);
      for (int c = 0; c < image.bpp; ++c) {
        uint8_t& px = image.at(size_t(x), size_t(y), c);
        px = uint8_t((px * (16 - inside) + colour[c % 3] * inside + 8) / 16);
      }
    }
  }
}

// A text page: paper with lines of dark strokes, 20 units of margin.
inline void TextPaper(double u, double v, double w, double h, uint8_t* rgb) {
  const bool margin = u < 20 || v < 20 || u > w - 20 || v > h - 20;
  const bool stroke = !margin && std::fmod(v, 18) < 9 && std::fmod(u * 0.7 + std::floor(v / 18) * 3, 7) < 2;
  const uint8_t value = stroke ? 25 : 236;
  rgb[0] = rgb[1] = rgb[2] = value;
}

}  // namespace imgfiltTest

#endif  // IMGFILT_TESTS_SCENE_H_
