// Banded resizing: the state one scaling function keeps from the first band of an image to its
// last, and the order of passes for each band.
#ifndef IMGFILT_SRC_SCALER_H_
#define IMGFILT_SRC_SCALER_H_

#include <cstddef>
#include <cstdint>

#include "scale_pass.h"
#include "scale_table.h"

namespace imgfilt {

struct ScaleCall {
  const uint8_t* source;
  uint8_t* destination;
  uint32_t lineBytes;
  uint32_t width;
  uint32_t lines;
  uint32_t totalLines;
  uint32_t outLineBytes;
  uint32_t targetWidth;
  uint32_t targetHeight;
  uint8_t orientation;
  uint8_t bandState;
  const uint8_t* lineBuffer;  // previous band's last source line, read on later bands
};

// Lines the band of `lines` lines after `done` source lines writes: the whole image's
// targetHeight lines shared out in proportion, source lines beyond totalLines ignored.
uint32_t BandOutputLines(uint32_t done, uint32_t lines, uint32_t totalLines,
                         uint32_t targetHeight);

class Scaler {
 public:
  explicit Scaler(int bpp) : bpp_(bpp) {}

  // One band; returns its result code.
  uint8_t Run(const ScaleCall& call, const ScalePasses& passes);

 private:
  uint8_t Check(const ScaleCall& call) const;
  // Forgets the image in progress and frees its tables.
  void Reset();
  uint8_t StartImage(const ScaleCall& call);
  bool SameImage(const ScaleCall& call) const;

  const int bpp_;
  bool active_ = false;   // an image is between its first and last band
  uint32_t width_ = 0;    // geometry of that image
  uint32_t targetWidth_ = 0;
  uint32_t totalLines_ = 0;
  uint32_t targetHeight_ = 0;
  uint32_t linesDone_ = 0;    // source lines consumed by earlier bands
  uint32_t outputsDone_ = 0;  // lines written by earlier bands
  EnlargeTable enlargeX_, enlargeY_;
  ReduceTable reduceX_, reduceY_;
};

}  // namespace imgfilt

#endif  // IMGFILT_SRC_SCALER_H_
