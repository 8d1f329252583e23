// Band bookkeeping of the banded rotations: which image is in progress and how many of its source
// lines have arrived.
#ifndef IMGFILT_SRC_ROTATE_BAND_H_
#define IMGFILT_SRC_ROTATE_BAND_H_

#include <cstdint>

#include "raster.h"

namespace imgfilt {

// The arguments of one banded rotation call.
struct RotateCall {
  const uint8_t* source;
  uint8_t* destination;
  uint32_t lineBytes;
  uint32_t width;
  uint32_t lines;
  uint32_t totalLines;
  uint32_t destLineBytes;
  int tenths;  // the angle in tenths of a degree, [0, 3600]
  uint8_t orientation;
  uint8_t bandState;
  uint8_t* lineBuffer;
};

// Opens a band: starts an image on states 0, 3 and 4 (above 4 counts as 4), checks that a later
// band continues the image in progress with the same geometry. Returns kOk or kOutOfRange; on
// kOk `first` is the band's first source line.
class BandedRotation {
 public:
  [[nodiscard]] Code Open(const RotateCall& call, uint32_t& first);
  // Ends the band: counts its lines and closes the image after its last band.
  void Close(const RotateCall& call);

 private:
  bool active_ = false;
  RotateCall geometry_{};
  uint64_t done_ = 0;
};

inline bool StartsImage(uint8_t bandState) { return bandState == 0 || bandState >= 3; }
inline bool EndsImage(uint8_t bandState) { return bandState >= 2; }

}  // namespace imgfilt

#endif  // IMGFILT_SRC_ROTATE_BAND_H_
