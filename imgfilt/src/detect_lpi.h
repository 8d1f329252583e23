// Screen ruling from the spectrum of a 128 x 128 colour block.
#ifndef IMGFILT_SRC_DETECT_LPI_H_
#define IMGFILT_SRC_DETECT_LPI_H_

#include <array>
#include <cstddef>
#include <cstdint>

namespace imgfilt {

constexpr size_t kLpiBlock = 128;

// Squared radius k^2 + l^2 of the dominant screen frequency of one channel of the block whose
// top-left pixel is `block` (channel bytes 3 apart, lines lineBytes apart); 0 when none stands
// out beyond the smallest radius considered.
uint32_t DominantRadius2(const uint8_t* block, size_t lineBytes, int channel);

// The ruling (0, 80, 100, 133, 150 or 175) the three channels' squared radii point to.
uint8_t ClassifyRadii(std::array<uint32_t, 3> radii);

}  // namespace imgfilt

#endif  // IMGFILT_SRC_DETECT_LPI_H_
