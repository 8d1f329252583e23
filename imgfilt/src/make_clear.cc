// Make clear: sharpening with one of twelve preset kernels of the 3 x 3 engine.
#include "filter_engine.h"
#include "imgfilt.h"
#include "kernel.h"
#include "make_clear.h"

namespace imgfilt {

Kernel MakeClearKernel(uint8_t level, int bpp) {
  // Key 2..5: eight neighbours; 6..12: four neighbours; anything else: eight neighbours, a = 10.
  static constexpr int kParam[13] = {10, 10, 11, 13, 14, 19, 6, 7, 8, 10, 13, 16, 20};
  const bool gentle = level >= 129;
  const int key = gentle ? level - 128 : level;
  const int a = (key <= 12 ? kParam[key] : 10) * (gentle ? 2 : 1);
  return key >= 6 && key <= 12 ? FourNeighbourKernel(a, bpp) : EightNeighbourKernel(a, bpp);
}

}  // namespace imgfilt

namespace {

uint8_t Run(const uint8_t* source, uint8_t* destination, uint32_t lineBytes, uint32_t width, uint32_t lines,
            uint8_t orientation, uint8_t level, uint8_t bandState, uint8_t* lineBuffer, ImageRect* region, int bpp) {
  const imgfilt::FilterCall call{source, destination, lineBytes, width, lines, orientation, bandState, lineBuffer, region};
  return imgfilt::RunFilter(call, imgfilt::MakeClearKernel(level, bpp));
}

}  // namespace

extern "C" {

IMGFILT_API uint8_t IMGFILT_CALL MakeClearGray(const uint8_t* source, uint8_t* destination, uint32_t lineBytes,
                                               uint32_t width, uint32_t lines, uint8_t orientation, uint8_t level,
                                               uint8_t bandState, uint8_t* lineBuffer, ImageRect* region) {
  return Run(source, destination, lineBytes, width, lines, orientation, level, bandState, lineBuffer, region, 1);
}

IMGFILT_API uint8_t IMGFILT_CALL MakeClearColor(const uint8_t* source, uint8_t* destination, uint32_t lineBytes,
                                                uint32_t width, uint32_t lines, uint8_t orientation, uint8_t level,
                                                uint8_t bandState, uint8_t* lineBuffer, ImageRect* region) {
  return Run(source, destination, lineBytes, width, lines, orientation, level, bandState, lineBuffer, region, 3);
}

}  // extern "C"
