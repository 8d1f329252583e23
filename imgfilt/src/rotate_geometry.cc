#include "rotate_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace imgfilt {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Cosine and sine of the angle. Single precision as the size rule has it; the exact quarter
// turns never reach here.
void Trig(int tenths, double& c, double& s) {
  const float radians = static_cast<float>(tenths * kPi / 1800.0);
  c = std::cos(radians);
  s = std::sin(radians);
}

bool FitsU32(double v) { return v >= 0 && v <= std::numeric_limits<uint32_t>::max(); }

RotateGeometry QuarterGeometry(uint32_t width, uint32_t height, int degrees) {
  RotateGeometry g;
  const bool across = degrees == 90 || degrees == 270;
  g.width = across ? height : width;
  g.height = across ? width : height;
  const double w1 = width - 1.0, h1 = height - 1.0;
  switch (degrees) {
    case 90: g.cos = 0, g.sin = 1, g.originX = -h1; break;
    case 180: g.cos = -1, g.sin = 0, g.originX = -w1, g.originY = -h1; break;
    case 270: g.cos = 0, g.sin = -1, g.originY = -w1; break;
    default: break;
  }
  return g;
}

struct Box {
  double minX, maxX, minY, maxY;
};

Box RotatedBox(uint32_t width, uint32_t height, double c, double s) {
  const double w1 = width - 1.0, h1 = height - 1.0;
  const double xs[] = {0, w1 * c, -h1 * s, w1 * c - h1 * s};
  const double ys[] = {0, w1 * s, h1 * c, w1 * s + h1 * c};
  return {*std::min_element(xs, xs + 4), *std::max_element(xs, xs + 4),
          *std::min_element(ys, ys + 4), *std::max_element(ys, ys + 4)};
}

RotateGeometry Unfitting() {
  RotateGeometry g;
  g.fits = false;
  return g;
}

// Sides of the largest upright rectangle inside a rectangle of sides a x b turned by an angle
// with |cos| = c and |sin| = s. When the short side is short enough (or at 45 degrees) only the
// two long sides bound it and it is half the short side away from their middle line; otherwise
// all four sides touch it.
void InscribedSides(double a, double b, double c, double s, double& e, double& d) {
  const bool aLong = a >= b;
  const double longSide = aLong ? a : b;
  const double shortSide = aLong ? b : a;
  if (shortSide <= 2 * s * c * longSide || std::fabs(c - s) < 1e-12) {
    const double half = 0.5 * shortSide;
    e = aLong ? half / s : half / c;
    d = aLong ? half / c : half / s;
    return;
  }
  const double c2 = c * c - s * s;
  e = (a * c - b * s) / c2;
  d = (b * c - a * s) / c2;
}

}  // namespace

int AngleTenths(double degrees) {
  if (!std::isfinite(degrees)) return 0;
  double a = std::fmod(degrees, 360.0);
  if (a < 0) a += 360.0;
  return static_cast<int>(std::floor(a * 10 + 0.5));
}

int QuarterTurnDegrees(int tenths) {
  return tenths % 900 == 0 && tenths >= 0 && tenths <= 3600 ? tenths / 10 : -1;
}

RotateGeometry BoundingGeometry(uint32_t width, uint32_t height, int tenths) {
  const int quarter = QuarterTurnDegrees(tenths);
  if (quarter >= 0) return QuarterGeometry(width, height, quarter);
  RotateGeometry g;
  Trig(tenths, g.cos, g.sin);
  const Box box = RotatedBox(width, height, g.cos, g.sin);
  const double w = std::ceil(box.maxX) - std::floor(box.minX) + 1;
  const double h = std::ceil(box.maxY) - std::floor(box.minY) + 1;
  if (!FitsU32(w) || !FitsU32(h)) return Unfitting();
  g.width = static_cast<uint32_t>(w);
  g.height = static_cast<uint32_t>(h);
  g.originX = std::floor(box.minX);
  g.originY = std::floor(box.minY);
  return g;
}

RotateGeometry CroppedGeometry(uint32_t width, uint32_t height, int tenths) {
  const int quarter = QuarterTurnDegrees(tenths);
  if (quarter >= 0) return QuarterGeometry(width, height, quarter);
  RotateGeometry g;
  Trig(tenths, g.cos, g.sin);
  double e = 0, d = 0;
  InscribedSides(width - 1.0, height - 1.0, std::fabs(g.cos), std::fabs(g.sin), e, d);
  // Centred on the turned image centre.
  const double cx0 = (width - 1.0) / 2, cy0 = (height - 1.0) / 2;
  const double cx = cx0 * g.cos - cy0 * g.sin, cy = cx0 * g.sin + cy0 * g.cos;
  double x0 = std::ceil(cx - e / 2 - 1e-9), x1 = std::floor(cx + e / 2 + 1e-9);
  double y0 = std::ceil(cy - d / 2 - 1e-9), y1 = std::floor(cy + d / 2 + 1e-9);
  if (!(x1 >= x0 && y1 >= y0)) return g;  // nothing fits: 0 x 0
  if (!FitsU32(x1 - x0 + 1) || !FitsU32(y1 - y0 + 1)) return Unfitting();
  // Rounding may leave a corner a hair outside the source: take lines or columns off that
  // side until all four corners (and so, the source being convex, every pixel) lie within it.
  for (;;) {
    g.originX = x0, g.originY = y0;
    const uint32_t lastX = static_cast<uint32_t>(x1 - x0), lastY = static_cast<uint32_t>(y1 - y0);
    const bool tl = WithinSource(InverseImage(g, 0, 0), width, height);
    const bool tr = WithinSource(InverseImage(g, lastX, 0), width, height);
    const bool bl = WithinSource(InverseImage(g, 0, lastY), width, height);
    const bool br = WithinSource(InverseImage(g, lastX, lastY), width, height);
    if (tl && tr && bl && br) break;
    const bool wide = x1 - x0 >= y1 - y0;
    if (wide) {
      if (!tl || !bl) ++x0;
      if (!tr || !br) --x1;
    } else {
      if (!tl || !tr) ++y0;
      if (!bl || !br) --y1;
    }
    if (x1 < x0 || y1 < y0) {
      g.originX = g.originY = 0;
      return g;
    }
  }
  g.width = static_cast<uint32_t>(x1 - x0 + 1);
  g.height = static_cast<uint32_t>(y1 - y0 + 1);
  return g;
}

}  // namespace imgfilt
