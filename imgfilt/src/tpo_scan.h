// Measuring a transparency-unit scan: boxes and strips in the holder's 1/50-inch units, and the
// walk that finds where a lit window starts when coming from the opaque holder.
//
// The walk's crossing. A lit window is brighter than the holder; its edge is where the rounded
// mean brightness of a short run across the walk crosses half-way up the step from holder to
// window. For a bright picture that is level 127 (the holder is near 0, the lamp near 255), and
// 127 is what the walk uses whenever the picture next to the edge is brighter than 127. A dark
// picture (a night scene, a dense negative) never reaches 127, and a fixed lower level crossed
// inside the picture would split it. So the walk never measures inside the picture: it comes from
// the holder's side, takes the first run that leaves the holder's level (kRise), measures the
// picture just past it, and places the edge where the runs cross the lower of 127 and the half-way
// level between holder and that picture. The far edge is found the same way from the far side,
// so the picture's content between the two edges never matters.
#ifndef IMGFILT_SRC_TPO_SCAN_H_
#define IMGFILT_SRC_TPO_SCAN_H_

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "analysis_area.h"
#include "imgfilt.h"

namespace imgfilt::tpo {

// A rectangle in the holder's units, 1/50 inch from its corner.
struct Units {
  int32_t l, t, r, b;
  constexpr Units Transposed() const { return {t, l, b, r}; }
};

constexpr double kDarkHolder = 10;  // mean channel value of an opaque part at most
constexpr int kRise = 24;           // a run brighter than this has left the holder (at most 10)
constexpr int kCross = 127;         // the crossing level of a window brighter than it
constexpr int kBare = 250;          // every channel at or above this: bare lamp, no film

// One position of a walk: rounded means, over a short run across the walk, of each pixel's
// brightest and darkest channel. The brightest channel sees through the orange base of negatives.
struct Run {
  int bright = 0;
  int dark = 0;
};

class Scan {
 public:
  Scan(const AnalysisArea& area, uint32_t dpi) : area_(area), dpi_(dpi) {}

  int32_t Px(double units) const {
    return static_cast<int32_t>(std::floor(units * double(dpi_) * 0.02 + 0.5));
  }
  ImageRect Box(const Units& u, int32_t cx = 0, int32_t cy = 0) const {
    return {cx + Px(u.l), cy + Px(u.t), cx + Px(u.r), cy + Px(u.b)};
  }
  // Mean channel value over the box (clipped; -1 when nothing of it lies in the scan), and how
  // many channel values exceed 9.
  double Mean(ImageRect r, uint64_t* above9 = nullptr) const;
  // The run at `at` along a row walk (pixels [a0, a1] of column `at`) or a column walk (`vertical`:
  // pixels [a0, a1] of row `at`). Outside the scan a run is dark.
  Run Strip(bool vertical, int32_t at, int32_t a0, int32_t a1) const;
  ImageRect Clipped(ImageRect r) const {
    Clip(r);
    return r;
  }

 private:
  bool Clip(ImageRect& r) const;

  const AnalysisArea& area_;
  uint32_t dpi_;
};

// A lit position: above `level` and not bare lamp (when `film`, where bare lamp is no picture).
inline bool Above(const Run& run, int level, bool film) { return run.bright > level && (!film || run.dark < kBare); }

// Whether bare lamp is met within `reach` pixels after `at`: a lit run so close before the lamp
// is the lamp's own soft edge.
template <typename Within, typename Measure>
bool LampAhead(int32_t at, int32_t step, int32_t reach, Within within, Measure measure) {
  for (int32_t k = at + step, i = 0; i < reach && within(k); k += step, ++i) {
    if (measure(k).dark >= kBare) return true;
  }
  return false;
}

// The picture's level past a first lit run at `at`: the far half of the `settle` pixels after it,
// beyond any soft edge; the run itself when the walk ends sooner.
template <typename Within, typename Measure>
Run PictureLevel(int32_t at, int32_t step, int32_t settle, Within within, Measure measure) {
  int64_t bright = 0, dark = 0, n = 0;
  for (int32_t i = settle / 2 + 1, k = at + step * i; i <= settle && within(k); k += step, ++i, ++n) {
    const Run run = measure(k);
    bright += run.bright, dark += run.dark;
  }
  if (n == 0) return measure(at);
  return {int((bright + n / 2) / n), int((dark + n / 2) / n)};
}

// The edge of the first lit window met walking from `from` (on the holder) towards `to`, one
// pixel at a time; false when nothing is lit on the way. The edge lies within `settle` pixels of
// the first lit run: where the runs cross 127, or half-way from the holder to a darker picture.
// Film met straight after bare lamp has its edge where the darkest channel falls half-way from the
// lamp to the film (bare lamp's bound kBare lies at the lamp's end of a soft edge); a soft rise
// into bare lamp is passed over.
template <typename Measure>
bool EdgeFrom(int32_t from, int32_t to, int32_t settle, bool film, Measure measure, int32_t& edge) {
  const int32_t step = to >= from ? 1 : -1;
  auto within = [&](int32_t at) { return (int64_t{to} - at) * step >= 0; };
  const int holder = std::min(measure(from).bright, kRise);
  int lamp = -1;  // the darkest channel of the run before, when that run was bare lamp
  for (int32_t at = from; within(at); at += step) {
    const Run first = measure(at);
    if (!Above(first, kRise, film)) {
      lamp = first.bright > kRise ? first.dark : -1;
      continue;
    }
    if (film && LampAhead(at, step, settle / 2, within, measure)) continue;
    const Run inside = PictureLevel(at, step, settle, within, measure);
    const int level = inside.bright > kCross ? kCross : (holder + inside.bright + 1) / 2;
    const int cut = (lamp + inside.dark + 1) / 2;
    edge = at;
    for (int32_t k = at, i = 0; i <= settle && within(k); k += step, ++i) {
      const Run run = measure(k);
      if (lamp >= 0 ? run.dark < cut && Above(run, kRise, film) : Above(run, level, film)) {
        edge = k;
        break;
      }
    }
    return true;
  }
  return false;
}

// The lit window between `from` and `to`, each edge found from its own side: [first, last] in
// ascending pixel order, false when nothing is lit or the window is narrower than `least`.
template <typename Measure>
bool Window(int32_t from, int32_t to, int32_t settle, int32_t least, bool film, Measure measure,
            int32_t& first, int32_t& last) {
  int32_t a = 0, b = 0;
  if (!EdgeFrom(from, to, settle, film, measure, a) || !EdgeFrom(to, from, settle, film, measure, b)) return false;
  first = std::min(a, b), last = std::max(a, b);
  return int64_t{last} - first + 1 >= least;
}

}  // namespace imgfilt::tpo

#endif  // IMGFILT_SRC_TPO_SCAN_H_
