#include "rotate_bilinear.h"

#include <algorithm>
#include <cmath>

namespace imgfilt {

namespace {

// Columns X where a + b X lies in [lo, hi], as a closed interval widened by `slack`; an empty
// interval has begin > end.
void Solve(double a, double b, double lo, double hi, double& begin, double& end) {
  constexpr double kSlack = 2;
  if (std::fabs(b) < 1e-12) {
    const bool all = a >= lo - 1e-6 && a <= hi + 1e-6;
    begin = all ? -1e300 : 1;
    end = all ? 1e300 : 0;
    return;
  }
  const double t0 = (lo - a) / b, t1 = (hi - a) / b;
  begin = std::min(t0, t1) - kSlack;
  end = std::max(t0, t1) + kSlack;
}

// The destination lines a band's inverse images can reach: the forward images of its corners.
void LineRange(const RotateGeometry& g, const RotateSource& s, double lo, uint32_t dest_height,
               uint32_t& y0, uint32_t& y1) {
  const double hi = s.first + s.count - 1.0;
  const double w1 = s.width - 1.0;
  const double ys[] = {lo * g.cos, w1 * g.sin + lo * g.cos, hi * g.cos, w1 * g.sin + hi * g.cos};
  const double top = *std::min_element(ys, ys + 4) - g.origin_y - 2;
  const double bottom = *std::max_element(ys, ys + 4) - g.origin_y + 2;
  y0 = static_cast<uint32_t>(std::clamp(std::floor(top), 0.0, static_cast<double>(dest_height)));
  y1 = static_cast<uint32_t>(std::clamp(std::ceil(bottom) + 1, 0.0, static_cast<double>(dest_height)));
}

template <int Bpp>
void RotateLine(const RotateGeometry& g, const RotateSource& s, uint32_t dy, Span span,
                uint8_t* out) {
  const double last_x = s.width - 1.0, last_y = s.height - 1.0;
  for (uint32_t dx = span.begin; dx < span.end; ++dx) {
    const SourcePoint p = InverseImage(g, dx, dy);
    if (!WithinSource(p, s.width, s.height)) continue;
    const double x = std::clamp(p.x, 0.0, last_x), y = std::clamp(p.y, 0.0, last_y);
    const double xf = std::floor(x), yf = std::floor(y);
    const double fx = x - xf, fy = y - yf;
    const auto xi = static_cast<uint32_t>(xf), yi = static_cast<uint32_t>(yf);
    const uint32_t owner = fy > 0 ? yi + 1 : yi;
    if (owner < s.first || owner - s.first >= s.count) continue;
    const uint8_t* row0 = yi < s.first ? s.held : s.band[yi - s.first];
    const uint8_t* row1 = fy > 0 ? s.band[yi + 1 - s.first] : row0;
    const size_t at = size_t{xi} * Bpp;
    const size_t right = fx > 0 ? at + Bpp : at;
    for (int c = 0; c < Bpp; ++c) {
      // Differences rather than weighted sums: a flat neighbourhood gives exactly its value.
      const double p00 = row0[at + c], p10 = row0[right + c];
      const double p01 = row1[at + c], p11 = row1[right + c];
      const double top = p00 + fx * (p10 - p00);
      const double bottom = p01 + fx * (p11 - p01);
      const double v = top + fy * (bottom - top);
      out[size_t{dx} * Bpp + c] = static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
    }
  }
}

template <int Bpp>
void Rotate(const RotateGeometry& g, const RotateSource& s, const Lines<uint8_t>& dst) {
  if (s.count == 0 || g.width == 0 || g.height == 0) return;
  if (s.first > 0 && s.held == nullptr) return;
  const double lo = s.first > 0 ? s.first - 1.0 : 0.0;
  const double hi = s.first + s.count - 1.0;
  uint32_t y0 = 0, y1 = 0;
  LineRange(g, s, lo, g.height, y0, y1);
  for (uint32_t dy = y0; dy < y1; ++dy) {
    const Span span = CandidateSpan(g, dy, lo, hi, s.width);
    if (span.begin < span.end) RotateLine<Bpp>(g, s, dy, span, dst[dy]);
  }
}

}  // namespace

Span CandidateSpan(const RotateGeometry& g, uint32_t dy, double lo, double hi, uint32_t width) {
  // x(X) = (ox + X) cos + (oy + Y) sin and y(X) = (oy + Y) cos - (ox + X) sin, linear in X.
  const double v = g.origin_y + dy;
  double b0 = 0, e0 = 0, b1 = 0, e1 = 0;
  Solve(g.origin_x * g.cos + v * g.sin, g.cos, 0, width - 1.0, b0, e0);
  Solve(v * g.cos - g.origin_x * g.sin, -g.sin, lo, hi, b1, e1);
  const double begin = std::max({b0, b1, 0.0});
  const double end = std::min({e0 + 1, e1 + 1, static_cast<double>(g.width)});
  if (!(begin < end)) return {0, 0};
  return {static_cast<uint32_t>(std::ceil(begin)), static_cast<uint32_t>(std::floor(end))};
}

void RotateBand(const RotateGeometry& g, const RotateSource& source,
                const Lines<uint8_t>& destination, int bpp) {
  if (bpp == 3) {
    Rotate<3>(g, source, destination);
  } else {
    Rotate<1>(g, source, destination);
  }
}

}  // namespace imgfilt
