// The line walk shared by the two gray-to-bilevel conversions.
#ifndef IMGFILT_SRC_BILEVEL_H_
#define IMGFILT_SRC_BILEVEL_H_

#include <cstddef>
#include <cstdint>
#include <functional>

namespace imgfilt {

struct BilevelCall {
  const uint8_t* source;
  uint8_t* destination;
  uint32_t sourceLineBytes;
  uint32_t width;
  uint32_t lines;
  uint32_t destLineBytes;
  uint8_t orientation;
};

// The eight thresholds for image line y.
using RowPicker = std::function<const uint8_t*(size_t y)>;

// Checks the call and converts every line; returns the result code.
uint8_t ConvertToBits(const BilevelCall& call, const RowPicker& pickRow);

}  // namespace imgfilt

#endif  // IMGFILT_SRC_BILEVEL_H_
