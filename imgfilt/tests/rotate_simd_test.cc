// The rotation's vector path gives the bytes of its plain path, on every target this processor
// runs, for gray and colour, both orientations, bands, and angles all round.
#include <gtest/gtest.h>

#include <hwy/targets.h>

#include <vector>

#include "kernel_simd.h"
#include "raster.h"
#include "rotate_bilinear.h"
#include "rotate_geometry.h"
#include "test_image.h"

namespace imgfiltTest {
namespace {

// Rotates `src` by `tenths` in bands of `band` lines through the internal band step.
Image RotateInternally(const Image& src, int tenths, uint32_t band, bool cropped, bool simd) {
  const imgfilt::RotateGeometry g = cropped ? imgfilt::CroppedGeometry(src.width, src.lines, tenths)
                                            : imgfilt::BoundingGeometry(src.width, src.lines, tenths);
  Image out = MakeImage(g.width, g.height, src.bpp, 255, 3, src.orientation);
  const imgfilt::Lines<uint8_t> dst(out.data(), out.lineBytes, out.lines, out.orientation);
  std::vector<uint8_t> held(src.rowBytes());
  for (uint32_t first = 0; first < src.lines; first += band) {
    const uint32_t count = std::min(band, src.lines - first);
    const Image part = Band(src, first, count);
    const imgfilt::RotateSource source{
        imgfilt::Lines<const uint8_t>(part.data(), part.lineBytes, count, part.orientation),
        first > 0 ? held.data() : nullptr, first, count, src.width, src.lines};
    imgfilt::RotateBand(g, source, dst, src.bpp, simd);
    std::copy_n(part.line(count - 1), src.rowBytes(), held.data());
  }
  return out;
}

TEST(RotateSimd, EveryTargetGivesThePlainBytes) {
  const std::vector<int64_t> targets = imgfilt::SimdTargets();
  ASSERT_FALSE(targets.empty());
  for (int64_t target : targets) {
    hwy::SetSupportedTargetsForTest(target);
    SCOPED_TRACE(hwy::TargetName(target));
    for (int bpp : {1, 3}) {
      for (uint8_t orientation : {0, 1}) {
        const Image src = RandomImage(97, 61, bpp, uint32_t(bpp + orientation), 5, orientation);
        for (int tenths : {1, 70, 450, 899, 901, 1337, 1800 - 70, 2250, 2701, 3530}) {
          for (uint32_t band : {61u, 7u}) {
            const bool cropped = tenths % 2 == 1;
            const Image plain = RotateInternally(src, tenths, band, cropped, false);
            const Image fast = RotateInternally(src, tenths, band, cropped, true);
            ASSERT_TRUE(SameLines(plain, fast, plain.lines)) << tenths << " bpp " << bpp << " band " << band;
          }
        }
      }
    }
  }
  hwy::SetSupportedTargetsForTest(0);
}

}  // namespace
}  // namespace imgfiltTest
