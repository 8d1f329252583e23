// The tilt of a document from the outline of its edge pixels.
#ifndef IMGFILT_SRC_SIDE_FIT_H_
#define IMGFILT_SRC_SIDE_FIT_H_

#include <cstdint>
#include <vector>

namespace imgfilt {

// One outline profile: for each position along an axis, the first outline pixel met looking in
// from one side (-1 where there is none).
struct Profile {
  std::vector<int32_t> depth;
  bool across;   // true: positions are columns and depths rows (top or bottom profile)
  bool flipped;  // true: depths counted from the bottom or right (bottom or right profile)
};

// The document's clockwise tilt in degrees, in (-45, 45], fitted to the straight stretches of the
// four profiles; false when no stretch is long and straight enough.
bool FitTilt(const std::vector<Profile>& profiles, double& tilt);

}  // namespace imgfilt

#endif  // IMGFILT_SRC_SIDE_FIT_H_
