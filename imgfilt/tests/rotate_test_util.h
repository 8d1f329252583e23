// Helpers of the rotation tests: banded runs of the rotation exports and a plain reference.
#ifndef IMGFILT_TESTS_ROTATE_TEST_UTIL_H_
#define IMGFILT_TESTS_ROTATE_TEST_UTIL_H_

#include <cmath>
#include <cstdint>
#include <vector>

#include "imgfilt.h"
#include "test_image.h"

namespace imgfiltTest {

using Rotation = uint8_t (*)(const uint8_t*, uint8_t*, uint32_t, uint32_t, uint32_t, uint32_t,
                             uint32_t, float, uint8_t, uint8_t, uint8_t*);
using Rotation90 = uint8_t (*)(const uint8_t*, uint8_t*, uint32_t, uint32_t, uint32_t, uint32_t,
                               uint32_t, int32_t, uint8_t, uint8_t);

inline Rotation Arbitrary(int bpp) { return bpp == 1 ? RotationGray : RotationColor; }
inline Rotation Cropped(int bpp) { return bpp == 1 ? RotationSmallGray : RotationSmallColor; }
inline Rotation90 Quarter(int bpp) { return bpp == 1 ? Rotation90Gray : Rotation90Color; }

// Runs `rotate` over `src` in bands of the given sizes into a destination of w x h pixels
// (pre-filled with `fill`, two spare bytes a line), the destination in the source's orientation.
template <typename Fn>
Image RunRotation(Fn rotate, const Image& src, const std::vector<size_t>& sizes, uint32_t w,
                  uint32_t h, uint8_t fill = kSentinel) {
  Image out = MakeImage(w, h, src.bpp, fill, 2, src.orientation);
  std::vector<uint8_t> held(src.lineBytes, 0);
  size_t first = 0;
  for (size_t b = 0; b < sizes.size(); ++b) {
    const Image band = Band(src, first, sizes[b]);
    EXPECT_EQ(rotate(band, out, BandState(b, sizes.size()), held.data()), IMGFILT_OK) << "band " << b;
    first += sizes[b];
  }
  return out;
}

// Random band sizes (1 to `most` lines) covering `lines`.
inline std::vector<size_t> RandomBands(size_t lines, size_t most, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<size_t> sizes;
  for (size_t left = lines; left > 0;) {
    const size_t n = std::min(left, 1 + rng() % most);
    sizes.push_back(n);
    left -= n;
  }
  return sizes;
}

}  // namespace imgfiltTest

#endif  // IMGFILT_TESTS_ROTATE_TEST_UTIL_H_
