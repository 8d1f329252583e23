// Drives a scaler over an image band by band, the way a scanning front end does.
#ifndef IMGFILT_TESTS_SCALE_RUNNER_H_
#define IMGFILT_TESTS_SCALE_RUNNER_H_

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "scaler.h"
#include "test_image.h"

namespace imgfilt_test {

using ScaleFunction = std::function<uint8_t(const imgfilt::ScaleCall&)>;

inline ScaleFunction ScaleExport(decltype(&ScalingGray) f) {
  return [f](const imgfilt::ScaleCall& c) {
    return f(c.source, c.destination, c.line_bytes, c.width, c.lines, c.total_lines,
             c.out_line_bytes, c.target_width, c.target_height, c.orientation, c.band_state,
             c.line_buffer);
  };
}

inline ScaleFunction ScaleWith(imgfilt::Scaler& scaler, const imgfilt::ScalePasses& passes) {
  return [&scaler, &passes](const imgfilt::ScaleCall& c) { return scaler.Run(c, passes); };
}

// Resizes `src` in bands of `sizes` lines to target_width x target_height and gathers the result
// in image order. Each band's destination holds exactly the lines it is due to write, so that
// the address sanitizer sees any line too many.
inline Image ScaleInBands(const ScaleFunction& scale, const Image& src, uint32_t target_width,
                          uint32_t target_height, const std::vector<size_t>& sizes,
                          uint32_t out_pad = 0) {
  Image out = MakeImage(target_width, target_height, src.bpp, kSentinel, out_pad);
  std::vector<uint8_t> previous(src.line_bytes);
  uint32_t done = 0, written = 0;
  for (size_t b = 0; b < sizes.size(); ++b) {
    const Image band = Band(src, done, sizes[b]);
    const uint32_t n = imgfilt::BandOutputLines(done, band.lines, src.lines, target_height);
    Image dst = MakeImage(target_width, n, src.bpp, kSentinel, out_pad, src.orientation);
    dst.bytes.resize(std::max<size_t>(dst.bytes.size(), 1));
    const imgfilt::ScaleCall call{band.data(),  dst.data(),    band.line_bytes, src.width,
                                  band.lines,   src.lines,     out.line_bytes,  target_width,
                                  target_height, src.orientation, BandState(b, sizes.size()),
                                  b == 0 ? nullptr : previous.data()};
    EXPECT_EQ(scale(call), IMGFILT_OK) << "band " << b;
    for (uint32_t y = 0; y < n; ++y) std::copy_n(dst.line(y), out.line_bytes, out.line(written + y));
    std::copy_n(band.line(band.lines - 1), src.line_bytes, previous.data());
    written += n;
    done += band.lines;
  }
  EXPECT_EQ(written, target_height);
  return out;
}

}  // namespace imgfilt_test

#endif  // IMGFILT_TESTS_SCALE_RUNNER_H_
