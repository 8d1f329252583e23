// Drives a scaler over an image band by band, the way a scanning front end does.
#ifndef IMGFILT_TESTS_SCALE_RUNNER_H_
#define IMGFILT_TESTS_SCALE_RUNNER_H_

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "scaler.h"
#include "test_image.h"

namespace imgfiltTest {

using ScaleFunction = std::function<uint8_t(const imgfilt::ScaleCall&)>;

inline ScaleFunction ScaleExport(decltype(&ScalingGray) f) {
  return [f](const imgfilt::ScaleCall& c) {
    return f(c.source, c.destination, c.lineBytes, c.width, c.lines, c.totalLines,
             c.outLineBytes, c.targetWidth, c.targetHeight, c.orientation, c.bandState,
             c.lineBuffer);
  };
}

inline ScaleFunction ScaleWith(imgfilt::Scaler& scaler, const imgfilt::ScalePasses& passes) {
  return [&scaler, &passes](const imgfilt::ScaleCall& c) { return scaler.Run(c, passes); };
}

// Resizes `src` in bands of `sizes` lines to targetWidth x targetHeight and gathers the result
// in image order. Each band's destination holds exactly the lines it is due to write, so that
// the address sanitizer sees any line too many.
inline Image ScaleInBands(const ScaleFunction& scale, const Image& src, uint32_t targetWidth,
                          uint32_t targetHeight, const std::vector<size_t>& sizes,
                          uint32_t outPad = 0) {
  Image out = MakeImage(targetWidth, targetHeight, src.bpp, kSentinel, outPad);
  std::vector<uint8_t> previous(src.lineBytes);
  uint32_t done = 0, written = 0;
  for (size_t b = 0; b < sizes.size(); ++b) {
    const Image band = Band(src, done, sizes[b]);
    const uint32_t n = imgfilt::BandOutputLines(done, band.lines, src.lines, targetHeight);
    Image dst = MakeImage(targetWidth, n, src.bpp, kSentinel, outPad, src.orientation);
    dst.bytes.resize(std::max<size_t>(dst.bytes.size(), 1));
    const imgfilt::ScaleCall call{band.data(),  dst.data(),    band.lineBytes, src.width,
                                  band.lines,   src.lines,     out.lineBytes,  targetWidth,
                                  targetHeight, src.orientation, BandState(b, sizes.size()),
                                  b == 0 ? nullptr : previous.data()};
    EXPECT_EQ(scale(call), IMGFILT_OK) << "band " << b;
    for (uint32_t y = 0; y < n; ++y) std::copy_n(dst.line(y), out.lineBytes, out.line(written + y));
    std::copy_n(band.line(band.lines - 1), src.lineBytes, previous.data());
    written += n;
    done += band.lines;
  }
  EXPECT_EQ(written, targetHeight);
  return out;
}

}  // namespace imgfiltTest

#endif  // IMGFILT_TESTS_SCALE_RUNNER_H_
