// Frames in the transparency unit's holders.
//
// The holder is opaque; a frame is a window that the lamp shines through. Positions and boxes are
// held in 1/50 inch from the holder's corner and converted to the scan's pixels. Every edge is
// found by the walk of tpo_scan.h: from the holder's side inwards, where the short runs cross
// 127 or, next to a darker picture, half-way between holder and picture.
//
// Slides (up to six, two columns by three rows): the holder's dividers must be dark, else the
// holder is not there (-1). For each position the row through the reference point is walked from
// the holder's outer edge inwards and from two offsets in back outwards (both stay short of the
// middle divider), giving the window's left and right edges; the column through their middle is
// walked the same way from 44 units above and below the reference row (short of the cross
// dividers). A centre box whose mean lies outside 10..250 (an empty, bare-lamp opening or a black
// slide) is no frame. The brightest of the four side boxes tells a landscape slide (left or right)
// from a portrait one.
//
// Film strips (up to two strip windows, the holder lying either way): the holder's guard areas
// for one placement must be dark, else nothing is found. A strip laid the other way lights the
// guards it crosses, so the placement taken is the one whose guards are all dark and whose guards
// and window bars are darkest together. In each window the film is walked along the window's
// middle from each end bar inwards, bare lamp (every channel at 250 or more) counting as unlit;
// a run of film at least 15 units long is the frame's length, and the line through its middle,
// walked from each side bar inwards, gives its width.
#include "tpo_scan.h"

namespace imgfilt::tpo {

double Scan::Mean(ImageRect r, uint64_t* above9) const {
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

Run Scan::Strip(bool vertical, int32_t at, int32_t a0, int32_t a1) const {
  ImageRect r = vertical ? ImageRect{a0, at, a1, at} : ImageRect{at, a0, at, a1};
  if (!Clip(r)) return {};
  uint64_t hi = 0, lo = 0, n = 0;
  for (int32_t y = r.top; y <= r.bottom; ++y) {
    for (int32_t x = r.left; x <= r.right; ++x) {
      const uint8_t* p = area_.at(uint32_t(x), uint32_t(y));
      hi += std::max({p[0], p[1], p[2]}), lo += std::min({p[0], p[1], p[2]}), ++n;
    }
  }
  return {int((hi + n / 2) / n), int((lo + n / 2) / n)};
}

bool Scan::Clip(ImageRect& r) const {
  const int64_t w = area_.width(), h = area_.height();
  if (r.right < 0 || r.bottom < 0 || r.left >= w || r.top >= h || r.left > r.right || r.top > r.bottom) {
    return false;
  }
  r.left = std::max(r.left, 0), r.top = std::max(r.top, 0);
  r.right = int32_t(std::min<int64_t>(r.right, w - 1)), r.bottom = int32_t(std::min<int64_t>(r.bottom, h - 1));
  return true;
}

namespace {

constexpr Units kSlideDividers[] = {{121, 11, 130, 340}, {11, 114, 240, 123}, {11, 232, 240, 242}};
constexpr int32_t kSlidePoints[6][2] = {{17, 59}, {17, 177}, {17, 295}, {235, 59}, {235, 177}, {235, 295}};
constexpr int32_t kSlideOffsets[6] = {50, 50, 50, -50, -50, -50};
constexpr int32_t kSlideReach = 44;  // from a reference row to just short of the cross dividers
constexpr Units kCentreBox{-20, -20, 20, 20};
constexpr Units kSideBoxes[4] = {{-32, -20, -24, 20}, {24, -20, 32, 20}, {-20, -32, 20, -24}, {-20, 24, 20, 32}};
constexpr Units kLandscape{-32, -20, 32, 20};
constexpr Units kPortrait{-20, -32, 20, 32};
// Film strips laid along the scan's rows; the other placement is every rectangle transposed.
constexpr Units kFilmGuards[] = {{17, 9, 238, 40}, {17, 105, 238, 152}, {17, 215, 238, 246}};
constexpr Units kFilmBars[] = {{11, 54, 21, 94},    {234, 54, 244, 94},   {17, 44, 238, 54},
                               {17, 94, 238, 104},  {11, 161, 21, 201},   {234, 161, 244, 201},
                               {17, 151, 238, 161}, {17, 201, 238, 211}};
// The inside of each strip window: between its end bars and its side bars.
constexpr Units kFilmWindows[] = {{21, 54, 234, 94}, {21, 161, 234, 201}};
constexpr int32_t kIntoBar = 5;     // walks start this far inside a window's bar
constexpr int32_t kStripHalf = 10;  // half the width of a walked run
constexpr int32_t kSettle = 3;      // the picture's level is measured this far past its first run
constexpr int32_t kLeastFilm = 15;  // shortest window taken for a frame

bool SlideCentre(const Scan& s, int position, int32_t& cx, int32_t& cy) {
  const int32_t rx = s.Px(kSlidePoints[position][0]), ry = s.Px(kSlidePoints[position][1]);
  const int32_t reach = s.Px(2 * kSlideOffsets[position]), half = s.Px(kStripHalf);
  const int32_t settle = s.Px(kSettle), least = s.Px(kLeastFilm), span = s.Px(kSlideReach);
  auto row = [&](int32_t at) { return s.Strip(false, at, ry - half, ry + half); };
  int32_t a = 0, b = 0;
  if (!Window(rx, rx + reach, settle, least, false, row, a, b)) return false;
  cx = a + (b - a) / 2;
  auto column = [&](int32_t at) { return s.Strip(true, at, cx - half, cx + half); };
  if (!Window(ry - span, ry + span, settle, least, false, column, a, b)) return false;
  cy = a + (b - a) / 2;
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

Units Placed(const Units& u, bool across) { return across ? u.Transposed() : u; }

// How dark the holder is for one placement of the strips: the sum of its guards' and bars' means,
// or -1 when a guard is not dark.
double FilmHolderLevel(const Scan& s, bool across) {
  double sum = 0;
  for (const Units& guard : kFilmGuards) {
    const double mean = s.Mean(s.Box(Placed(guard, across)));
    if (mean > kDarkHolder) return -1;
    sum += mean;
  }
  for (const Units& bar : kFilmBars) sum += std::max(0.0, s.Mean(s.Box(Placed(bar, across))));
  return sum;
}

// The film in one window, given as for strips along rows; with `across` every walk and the frame
// written have x and y swapped. Walks run along the strip and over it.
bool FilmFrame(const Scan& s, const Units& window, bool across, ImageRect& frame) {
  const ImageRect w = s.Box(window);
  const int32_t into = s.Px(kIntoBar), settle = s.Px(kSettle), least = s.Px(kLeastFilm);
  const int32_t mid = w.top + (w.bottom - w.top) / 2, half = s.Px(kStripHalf);
  // Along the strip: a row walk (a column walk for strips laid across).
  auto along = [&](int32_t at) { return s.Strip(across, at, mid - half, mid + half); };
  int32_t a = 0, b = 0;
  if (!Window(w.left - into, w.right + into, settle, least, true, along, a, b)) return false;
  const int32_t middle = a + (b - a) / 2, runHalf = std::min(half, (b - a) / 4);
  auto over = [&](int32_t at) { return s.Strip(!across, at, middle - runHalf, middle + runHalf); };
  int32_t top = 0, bottom = 0;
  if (!Window(w.top - into, w.bottom + into, settle, 1, true, over, top, bottom)) return false;
  frame = across ? ImageRect{top, a, bottom, b} : ImageRect{a, top, b, bottom};
  frame = s.Clipped(frame);
  const double mean = s.Mean(frame);
  return mean >= 10 && mean <= 250;
}

int32_t FilmStrips(const Scan& s, ImageRect* frames) {
  const double along = FilmHolderLevel(s, false), across = FilmHolderLevel(s, true);
  if (along < 0 && across < 0) return 0;
  const bool transposed = along < 0 || (across >= 0 && across < along);
  int32_t found = 0;
  for (const Units& window : kFilmWindows) {
    ImageRect frame{};
    // The window is given for strips along rows; FilmFrame swaps the axes for the other placement.
    if (FilmFrame(s, window, transposed, frame)) frames[found++] = frame;
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
}  // namespace imgfilt::tpo

extern "C" {

IMGFILT_API int32_t IMGFILT_CALL TPOPositiveAutoRegion(const uint8_t* image, uint32_t lineBytes,
                                                       uint32_t width, uint32_t height,
                                                       uint32_t resolution, ImageRect* frames,
                                                       uint8_t orientation) {
  return imgfilt::tpo::Detect(image, lineBytes, width, height, resolution, frames, orientation, true);
}

IMGFILT_API int32_t IMGFILT_CALL TPONegativeAutoRegion(const uint8_t* image, uint32_t lineBytes,
                                                       uint32_t width, uint32_t height,
                                                       uint32_t resolution, ImageRect* frames,
                                                       uint8_t orientation) {
  return imgfilt::tpo::Detect(image, lineBytes, width, height, resolution, frames, orientation, false);
}

}  // extern "C"
