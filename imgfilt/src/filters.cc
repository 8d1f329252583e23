// Exports of the neighbourhood filters: blur, sharpen, unsharp mask and median.
#include "filter_engine.h"
#include "imgfilt.h"
#include "kernel.h"

namespace {

constexpr int kGray = 1;
constexpr int kColor = 3;

uint8_t Run(const uint8_t* source, uint8_t* destination, uint32_t lineBytes, uint32_t width,
            uint32_t lines, uint8_t orientation, uint8_t bandState, uint8_t* lineBuffer,
            ImageRect* region, const imgfilt::Kernel& kernel) {
  const imgfilt::FilterCall call{source,      destination, lineBytes,  width, lines,
                                 orientation, bandState,   lineBuffer, region};
  return imgfilt::RunFilter(call, kernel);
}

}  // namespace

extern "C" {

IMGFILT_API uint8_t IMGFILT_CALL BlurGray(const uint8_t* source, uint8_t* destination,
                                          uint32_t lineBytes, uint32_t width, uint32_t lines,
                                          uint8_t orientation, uint8_t level, uint8_t bandState,
                                          uint8_t* lineBuffer, ImageRect* region) {
  return Run(source, destination, lineBytes, width, lines, orientation, bandState, lineBuffer,
             region, imgfilt::BlurKernel(level, kGray));
}

IMGFILT_API uint8_t IMGFILT_CALL BlurColor(const uint8_t* source, uint8_t* destination,
                                           uint32_t lineBytes, uint32_t width, uint32_t lines,
                                           uint8_t orientation, uint8_t level, uint8_t bandState,
                                           uint8_t* lineBuffer, ImageRect* region) {
  return Run(source, destination, lineBytes, width, lines, orientation, bandState, lineBuffer,
             region, imgfilt::BlurKernel(level, kColor));
}

IMGFILT_API uint8_t IMGFILT_CALL SharpenGray(const uint8_t* source, uint8_t* destination,
                                             uint32_t lineBytes, uint32_t width, uint32_t lines,
                                             uint8_t orientation, uint8_t level, uint8_t bandState,
                                             uint8_t* lineBuffer, ImageRect* region) {
  return Run(source, destination, lineBytes, width, lines, orientation, bandState, lineBuffer,
             region, imgfilt::SharpenKernel(level, kGray));
}

IMGFILT_API uint8_t IMGFILT_CALL SharpenColor(const uint8_t* source, uint8_t* destination,
                                              uint32_t lineBytes, uint32_t width, uint32_t lines,
                                              uint8_t orientation, uint8_t level,
                                              uint8_t bandState, uint8_t* lineBuffer,
                                              ImageRect* region) {
  return Run(source, destination, lineBytes, width, lines, orientation, bandState, lineBuffer,
             region, imgfilt::SharpenKernel(level, kColor));
}

IMGFILT_API uint8_t IMGFILT_CALL UnsharpmaskGray(const uint8_t* source, uint8_t* destination,
                                                 uint32_t lineBytes, uint32_t width,
                                                 uint32_t lines, uint8_t orientation,
                                                 uint8_t strength, uint8_t bandState,
                                                 uint8_t* lineBuffer, ImageRect* region) {
  return Run(source, destination, lineBytes, width, lines, orientation, bandState, lineBuffer,
             region, imgfilt::UnsharpKernel(strength, kGray));
}

IMGFILT_API uint8_t IMGFILT_CALL UnsharpmaskColor(const uint8_t* source, uint8_t* destination,
                                                  uint32_t lineBytes, uint32_t width,
                                                  uint32_t lines, uint8_t orientation,
                                                  uint8_t strength, uint8_t bandState,
                                                  uint8_t* lineBuffer, ImageRect* region) {
  return Run(source, destination, lineBytes, width, lines, orientation, bandState, lineBuffer,
             region, imgfilt::UnsharpKernel(strength, kColor));
}

IMGFILT_API uint8_t IMGFILT_CALL MedianGray(const uint8_t* source, uint8_t* destination,
                                            uint32_t lineBytes, uint32_t width, uint32_t lines,
                                            uint8_t orientation, uint8_t bandState,
                                            uint8_t* lineBuffer, ImageRect* region) {
  return Run(source, destination, lineBytes, width, lines, orientation, bandState, lineBuffer,
             region, imgfilt::MedianKernel(kGray));
}

IMGFILT_API uint8_t IMGFILT_CALL MedianColor(const uint8_t* source, uint8_t* destination,
                                             uint32_t lineBytes, uint32_t width, uint32_t lines,
                                             uint8_t orientation, uint8_t bandState,
                                             uint8_t* lineBuffer, ImageRect* region) {
  return Run(source, destination, lineBytes, width, lines, orientation, bandState, lineBuffer,
             region, imgfilt::MedianKernel(kColor));
}

}  // extern "C"
