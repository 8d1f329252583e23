// Skew of a bright document from the empty corners of its region.
//
// The region is expected to hug the document: a tilted document then touches the region's second
// row and second column away from the corner, leaving an empty triangle there. The first bright
// run along the row (at j) and down the column (at l) are two ends of one document edge; when the
// corner is clear (both more than 3 pixels away) and the line between the two just inside the
// triangle meets no bright run, the edge's direction gives the tilt. The corners are tried in the
// order top-left, top-right, bottom-left, bottom-right. The result is the turn that sets the
// document upright, in the rotations' convention.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "imgfilt.h"
#include "raster.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

class Region {
 public:
  Region(const uint8_t* image, uint32_t lineBytes, uint32_t lines, uint8_t orientation, int bpp,
         const ImageRect& r, uint8_t threshold)
      : lines_(image, lineBytes, lines, orientation), bpp_(bpp), rect_(r), threshold_(threshold) {}

  int32_t width() const { return rect_.right - rect_.left + 1; }
  int32_t height() const { return rect_.bottom - rect_.top + 1; }
  bool Bright(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width() || y >= height()) return false;
    return lines_[static_cast<size_t>(rect_.top + y)][static_cast<size_t>(rect_.left + x) * bpp_] >=
           threshold_;
  }

 private:
  imgfilt::Lines<const uint8_t> lines_;
  int bpp_;
  ImageRect rect_;
  uint8_t threshold_;
};

// A corner of the region seen from inside: local (u, v) maps to image (x0 + sx u, y0 + sy v).
struct Corner {
  const Region& region;
  int32_t x0, y0, sx, sy;
  bool Bright(int32_t u, int32_t v) const { return region.Bright(x0 + sx * u, y0 + sy * v); }

  // First position along the row v (or the column u when `down`) that starts three bright pixels.
  int32_t Hit(bool down, int32_t limit) const {
    for (int32_t i = 0; i + 2 < limit; ++i) {
      const bool run = down ? Bright(1, i) && Bright(1, i + 1) && Bright(1, i + 2)
                            : Bright(i, 1) && Bright(i + 1, 1) && Bright(i + 2, 1);
      if (run) return i;
    }
    return -1;
  }

  // True when the straight line from (j, 0) to (0, l) crosses three bright pixels in a row.
  bool LineHit(int32_t j, int32_t l) const {
    const int32_t steps = std::max(j, l);
    int run = 0;
    for (int32_t k = 0; k <= steps; ++k) {
      const double t = steps == 0 ? 0 : double(k) / steps;
      const auto u = static_cast<int32_t>(std::lround(j * (1 - t)));
      const auto v = static_cast<int32_t>(std::lround(l * t));
      run = Bright(u, v) ? run + 1 : 0;
      if (run >= 3) return true;
    }
    return false;
  }

  // The tilt of the document edge through this corner's two hits, in degrees, or NaN.
  double Tilt() const {
    const int32_t j = Hit(false, region.width());
    const int32_t l = Hit(true, region.height());
    if (j <= 3 || l <= 3) return std::nan("");
    if (LineHit(j - 4, l - 4)) return std::nan("");
    // From the row hit (j, 1) to the column hit (1, l), in image directions.
    const double dx = double(sx) * (1 - j), dy = double(sy) * (l - 1);
    double tilt = std::atan2(dy, dx) * 180 / kPi;  // (-180, 180]
    while (tilt > 45) tilt -= 90;
    while (tilt <= -45) tilt += 90;
    return tilt;
  }
};

double Measure(const uint8_t* image, uint32_t lineBytes, uint32_t width, uint32_t height,
               uint8_t orientation, uint8_t threshold, const ImageRect* region, int bpp) {
  if (image == nullptr || width == 0 || height == 0) return 0;
  if (lineBytes < uint64_t{width} * bpp) return 0;
  ImageRect r = region != nullptr ? *region
                                  : ImageRect{0, 0, static_cast<int32_t>(std::min<uint32_t>(width - 1, INT32_MAX)),
                                              static_cast<int32_t>(std::min<uint32_t>(height - 1, INT32_MAX))};
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  // Clipped to the image: nothing outside the caller's raster is read.
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = static_cast<int32_t>(std::min<int64_t>(r.right, int64_t{width} - 1));
  r.bottom = static_cast<int32_t>(std::min<int64_t>(r.bottom, int64_t{height} - 1));
  if (r.right - r.left < 8 || r.bottom - r.top < 8) return 0;
  const Region area(image, lineBytes, height, orientation, bpp, r, threshold);
  const int32_t w1 = area.width() - 1, h1 = area.height() - 1;
  const Corner corners[] = {{area, 0, 0, 1, 1}, {area, w1, 0, -1, 1}, {area, 0, h1, 1, -1},
                            {area, w1, h1, -1, -1}};
  for (const Corner& corner : corners) {
    const double tilt = corner.Tilt();
    if (std::isnan(tilt)) continue;
    const double turn = 0.0 - tilt + 0.0;  // never -0
    return turn < 0 ? turn + 360 : turn;
  }
  return 0;
}

}  // namespace

extern "C" {

IMGFILT_API double IMGFILT_CALL RotateAngleGray(const uint8_t* image, uint32_t lineBytes,
                                                uint32_t width, uint32_t height,
                                                uint8_t orientation, uint8_t threshold,
                                                ImageRect* region) {
  return Measure(image, lineBytes, width, height, orientation, threshold, region, 1);
}

IMGFILT_API double IMGFILT_CALL RotateAngleColor(const uint8_t* image, uint32_t lineBytes,
                                                 uint32_t width, uint32_t height,
                                                 uint8_t orientation, uint8_t threshold,
                                                 ImageRect* region) {
  return Measure(image, lineBytes, width, height, orientation, threshold, region, 3);
}

}  // extern "C"
