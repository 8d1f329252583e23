#include "chart.h"

#include <cstddef>

namespace emulator {

namespace {
constexpr int64_t kInch = kChartUnitsPerInch;
constexpr int64_t kMargin = kInch / 4;             // left edge of every element
constexpr int64_t kSpan = 8 * kInch;               // width of every element
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};

// Vertical bands, top to bottom.
constexpr int64_t kRampTop = kInch / 4, kRampBottom = kInch * 5 / 4;
constexpr int64_t kBarsTop = kInch * 3 / 2, kBarsBottom = kInch * 5 / 2;
constexpr int64_t kLinesTop = kInch * 11 / 4, kLinesBottom = kInch * 15 / 4;
constexpr int64_t kTextTop = 4 * kInch, kTextBottom = kInch * 11 / 2;
constexpr int64_t kDotsTop = 6 * kInch, kDotsBottom = 8 * kInch;
constexpr int64_t kStepsTop = kInch * 17 / 2, kStepsBottom = 11 * kInch;

constexpr int64_t kTextCellWidth = kInch / 10, kTextCellHeight = kInch * 3 / 20;
constexpr int64_t kTextPeriod = 2 * kTextCellHeight;  // the strokes repeat every two text rows
constexpr int64_t kDotPitch = kInch / 100;            // screen cell; odd rows shifted half a cell
constexpr int64_t kDotPeriod = 2 * kDotPitch;

uint32_t Hash(uint32_t a, uint32_t b) {
  uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  return h;
}

bool Inside(int64_t v, int64_t lo, int64_t hi) { return v >= lo && v < hi; }

Rgb Gray(int64_t level) {
  auto v = static_cast<uint8_t>(level < 0 ? 0 : level > 255 ? 255 : level);
  return {v, v, v};
}

Rgb Ramp(int64_t x) { return Gray((x - kMargin) * 256 / kSpan); }

Rgb Bar(int64_t x) {
  static constexpr Rgb kBars[8] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                   {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
  return kBars[(x - kMargin) * 8 / kSpan];
}

// Four groups of vertical lines, each finer than the last (20, 40, 80 and 160 per inch).
Rgb Lines(int64_t x) {
  int64_t rel = x - kMargin;
  int64_t group = rel * 4 / kSpan;
  int64_t period = kInch / (20 << group);
  return (rel % period) < period / 2 ? kBlack : kWhite;
}

// Glyph-like strokes: each cell is a 5 x 7 grid of blocks, drawn from a hash of the cell.
Rgb Text(int64_t x, int64_t y) {
  int64_t rel = x - kMargin;
  int64_t cy = (y - kTextTop) % kTextPeriod;
  auto col = static_cast<uint32_t>(rel / kTextCellWidth);
  auto row = static_cast<uint32_t>(cy / kTextCellHeight);
  int64_t gx = (rel % kTextCellWidth) * 7 / kTextCellWidth;  // 5 stroke columns + 2 spacing
  int64_t gy = (cy % kTextCellHeight) * 9 / kTextCellHeight;  // 7 stroke rows + 2 spacing
  if (gx >= 5 || gy >= 7 || col % 9 == 8) return kWhite;      // spaces between words
  uint32_t bits = Hash(col, row);
  return (bits >> (gy * 5 + gx) % 32) & 1 ? kBlack : kWhite;
}

// A dot screen whose dots grow from left to right, in the 45-degree arrangement.
Rgb Dots(int64_t x, int64_t y) {
  int64_t rel = x - kMargin;
  int64_t ry = (y - kDotsTop) % kDotPeriod;
  int64_t shift = ry >= kDotPitch ? kDotPitch / 2 : 0;
  int64_t cx = (rel + shift) % kDotPitch - kDotPitch / 2;
  int64_t cy = ry % kDotPitch - kDotPitch / 2;
  // Dot area grows linearly with x: covered when the distance is inside the radius.
  int64_t coverage = rel * 1000 / kSpan;  // 0..999 per mille of the cell
  int64_t r2 = kDotPitch * kDotPitch * coverage / 1000 * 7 / 22;  // area / pi
  return cx * cx + cy * cy < r2 ? kBlack : kWhite;
}

Rgb Steps(int64_t x, int64_t y) {
  int64_t step = (x - kMargin) * 10 / kSpan + (y >= kStepsTop + (kStepsBottom - kStepsTop) / 2 ? 10 : 0);
  return Gray(255 - step * 255 / 19);
}
}  // namespace

Rgb TestChart::At(int64_t x, int64_t y) const {
  if (!Inside(x, kMargin, kMargin + kSpan)) return kWhite;
  if (Inside(y, kRampTop, kRampBottom)) return Ramp(x);
  if (Inside(y, kBarsTop, kBarsBottom)) return Bar(x);
  if (Inside(y, kLinesTop, kLinesBottom)) return Lines(x);
  if (Inside(y, kTextTop, kTextBottom)) return Text(x, y);
  if (Inside(y, kDotsTop, kDotsBottom)) return Dots(x, y);
  if (Inside(y, kStepsTop, kStepsBottom)) return Steps(x, y);
  return kWhite;
}

int64_t TestChart::RowKey(int64_t y) const {
  // Keys: 0 white; 1..4 the x-only bands; the text and dot bands by their phase in the period;
  // the two rows of steps.
  constexpr int64_t kPhaseBase = 1000;
  if (Inside(y, kRampTop, kRampBottom)) return 1;
  if (Inside(y, kBarsTop, kBarsBottom)) return 2;
  if (Inside(y, kLinesTop, kLinesBottom)) return 3;
  if (Inside(y, kTextTop, kTextBottom)) return kPhaseBase + (y - kTextTop) % kTextPeriod;
  if (Inside(y, kDotsTop, kDotsBottom)) {
    return kPhaseBase + kTextPeriod + (y - kDotsTop) % kDotPeriod;
  }
  if (Inside(y, kStepsTop, kStepsBottom)) return y >= kStepsTop + (kStepsBottom - kStepsTop) / 2 ? 5 : 4;
  return 0;
}

Picture::Picture(int width, int height, int dpi, std::vector<uint8_t> rgb)
    : width_(width), height_(height), dpi_(dpi > 0 ? dpi : 300), rgb_(std::move(rgb)) {}

Rgb Picture::At(int64_t x, int64_t y) const {
  int64_t px = x * dpi_ / kChartUnitsPerInch;
  int64_t py = y * dpi_ / kChartUnitsPerInch;
  if (px < 0 || py < 0 || px >= width_ || py >= height_) return kWhite;
  size_t at = (static_cast<size_t>(py) * width_ + px) * 3;
  return {rgb_[at], rgb_[at + 1], rgb_[at + 2]};
}

}  // namespace emulator
