// Exports of the banded scaler. Each function keeps the state of one image for the process, as
// its callers expect: one image at a time per function, gray and colour independent.
#include "imgfilt.h"
#include "scale_pass.h"
#include "scaler.h"

namespace {

imgfilt::Scaler& GrayScaler() {
  static imgfilt::Scaler scaler(1);
  return scaler;
}

imgfilt::Scaler& ColorScaler() {
  static imgfilt::Scaler scaler(3);
  return scaler;
}

}  // namespace

extern "C" {

IMGFILT_API uint8_t IMGFILT_CALL ScalingGray(const uint8_t* source, uint8_t* destination,
                                             uint32_t lineBytes, uint32_t width, uint32_t lines,
                                             uint32_t totalLines, uint32_t outLineBytes,
                                             uint32_t targetWidth, uint32_t targetHeight,
                                             uint8_t orientation, uint8_t bandState,
                                             const uint8_t* lineBuffer) {
  const imgfilt::ScaleCall call{source,       destination, lineBytes,    width,
                                lines,        totalLines,  outLineBytes, targetWidth,
                                targetHeight, orientation, bandState,    lineBuffer};
  return GrayScaler().Run(call, imgfilt::FastScalePasses());
}

IMGFILT_API uint8_t IMGFILT_CALL ScalingColor(const uint8_t* source, uint8_t* destination,
                                              uint32_t lineBytes, uint32_t width, uint32_t lines,
                                              uint32_t totalLines, uint32_t outLineBytes,
                                              uint32_t targetWidth, uint32_t targetHeight,
                                              uint8_t orientation, uint8_t bandState,
                                              const uint8_t* lineBuffer) {
  const imgfilt::ScaleCall call{source,       destination, lineBytes,    width,
                                lines,        totalLines,  outLineBytes, targetWidth,
                                targetHeight, orientation, bandState,    lineBuffer};
  return ColorScaler().Run(call, imgfilt::FastScalePasses());
}

}  // extern "C"
