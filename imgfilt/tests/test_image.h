// Rasters and filter tables shared by the imgfilt tests.
#ifndef IMGFILT_TESTS_TEST_IMAGE_H_
#define IMGFILT_TESTS_TEST_IMAGE_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "imgfilt.h"
#include "kernel.h"

namespace imgfiltTest {

// A caller's raster: `pad` spare bytes at the end of every line, lines in `orientation` order.
struct Image {
  uint32_t width = 0;
  uint32_t lines = 0;
  uint32_t lineBytes = 0;
  int bpp = 1;
  uint8_t orientation = 0;
  std::vector<uint8_t> bytes;

  size_t rowBytes() const { return size_t{width} * static_cast<size_t>(bpp); }
  uint8_t* data() { return bytes.data(); }
  const uint8_t* data() const { return bytes.data(); }
  // Image line y (0 = top), whatever the storage order.
  uint8_t* line(size_t y) { return data() + MemoryLine(y) * lineBytes; }
  const uint8_t* line(size_t y) const { return data() + MemoryLine(y) * lineBytes; }
  uint8_t& at(size_t x, size_t y, int channel = 0) { return line(y)[Offset(x, channel)]; }
  uint8_t at(size_t x, size_t y, int channel = 0) const { return line(y)[Offset(x, channel)]; }
  size_t Offset(size_t x, int channel) const { return x * static_cast<size_t>(bpp) + static_cast<size_t>(channel); }
  size_t MemoryLine(size_t y) const { return orientation == 1 ? lines - 1 - y : y; }
};

inline Image MakeImage(uint32_t width, uint32_t lines, int bpp, uint8_t fill = 0,
                       uint32_t pad = 0, uint8_t orientation = 0) {
  Image image;
  image.width = width;
  image.lines = lines;
  image.bpp = bpp;
  image.orientation = orientation;
  image.lineBytes = static_cast<uint32_t>(width * static_cast<uint32_t>(bpp) + pad);
  image.bytes.assign(size_t{image.lineBytes} * lines, fill);
  return image;
}

inline Image RandomImage(uint32_t width, uint32_t lines, int bpp, uint32_t seed,
                         uint32_t pad = 0, uint8_t orientation = 0) {
  Image image = MakeImage(width, lines, bpp, 0, pad, orientation);
  std::mt19937 rng(seed);
  for (uint8_t& b : image.bytes) b = static_cast<uint8_t>(rng());
  return image;
}

// Lines [0, count) of two images hold the same pixel bytes.
inline ::testing::AssertionResult SameLines(const Image& a, const Image& b, size_t count,
                                            size_t aFirst = 0, size_t b_first = 0) {
  for (size_t y = 0; y < count; ++y) {
    for (size_t i = 0; i < a.rowBytes(); ++i) {
      if (a.line(aFirst + y)[i] != b.line(b_first + y)[i]) {
        return ::testing::AssertionFailure() << "line " << y << " byte " << i << ": "
                                             << int{a.line(aFirst + y)[i]} << " != "
                                             << int{b.line(b_first + y)[i]};
      }
    }
  }
  return ::testing::AssertionSuccess();
}

// A neighbourhood filter export with its setting bound, and the kernel it stands for.
using FilterExport = std::function<uint8_t(const uint8_t*, uint8_t*, uint32_t, uint32_t, uint32_t,
                                           uint8_t, uint8_t, uint8_t*, ImageRect*)>;
struct FilterCase {
  std::string name;
  int bpp;
  imgfilt::Kernel kernel;
  FilterExport run;
};

using SettingExport = uint8_t (*)(const uint8_t*, uint8_t*, uint32_t, uint32_t, uint32_t, uint8_t,
                                  uint8_t, uint8_t, uint8_t*, ImageRect*);
using PlainExport = uint8_t (*)(const uint8_t*, uint8_t*, uint32_t, uint32_t, uint32_t, uint8_t,
                                uint8_t, uint8_t*, ImageRect*);

inline FilterExport Bind(SettingExport f, uint8_t setting) {
  return [f, setting](const uint8_t* s, uint8_t* d, uint32_t lb, uint32_t w, uint32_t n,
                      uint8_t o, uint8_t state, uint8_t* buf, ImageRect* r) {
    return f(s, d, lb, w, n, o, setting, state, buf, r);
  };
}

inline FilterExport Bind(PlainExport f) {
  return [f](const uint8_t* s, uint8_t* d, uint32_t lb, uint32_t w, uint32_t n, uint8_t o,
             uint8_t state, uint8_t* buf, ImageRect* r) { return f(s, d, lb, w, n, o, state, buf, r); };
}

// Every filter at each of its distinct settings (unsharp at a few), gray and colour.
inline std::vector<FilterCase> AllFilters() {
  std::vector<FilterCase> cases;
  for (int bpp : {1, 3}) {
    const bool gray = bpp == 1;
    const std::string kind = gray ? "Gray" : "Color";
    for (uint8_t level : {1, 2, 3}) {
      cases.push_back({"Blur" + kind + std::to_string(level), bpp, imgfilt::BlurKernel(level, bpp),
                       Bind(gray ? BlurGray : BlurColor, level)});
      cases.push_back({"Sharpen" + kind + std::to_string(level), bpp,
                       imgfilt::SharpenKernel(level, bpp), Bind(gray ? SharpenGray : SharpenColor, level)});
    }
    for (uint8_t strength : {0, 40, 100, 129, 200}) {
      cases.push_back({"Unsharpmask" + kind + std::to_string(strength), bpp,
                       imgfilt::UnsharpKernel(strength, bpp),
                       Bind(gray ? UnsharpmaskGray : UnsharpmaskColor, strength)});
    }
    cases.push_back({"Median" + kind, bpp, imgfilt::MedianKernel(bpp), Bind(gray ? MedianGray : MedianColor)});
  }
  return cases;
}

constexpr uint8_t kSentinel = 0xA5;

// Lines [first, first + count) of `src` as a raster of their own.
inline Image Band(const Image& src, size_t first, size_t count) {
  Image band = MakeImage(src.width, static_cast<uint32_t>(count), src.bpp, 0,
                         src.lineBytes - static_cast<uint32_t>(src.rowBytes()), src.orientation);
  for (size_t y = 0; y < count; ++y) std::copy_n(src.line(first + y), src.lineBytes, band.line(y));
  return band;
}

// Band sizes of `size` lines (the last one shorter) covering `lines` lines.
inline std::vector<size_t> EvenBands(size_t lines, size_t size) {
  std::vector<size_t> sizes;
  for (size_t left = lines; left > 0; left -= std::min(left, size)) sizes.push_back(std::min(left, size));
  return sizes;
}

inline uint8_t BandState(size_t band, size_t bands) {
  if (bands == 1) return IMGFILT_BAND_ONLY;
  if (band == 0) return IMGFILT_BAND_FIRST;
  return band + 1 == bands ? IMGFILT_BAND_LAST : IMGFILT_BAND_MIDDLE;
}

// Runs a filter over `src` in bands of the given sizes and gathers the output lines in image
// order. Checks on the way that each band writes exactly the lines it should.
inline Image RunBands(const FilterExport& run, const Image& src, const std::vector<size_t>& sizes) {
  Image out = MakeImage(src.width, src.lines, src.bpp, kSentinel);
  std::vector<uint8_t> held(2 * src.lineBytes);
  size_t first = 0, written = 0;
  for (size_t b = 0; b < sizes.size(); ++b) {
    const Image band = Band(src, first, sizes[b]);
    Image dst = MakeImage(src.width, band.lines, src.bpp, kSentinel,
                          src.lineBytes - static_cast<uint32_t>(src.rowBytes()), src.orientation);
    EXPECT_EQ(run(band.data(), dst.data(), band.lineBytes, band.width, band.lines, band.orientation,
                  BandState(b, sizes.size()), held.data(), nullptr), IMGFILT_OK);
    const size_t outputs = b == 0 ? sizes[b] - 1 : sizes[b];
    for (size_t y = 0; y < outputs; ++y) std::copy_n(dst.line(y), src.rowBytes(), out.line(written + y));
    if (b == 0) {
      EXPECT_EQ(dst.line(sizes[b] - 1)[0], kSentinel) << "first band wrote its last line";
    }
    written += outputs;
    first += sizes[b];
  }
  EXPECT_EQ(written, src.lines - 1u);
  return out;
}

}  // namespace imgfiltTest

#endif  // IMGFILT_TESTS_TEST_IMAGE_H_
