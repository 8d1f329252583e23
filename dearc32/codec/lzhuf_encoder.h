// The encoder of the compressed stream: greedy LZ matching with a one-byte look-ahead, coded
// with the same adaptive tree and position code the decoder uses. The stream ends with the
// last symbol's bits, padded with zeros to a whole byte.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace dearc32 {

std::vector<uint8_t> EncodeLzhuf(std::span<const uint8_t> data);

}  // namespace dearc32
