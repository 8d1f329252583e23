// The band protocol of the 3-line neighbourhood filters: argument checks, the held lines that
// carry a window from one band to the next, regions, and the line loop that feeds a row filter.
#ifndef IMGFILT_SRC_FILTER_ENGINE_H_
#define IMGFILT_SRC_FILTER_ENGINE_H_

#include <cstdint>

#include "imgfilt.h"
#include "kernel.h"

namespace imgfilt {

// The arguments every neighbourhood filter shares.
struct FilterCall {
  const uint8_t* source;
  uint8_t* destination;
  uint32_t lineBytes;
  uint32_t width;
  uint32_t lines;
  uint8_t orientation;
  uint8_t bandState;
  uint8_t* lineBuffer;  // two lines of lineBytes; caller-owned, used with band states 0..3
  ImageRect* region;     // band state 4 only; null means the whole image
};

// Runs one call of a filter with `kernel`, computing each line with `rowFilter`. Returns the
// result code; on any code but 0 nothing has been written.
uint8_t RunFilter(const FilterCall& call, const Kernel& kernel, RowFilter rowFilter);

// The same with the fastest row filter the processor supports.
uint8_t RunFilter(const FilterCall& call, const Kernel& kernel);

}  // namespace imgfilt

#endif  // IMGFILT_SRC_FILTER_ENGINE_H_
