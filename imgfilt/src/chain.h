// The banded chain behind DoImgfiltess: which steps run for an operation set, where each writes,
// and the state one image keeps from its first band to its last.
#ifndef IMGFILT_SRC_CHAIN_H_
#define IMGFILT_SRC_CHAIN_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imgfilt.h"

namespace imgfilt {

// Extra lines each neighbourhood step consumes, summed over `operations`.
uint32_t ExtraLines(uint32_t operations);

// Line-buffer slots (two lines each) the steps of `operations` take.
uint32_t SlotCount(uint32_t operations);

// A raster addressed by its top image line, in either storage order.
struct Surface {
  uint8_t* top;
  size_t stride;
  bool bottomUp;

  // Lowest memory address of a raster of `count` lines whose top line is `top`.
  uint8_t* Base(size_t count) const {
    return bottomUp && count > 0 ? top - (count - 1) * stride : top;
  }
  uint8_t* Line(size_t y) const { return bottomUp ? top - y * stride : top + y * stride; }
};

class Chain {
 public:
  uint32_t Run(uint8_t* source, uint8_t* destination, ProcessParam& param);

  // True between an image's first band and its last.
  bool active() const { return active_; }

 private:
  struct Band;

  uint8_t Check(const uint8_t* source, const uint8_t* destination, const ProcessParam& p) const;
  uint8_t Start(const ProcessParam& p);
  void RunSteps(Band& band);
  void RunFilterStep(Band& band, uint16_t bit);
  void RunScaling(Band& band);
  void RunBilevel(Band& band, uint16_t bit);
  uint8_t* Slot(uint16_t bit);
  Surface Target(const Band& band, uint16_t bit, size_t stride) const;
  void Finish();

  bool active_ = false;          // an image is between its first and last band
  ProcessParam first_{};         // the first band's record, for checking later bands
  uint32_t totalLines_ = 0;     // source lines of the image after the chain's consumption
  uint32_t consumed_ = 0;        // lines earlier bands left after their filters
  std::vector<uint8_t> slots_;   // the shared line buffer
  std::vector<uint8_t> scaled_;  // a scaled gray band waiting for its bilevel conversion
};

}  // namespace imgfilt

#endif  // IMGFILT_SRC_CHAIN_H_
