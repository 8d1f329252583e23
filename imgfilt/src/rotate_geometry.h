// Where a rotated image lies: the angle in tenths of a degree, the destination size and the
// rotated coordinates of the destination's first pixel, shared by the size queries and the
// rotations so that both always agree.
#ifndef IMGFILT_SRC_ROTATE_GEOMETRY_H_
#define IMGFILT_SRC_ROTATE_GEOMETRY_H_

#include <cstdint>

namespace imgfilt {

// Tenths of a degree in [0, 3600] for an angle in degrees; NaN and infinities give 0.
int AngleTenths(double degrees);

// 0, 90, 180, 270 or 360 for a quarter turn, else -1.
int QuarterTurnDegrees(int tenths);

struct RotateGeometry {
  uint32_t width = 0;   // destination pixels
  uint32_t height = 0;  // destination lines
  bool fits = true;     // false when the size does not fit 32 bits (width and height are 0)
  double cos = 1;
  double sin = 0;
  // Rotated coordinates (before any offset) of destination pixel (0, 0); whole numbers.
  double originX = 0;
  double originY = 0;
};

// The bounding box of the rotated pixel centres of a width x height source.
RotateGeometry BoundingGeometry(uint32_t width, uint32_t height, int tenths);

// The largest upright rectangle of destination pixels whose inverse images all lie within the
// source's pixel centres.
RotateGeometry CroppedGeometry(uint32_t width, uint32_t height, int tenths);

// Inverse image of a destination pixel, computed from its own coordinates only (no running
// sums), so that it is the same whichever band or span asks.
struct SourcePoint {
  double x;
  double y;
};
inline SourcePoint InverseImage(const RotateGeometry& g, uint32_t dx, uint32_t dy) {
  const double u = g.originX + dx;
  const double v = g.originY + dy;
  return {u * g.cos + v * g.sin, v * g.cos - u * g.sin};
}

// Rounding slack of the inverse image: a point this close outside the source counts as on its
// edge.
constexpr double kEdgeSlack = 1e-7;

// True when `p` lies within the pixel centres of a width x height source (with the slack above).
inline bool WithinSource(SourcePoint p, uint32_t width, uint32_t height) {
  return p.x >= -kEdgeSlack && p.y >= -kEdgeSlack && p.x <= (width - 1.0) + kEdgeSlack &&
         p.y <= (height - 1.0) + kEdgeSlack;
}

}  // namespace imgfilt

#endif  // IMGFILT_SRC_ROTATE_GEOMETRY_H_
