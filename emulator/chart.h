// The test chart on the glass: a deterministic page of 8.5 x 11.693 inches with a gray ramp,
// colour bars, fine lines, text-like strokes, a halftoned area and gray steps, so that every
// filter and scan path has something to show. Positions are in chart units of 1/1,200,000 inch,
// so pixel centres at any resolution are exact integers.
#pragma once

#include <cstdint>
#include <vector>

namespace emulator {

inline constexpr int64_t kChartUnitsPerInch = 1200000;
inline constexpr int64_t kChartWidth = kChartUnitsPerInch * 17 / 2;        // 8.5 in
inline constexpr int64_t kChartHeight = kChartUnitsPerInch * 11693 / 1000;  // 11.693 in

struct Rgb {
  uint8_t r, g, b;
};

// What lies on the glass: the chart, or a picture placed at the top-left corner.
class Page {
 public:
  virtual ~Page() = default;
  virtual Rgb At(int64_t x, int64_t y) const = 0;
  // Two rows whose keys are equal look the same everywhere; a scanner may reuse one for the
  // other. Returns -1 when the row is not known to repeat.
  virtual int64_t RowKey(int64_t y) const { return -1; }
};

class TestChart final : public Page {
 public:
  Rgb At(int64_t x, int64_t y) const override;
  int64_t RowKey(int64_t y) const override;
};

// A picture (8-bit RGB pixels, row-major) at `dpi`, white around it.
class Picture final : public Page {
 public:
  Picture(int width, int height, int dpi, std::vector<uint8_t> rgb);
  Rgb At(int64_t x, int64_t y) const override;

 private:
  int width_, height_, dpi_;
  std::vector<uint8_t> rgb_;
};

// Gray as the scanners compute it from colour.
inline uint8_t Luminance(Rgb c) { return static_cast<uint8_t>((c.r * 77 + c.g * 150 + c.b * 29) >> 8); }

}  // namespace emulator
