// Frames in the transparency unit's holders.
//
// The holder is opaque; a frame is a window that the lamp shines through. Positions and boxes are
// held in 1/50 inch from the holder's corner and converted to the scan's pixels.
//
// Slides (up to six, two columns by three rows): the holder's dividers must be dark, else the
// holder is not there (-1). For each position a walk starts at the position's reference point on
// the holder's outer edge and goes up to two offsets inwards along a strip 20 units high, looking
// at the strip's mean of each column's brightest channel: the window is where that mean exceeds
// 48. The opaque holder stays below 10; half of 127 rather than 127 itself keeps dark pictures
// (night scenes, dense negatives) from splitting a window in two. The window's middle column is then walked up and down from the reference row, the same way,
// and the row through the new centre walked out both ways again. A centre box whose mean lies
// outside 10..250 (an empty, bare-lamp opening or a black slide) is no frame. The brightest of
// the four side boxes tells a landscape slide (left or right) from a portrait one.
//
// Film strips (up to two horizontal strip windows): the holder's opaque guards must be dark, else
// nothing is found. Along each window's middle strip, film is where light comes through (the
// brightest channel above 48) but not bare lamp (every channel at 250 or more); the longest run
// of film columns at least 15 units long is the frame's width, and its middle column walked up and
// down from the window's middle row gives its height, within the window's outline.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "analysis_area.h"
#include "imgfilt.h"

namespace imgfilt {
namespace {

struct Units {
  int32_t l, t, r, b;
};

constexpr Units kSlideDividers[] = {{121, 11, 130, 340}, {11, 114, 240, 123}, {11, 232, 240, 242}};
constexpr int32_t kSlidePoints[6][2] = {{17, 59}, {17, 177}, {17, 295}, {235, 59}, {235, 177}, {235, 295}};
constexpr int32_t kSlideOffsets[6] = {50, 50, 50, -50, -50, -50};
constexpr Units kCentreBox{-20, -20, 20, 20};
constexpr Units kSideBoxes[4] = {{-32, -20, -24, 20}, {24, -20, 32, 20}, {-20, -32, 20, -24}, {-20, 24, 20, 32}};
constexpr Units kLandscape{-32, -20, 32, 20};
constexpr Units kPortrait{-20, -32, 20, 32};
constexpr Units kFilmGuards[] = {{17, 9, 238, 40}, {17, 105, 238, 152}, {17, 215, 238, 246}};
// The inside of each strip window: between its left and right bars and its top and bottom bars.
constexpr Units kFilmWindows[] = {{21, 54, 234, 94}, {21, 161, 234, 201}};
constexpr int32_t kStripHalf = 10;      // half the height of a walked strip
constexpr int32_t kLeastFilm = 15;      // shortest film run taken for a frame
constexpr int kLit = 48;                // brightest channel above this: light comes through
constexpr int kBare = 250;              // every channel at or above this: bare lamp
constexpr double kDarkHolder = 10;      // mean channel value of an opaque part at most

class Scan {
 public:
  Scan(const AnalysisArea& area, uint32_t dpi) : area_(area), dpi_(dpi) {}

  int32_t Px(int32_t units) const {
    return static_cast<int32_t>(std::floor(units * double(dpi_) * 0.02 + 0.5));
  }
  ImageRect Box(const Units& u, int32_t cx = 0, int32_t cy = 0) const {
    return {cx + Px(u.l), cy + Px(u.t), cx + Px(u.r), cy + Px(u.b)};
  }
  // Mean channel value over the box (clipped; -1 when nothing of it lies in the scan), and how
  // many channel values exceed 9.
  double Mean(ImageRect r, uint64_t* above9 = nullptr) const {
    if (!Clip(r)) return -1;
    uint64_t sum = 0, count = 0;
    for (int32_t y = r.top; y <= r.bottom; ++y) {
      for (int32_t x = r.left; x <= r.right; ++x) {
        const uint8_t* p = area_.at(uint32_t(x), uint32_t(y));
        for (int c = 0; c < 3; ++c) sum += p[c], count += p[c] > 9;
      }
    }
    if (above9 != nullptr) *above9 = count;
    return double(sum) / (3.0 * (int64_t(r.right - r.left) + 1) * (int64_t(r.bottom - r.top) + 1));
  }
  // Brightest-channel and darkest-channel means of a strip: pixels [a0, a1] across at position
  // `at` along (a column when `vertical`, else a row).
  void Strip(bool vertical, int32_t at, int32_t a0, int32_t a1, int& brightest, int& darkest) const {
    brightest = darkest = 0;
    ImageRect r = vertical ? ImageRect{a0, at, a1, at} : ImageRect{at, a0, at, a1};
    if (!Clip(r)) return;
    uint64_t hi = 0, lo = 0, n = 0;
    for (int32_t y = r.top; y <= r.bottom; ++y) {
      for (int32_t x = r.left; x <= r.right; ++x) {
        const uint8_t* p = area_.at(uint32_t(x), uint32_t(y));
        hi += std::max({p[0], p[1], p[2]}), lo += std::min({p[0], p[1], p[2]}), ++n;
      }
    }
    brightest = int((hi + n / 2) / n), darkest = int((lo + n / 2) / n);
  }
  bool Lit(bool vertical, int32_t at, int32_t a0, int32_t a1) const {
    int hi = 0, lo = 0;
    Strip(vertical, at, a0, a1, hi, lo);
    return hi > kLit;
  }
  bool Film(bool vertical, int32_t at, int32_t a0, int32_t a1) const {
    int hi = 0, lo = 0;
    Strip(vertical, at, a0, a1, hi, lo);
    return hi > kLit && lo < kBare;
  }
  ImageRect Clipped(ImageRect r) const {
    Clip(r);
    return r;
  }

 private:
  bool Clip(ImageRect& r) const {
    const int64_t w = area_.width(), h = area_.height();
    if (r.right < 0 || r.bottom < 0 || r.left >= w || r.top >= h || r.left > r.right || r.top > r.bottom) {
      return false;
    }
    r.left = std::max(r.left, 0), r.top = std::max(r.top, 0);
    r.right = int32_t(std::min<int64_t>(r.right, w - 1)), r.bottom = int32_t(std::min<int64_t>(r.bottom, h - 1));
    return true;
  }

  const AnalysisArea& area_;
  uint32_t dpi_;
};

// Walks from `from` one pixel at a time towards `to` while `lit` holds; returns the last
// position where it held (from - step when it does not hold at `from`).
template <typename Lit>
int32_t WalkWhile(int32_t from, int32_t to, Lit lit) {
  const int32_t step = to >= from ? 1 : -1;
  int32_t at = from;
  while (lit(at)) {
    if (at == to) return at;
    at += step;
  }
  return at - step;
}

// The lit window met walking from `from` towards `to`: [first, last] along the walk, or false.
template <typename Lit>
bool FirstRun(int32_t from, int32_t to, Lit lit, int32_t& first, int32_t& last) {
  const int32_t step = to >= from ? 1 : -1;
  for (int32_t at = from;; at += step) {
    if (lit(at)) {
      first = at;
      last = WalkWhile(at, to, lit);
      return true;
    }
    if (at == to) return false;
  }
}

bool SlideCentre(const Scan& s, int position, int32_t& cx, int32_t& cy) {
  const int32_t rx = s.Px(kSlidePoints[position][0]), ry = s.Px(kSlidePoints[position][1]);
  const int32_t reach = s.Px(2 * kSlideOffsets[position]), half = s.Px(kStripHalf);
  auto row = [&](int32_t y) { return [&s, y, half](int32_t x) { return s.Lit(false, x, y - half, y + half); }; };
  int32_t a = 0, b = 0;
  if (!FirstRun(rx, rx + reach, row(ry), a, b)) return false;
  cx = (a + b) / 2;
  auto column = [&](int32_t x) { return [&s, x, half](int32_t y) { return s.Lit(true, y, x - half, x + half); }; };
  const int32_t span = s.Px(std::abs(kSlideOffsets[position]));
  if (!column(cx)(ry)) return false;
  const int32_t top = WalkWhile(ry, ry - span, column(cx)), bottom = WalkWhile(ry, ry + span, column(cx));
  cy = (top + bottom) / 2;
  if (!row(cy)(cx)) return false;
  const int32_t left = WalkWhile(cx, cx - span, row(cy)), right = WalkWhile(cx, cx + span, row(cy));
  cx = (left + right) / 2;
  return true;
}

int32_t Slides(const Scan& s, ImageRect* frames) {
  for (const Units& divider : kSlideDividers) {
    if (s.Mean(s.Box(divider)) > kDarkHolder) return -1;
  }
  int32_t found = 0;
  for (int position = 0; position < 6; ++position) {
    int32_t cx = 0, cy = 0;
    if (!SlideCentre(s, position, cx, cy)) continue;
    const double centre = s.Mean(s.Box(kCentreBox, cx, cy));
    if (centre < 10 || centre > 250) continue;
    int brightest = 0;
    double bestMean = -1;
    uint64_t bestCount = 0;
    double means[4];
    uint64_t counts[4];
    for (int i = 0; i < 4; ++i) {
      means[i] = s.Mean(s.Box(kSideBoxes[i], cx, cy), &counts[i]);
      if (means[i] > bestMean) bestMean = means[i], brightest = i;
    }
    if (bestMean < 10) {
      for (int i = 0; i < 4; ++i) {
        if (counts[i] > bestCount) bestCount = counts[i], brightest = i;
      }
    }
    frames[found++] = s.Clipped(s.Box(brightest < 2 ? kLandscape : kPortrait, cx, cy));
  }
  return found;
}

bool FilmFrame(const Scan& s, const Units& window, ImageRect& frame) {
  const ImageRect w = s.Box(window);
  const int32_t midY = (w.top + w.bottom) / 2, half = s.Px(kStripHalf);
  // The longest run of film columns.
  int32_t bestA = 0, bestB = -1;
  for (int32_t x = w.left; x <= w.right;) {
    if (!s.Film(false, x, midY - half, midY + half)) {
      ++x;
      continue;
    }
    const int32_t end = WalkWhile(x, w.right, [&](int32_t at) { return s.Film(false, at, midY - half, midY + half); });
    if (end - x > bestB - bestA) bestA = x, bestB = end;
    x = end + 1;
  }
  if (bestB - bestA + 1 < s.Px(kLeastFilm)) return false;
  const int32_t midX = (bestA + bestB) / 2;
  auto column = [&](int32_t y) { return s.Film(true, y, midX - half, midX + half); };
  if (!column(midY)) return false;
  frame = ImageRect{bestA, WalkWhile(midY, w.top, column), bestB, WalkWhile(midY, w.bottom, column)};
  const double mean = s.Mean(frame);
  return mean >= 10 && mean <= 250;
}

int32_t FilmStrips(const Scan& s, ImageRect* frames) {
  for (const Units& guard : kFilmGuards) {
    if (s.Mean(s.Box(guard)) > kDarkHolder) return 0;
  }
  int32_t found = 0;
  for (const Units& window : kFilmWindows) {
    ImageRect frame{};
    if (FilmFrame(s, window, frame)) frames[found++] = frame;
  }
  return found;
}

int32_t Detect(const uint8_t* image, uint32_t lineBytes, uint32_t width, uint32_t height,
               uint32_t resolution, ImageRect* frames, uint8_t orientation, bool slides) {
  if (image == nullptr || frames == nullptr || resolution < 1) return -2;
  if (lineBytes < uint64_t{width} * 3) return -2;
  if (width < uint64_t{resolution} * 5 || height < uint64_t{resolution} * 7) return -2;
  // Positions are held in 32-bit pixels: refuse resolutions that would overflow them.
  if (resolution > 100000) return -2;
  AnalysisArea area;
  if (!area.Open(image, lineBytes, width, height, orientation, 3, nullptr)) return -2;
  const Scan scan(area, resolution);
  return slides ? Slides(scan, frames) : FilmStrips(scan, frames);
}

}  // namespace
}  // namespace imgfilt

extern "C" {

IMGFILT_API int32_t IMGFILT_CALL TPOPositiveAutoRegion(const uint8_t* image, uint32_t lineBytes,
                                                       uint32_t width, uint32_t height,
                                                       uint32_t resolution, ImageRect* frames,
                                                       uint8_t orientation) {
  return imgfilt::Detect(image, lineBytes, width, height, resolution, frames, orientation, true);
}

IMGFILT_API int32_t IMGFILT_CALL TPONegativeAutoRegion(const uint8_t* image, uint32_t lineBytes,
                                                       uint32_t width, uint32_t height,
                                                       uint32_t resolution, ImageRect* frames,
                                                       uint8_t orientation) {
  return imgfilt::Detect(image, lineBytes, width, height, resolution, frames, orientation, false);
}

}  // extern "C"
