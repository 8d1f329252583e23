#include "rotate_bilinear.h"

#include <algorithm>
#include <cmath>

#include "rotate_simd.h"

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
void LineRange(const RotateGeometry& g, const RotateSource& s, double lo, uint32_t destHeight,
               uint32_t& y0, uint32_t& y1) {
  const double hi = s.first + s.count - 1.0;
  const double w1 = s.width - 1.0;
  const double ys[] = {lo * g.cos, w1 * g.sin + lo * g.cos, hi * g.cos, w1 * g.sin + hi * g.cos};
  const double top = *std::min_element(ys, ys + 4) - g.originY - 2;
  const double bottom = *std::max_element(ys, ys + 4) - g.originY + 2;
  y0 = static_cast<uint32_t>(std::clamp(std::floor(top), 0.0, static_cast<double>(destHeight)));
  y1 = static_cast<uint32_t>(std::clamp(std::ceil(bottom) + 1, 0.0, static_cast<double>(destHeight)));
}

template <int Bpp>
void RotateLine(const RotateGeometry& g, const RotateSource& s, uint32_t dy, Span span,
                uint8_t* out) {
  const double lastX = s.width - 1.0, lastY = s.height - 1.0;
  for (uint32_t dx = span.begin; dx < span.end; ++dx) {
    const SourcePoint p = InverseImage(g, dx, dy);
    if (!WithinSource(p, s.width, s.height)) continue;
    const double x = std::clamp(p.x, 0.0, lastX), y = std::clamp(p.y, 0.0, lastY);
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

// True when the pixel's inverse image lies where both interpolated columns and both lines are
// inside this band's own lines: 0 <= x < W - 1 and first <= y < first + count - 1. There the
// clamps and the held line are not needed and the general path gives the same value.
inline bool Interior(const RotateGeometry& g, const RotateSource& s, uint32_t dx, uint32_t dy) {
  const SourcePoint p = InverseImage(g, dx, dy);
  return p.x >= 0 && p.x < s.width - 1.0 && p.y >= s.first && p.y < s.first + s.count - 1.0;
}

// The interior part [begin, end) of a span. The inverse coordinates are monotonic along a line
// (each is a correctly rounded product and sum of a column that grows by one), so the interior is
// one run, and checking its two ends checks every pixel between them.
Span InteriorSpan(const RotateGeometry& g, const RotateSource& s, uint32_t dy, Span span) {
  if (s.count < 2 || s.width < 2) return {span.begin, span.begin};
  const Span inner = CandidateSpan(g, dy, s.first, s.first + s.count - 1.0, s.width - 1);
  uint32_t a = std::max(span.begin, inner.begin + 3), b = std::min(span.end, inner.end > 3 ? inner.end - 3 : 0);
  while (a < b && !Interior(g, s, a, dy)) ++a;
  while (a < b && !Interior(g, s, b - 1, dy)) --b;
  if (a >= b) return {span.begin, span.begin};
  return {a, b};
}

// The interior run: both neighbours and both lines exist, nothing to clamp or test.
template <int Bpp>
void RotateInterior(const RotateGeometry& g, const RotateSource& s, uint32_t dy, Span run,
                    uint8_t* out) {
  const double v = g.originY + dy;
  const double vs = v * g.sin, vc = v * g.cos;
  const uint8_t* firstLine = s.band[0];
  const ptrdiff_t stride = s.count > 1 ? s.band[1] - s.band[0] : 0;
  for (uint32_t dx = run.begin; dx < run.end; ++dx) {
    const double u = g.originX + dx;
    const double x = u * g.cos + vs, y = vc - u * g.sin;
    const auto xi = static_cast<uint32_t>(x), yi = static_cast<uint32_t>(y);
    const double fx = x - xi, fy = y - yi;
    const uint8_t* p0 = firstLine + ptrdiff_t(yi - s.first) * stride + size_t{xi} * Bpp;
    const uint8_t* p1 = p0 + stride;
    for (int c = 0; c < Bpp; ++c) {
      const double p00 = p0[c], p10 = p0[Bpp + c], p01 = p1[c], p11 = p1[Bpp + c];
      const double top = p00 + fx * (p10 - p00);
      const double bottom = p01 + fx * (p11 - p01);
      out[size_t{dx} * Bpp + c] = static_cast<uint8_t>(top + fy * (bottom - top));
    }
  }
}

// The part of an interior run that the vector path may take: 4 more columns to the right of each
// pixel's inverse image, so that its gathers stay within the line.
Span GatherSpan(const RotateGeometry& g, const RotateSource& s, uint32_t dy, Span inner) {
  auto fits = [&](uint32_t dx) { return InverseImage(g, dx, dy).x < s.width - 5.0; };
  uint32_t a = inner.begin, b = inner.end;
  while (a < b && !fits(a)) ++a;
  while (a < b && !fits(b - 1)) --b;
  return {a, b};
}

template <int Bpp>
void Rotate(const RotateGeometry& g, const RotateSource& s, const Lines<uint8_t>& dst, bool useSimd) {
  if (s.count == 0 || g.width == 0 || g.height == 0) return;
  if (s.first > 0 && s.held == nullptr) return;
  const double lo = s.first > 0 ? s.first - 1.0 : 0.0;
  const double hi = s.first + s.count - 1.0;
  uint32_t y0 = 0, y1 = 0;
  LineRange(g, s, lo, g.height, y0, y1);
  // The vector path gathers from 32-bit byte offsets within the band.
  const ptrdiff_t stride = s.count > 1 ? s.band[1] - s.band[0] : 0;
  const bool wordy = s.count > 1 && s.width > 8 &&
                     (uint64_t(stride < 0 ? -stride : stride) * s.count + uint64_t{s.width} * Bpp) < (uint64_t{1} << 31);
  for (uint32_t dy = y0; dy < y1; ++dy) {
    const Span span = CandidateSpan(g, dy, lo, hi, s.width);
    if (span.begin >= span.end) continue;
    const Span inner = InteriorSpan(g, s, dy, span);
    RotateLine<Bpp>(g, s, dy, {span.begin, inner.begin}, dst[dy]);
    const Span vec = useSimd && wordy ? GatherSpan(g, s, dy, inner) : Span{inner.end, inner.end};
    RotateInterior<Bpp>(g, s, dy, {inner.begin, vec.begin}, dst[dy]);
    uint32_t done = vec.begin;
    if (vec.begin < vec.end) {
      const InteriorRun run{s.band[0], stride, s.first, g.originX, g.cos, g.sin,
                            (g.originY + dy) * g.sin, (g.originY + dy) * g.cos, vec.begin, vec.end, dst[dy]};
      done = RotateInteriorSimd(run, Bpp);
    }
    RotateInterior<Bpp>(g, s, dy, {done, inner.end}, dst[dy]);
    RotateLine<Bpp>(g, s, dy, {inner.end, span.end}, dst[dy]);
  }
}

}  // namespace

Span CandidateSpan(const RotateGeometry& g, uint32_t dy, double lo, double hi, uint32_t width) {
  // x(X) = (ox + X) cos + (oy + Y) sin and y(X) = (oy + Y) cos - (ox + X) sin, linear in X.
  const double v = g.originY + dy;
  double b0 = 0, e0 = 0, b1 = 0, e1 = 0;
  Solve(g.originX * g.cos + v * g.sin, g.cos, 0, width - 1.0, b0, e0);
  Solve(v * g.cos - g.originX * g.sin, -g.sin, lo, hi, b1, e1);
  const double begin = std::max({b0, b1, 0.0});
  const double end = std::min({e0 + 1, e1 + 1, static_cast<double>(g.width)});
  if (!(begin < end)) return {0, 0};
  return {static_cast<uint32_t>(std::ceil(begin)), static_cast<uint32_t>(std::floor(end))};
}

void RotateBand(const RotateGeometry& g, const RotateSource& source,
                const Lines<uint8_t>& destination, int bpp, bool useSimd) {
  if (bpp == 3) {
    Rotate<3>(g, source, destination, useSimd);
  } else {
    Rotate<1>(g, source, destination, useSimd);
  }
}

}  // namespace imgfilt
