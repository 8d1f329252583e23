#include "rotate_band.h"

#include <algorithm>

namespace imgfilt {

Code BandedRotation::Open(const RotateCall& call, uint32_t& first) {
  if (StartsImage(call.bandState)) {
    active_ = true;
    geometry_ = call;
    done_ = 0;
  } else {
    const RotateCall& g = geometry_;
    const bool same = g.width == call.width && g.totalLines == call.totalLines &&
                      g.lineBytes == call.lineBytes && g.destLineBytes == call.destLineBytes &&
                      g.tenths == call.tenths && g.orientation == call.orientation &&
                      g.destination == call.destination;
    if (!active_ || !same) return kOutOfRange;
  }
  first = static_cast<uint32_t>(std::min<uint64_t>(done_, call.totalLines));
  return kOk;
}

void BandedRotation::Close(const RotateCall& call) {
  done_ += call.lines;
  if (EndsImage(call.bandState)) active_ = false;
}

}  // namespace imgfilt
