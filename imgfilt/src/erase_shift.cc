// Hiding the seams of a multi-segment image sensor.
//
// Each join between sensor segments can leave a constant step between the two pixels on either
// side of it, the same on every line. For every line (but the first and last three) and every
// join, the ten pixels around the join are looked at on that line and the two lines above and
// below:
// - When the image is flat on both sides (q1..q3 and q4..q6 each with neighbour differences
//   summing below 20), the step is the mean over the five lines of (q5 + q4 - q3 - q2) / 2; up to
//   80 levels it is the sensor's, beyond that an image edge; it must also be the same within 10
//   levels on the five lines, else an edge close by is moving through.
// - Otherwise the step may lie one pixel beside the computed join (rounding of the resolution), or
//   an image edge crosses. At the join and one pixel either side the step less the image's own
//   slope is taken on each of the five lines; the position where it varies least is a sensor step
//   when it varies by at most 10 levels, and an image edge (left alone) when it varies more; a
//   sensor step never varies by more than noise, an edge crossing the join does (by more than 30
//   wherever it is steep enough to matter).
// A sensor step d is spread over the pixels around it: the two beside it move towards each other
// by d/3, the next by d/4, above 99 dpi the next by d/5 and above 199 dpi the outermost by d/6.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imgfilt.h"
#include "raster.h"
#include "work_buffer.h"

namespace imgfilt {
namespace {

constexpr uint32_t kFirstJoin = 223;
constexpr uint32_t kSegment = 234;
constexpr uint32_t kLastJoin = 2329;
constexpr int kSpan = 10;  // pixels kept per join: join - 5 .. join + 4

// The ten pixels of one channel around a join on five consecutive lines; q(k, dy) is the pixel
// k - 4 places from the join's left pixel q3 + 1, so q3 | q4 straddle the join.
struct Window {
  int v[5][kSpan];
  int q(int k, int dy) const { return v[dy + 2][k + 1]; }
};

bool Flat(const Window& w, int a) {
  return std::abs(w.q(a, 0) - w.q(a + 1, 0)) + std::abs(w.q(a + 1, 0) - w.q(a + 2, 0)) < 20;
}

// The step at offset o (between q(3 + o) and q(4 + o)) less the image slope beside it, on line dy.
double Excess(const Window& w, int o, int dy) {
  const double step = w.q(4 + o, dy) - w.q(3 + o, dy);
  const double slope = ((w.q(3 + o, dy) - w.q(2 + o, dy)) + (w.q(5 + o, dy) - w.q(4 + o, dy))) / 2.0;
  return step - slope;
}

// The sensor step and where it lies (offset -1, 0 or 1 from the join), or false for none.
bool SensorStep(const Window& w, double& d, int& offset) {
  if (Flat(w, 1) && Flat(w, 4)) {
    double sum = 0, lo = 1e9, hi = -1e9;
    for (int dy = -2; dy <= 2; ++dy) {
      const double step = (w.q(5, dy) + w.q(4, dy) - w.q(3, dy) - w.q(2, dy)) / 2.0;
      sum += step, lo = std::min(lo, step), hi = std::max(hi, step);
    }
    d = sum / 5, offset = 0;
    return std::fabs(d) <= 80 && hi - lo <= 10;
  }
  double bestSpread = 1e9;
  for (int o = -1; o <= 1; ++o) {
    double lo = 1e9, hi = -1e9, sum = 0;
    for (int dy = -2; dy <= 2; ++dy) {
      const double e = Excess(w, o, dy);
      lo = std::min(lo, e), hi = std::max(hi, e), sum += e;
    }
    if (hi - lo < bestSpread) bestSpread = hi - lo, d = sum / 5, offset = o;
  }
  return bestSpread <= 10 && std::fabs(d) <= 80;
}

// Writes the spread of step d at `offset` into the line's pixels (one channel, stride bpp). The
// fractions are rounded against a threshold that changes from line to line (the golden-ratio
// sequence), so that down a column they average out: a step of 1 or 2 levels, whose thirds would
// all round away, is spread as well as a large one.
void Spread(const Window& w, double d, int offset, uint32_t resolution, uint32_t line,
            uint8_t* joinLeft, int bpp) {
  const double dither = std::fmod(line * 0.6180339887498949, 1.0);
  double weights[4] = {1 / 3.0, 1 / 4.0, 0, 0};
  if (resolution > 99) weights[2] = 1 / 5.0;
  if (resolution > 199) weights[3] = 1 / 6.0;
  for (int i = 0; i < 4; ++i) {
    if (weights[i] == 0) continue;
    const int left = 3 + offset - i, right = 4 + offset + i;
    const double a = w.q(left, 0) + d * weights[i], b = w.q(right, 0) - d * weights[i];
    joinLeft[(left - 3) * bpp] = static_cast<uint8_t>(std::clamp(std::floor(a + dither), 0.0, 255.0));
    joinLeft[(right - 3) * bpp] = static_cast<uint8_t>(std::clamp(std::floor(b + dither), 0.0, 255.0));
  }
}

// Scan pixels of the joins within the window that have the five pixels either side.
std::vector<uint32_t> Joins(uint32_t width, uint32_t windowLeft, uint32_t windowWidth,
                            uint32_t resolution) {
  std::vector<uint32_t> joins;
  const uint64_t origin = uint64_t{windowLeft} * resolution / 300;
  for (uint32_t s = kFirstJoin; s <= kLastJoin; s += kSegment) {
    if (s < windowLeft || s - windowLeft >= windowWidth) continue;
    const uint64_t at = uint64_t{s} * resolution / 300;
    if (at < origin) continue;
    const uint64_t p = at - origin;  // the join's right pixel, q4
    if (p >= 5 && p + 4 < width) joins.push_back(static_cast<uint32_t>(p));
  }
  return joins;
}

uint8_t Erase(const uint8_t* source, uint8_t* destination, uint32_t lineBytes, uint32_t width,
              uint32_t lines, uint32_t windowLeft, uint32_t windowWidth, uint32_t resolution,
              int bpp) {
  if (source == nullptr || destination == nullptr) return kNullPointer;
  const size_t bytes = size_t{lineBytes} * lines;
  if (source != destination) std::memmove(destination, source, bytes);
  if (lineBytes <= 24 || lines <= 6 || width <= 8 || resolution == 0) return kOk;
  width = std::min<uint32_t>(width, lineBytes / static_cast<uint32_t>(bpp));
  const std::vector<uint32_t> joins = Joins(width, windowLeft, windowWidth, resolution);
  // The source's pixels around each join, since the destination may be the source.
  std::vector<uint8_t> saved;
  const size_t perJoin = size_t{lines} * kSpan * static_cast<size_t>(bpp);
  if (!TryResize(saved, perJoin * joins.size())) return kOk;
  for (size_t j = 0; j < joins.size(); ++j) {
    for (uint32_t y = 0; y < lines; ++y) {
      std::memcpy(&saved[j * perJoin + size_t{y} * kSpan * bpp],
                  destination + size_t{y} * lineBytes + (joins[j] - 5) * size_t(bpp), kSpan * size_t(bpp));
    }
  }
  for (size_t j = 0; j < joins.size(); ++j) {
    const uint8_t* around = &saved[j * perJoin];
    for (uint32_t y = 3; y + 3 < lines; ++y) {
      uint8_t* joinLeft = destination + size_t{y} * lineBytes + (joins[j] - 1) * size_t(bpp);
      for (int c = 0; c < bpp; ++c) {
        Window w;
        for (int dy = -2; dy <= 2; ++dy) {
          const int64_t line = int64_t{y} + dy;
          for (int k = 0; k < kSpan; ++k) {
            w.v[dy + 2][k] = around[(size_t(line) * kSpan + size_t(k)) * size_t(bpp) + size_t(c)];
          }
        }
        double d = 0;
        int offset = 0;
        if (SensorStep(w, d, offset)) Spread(w, d, offset, resolution, y, joinLeft + c, bpp);
      }
    }
  }
  return kOk;
}

}  // namespace
}  // namespace imgfilt

extern "C" {

IMGFILT_API uint8_t IMGFILT_CALL EraseImageShiftGray(const uint8_t* source, uint8_t* destination,
                                                     uint32_t lineBytes, uint32_t width,
                                                     uint32_t lines, uint32_t windowLeft,
                                                     uint32_t windowWidth, uint32_t resolution) {
  return imgfilt::Erase(source, destination, lineBytes, width, lines, windowLeft, windowWidth,
                        resolution, 1);
}

IMGFILT_API uint8_t IMGFILT_CALL EraseImageShiftColor(const uint8_t* source, uint8_t* destination,
                                                      uint32_t lineBytes, uint32_t width,
                                                      uint32_t lines, uint32_t windowLeft,
                                                      uint32_t windowWidth, uint32_t resolution) {
  return imgfilt::Erase(source, destination, lineBytes, width, lines, windowLeft, windowWidth,
                        resolution, 3);
}

}  // extern "C"
