// The fixed code for the upper 6 bits of a 12-bit match position: short codes for the near
// positions, which matches use most. Lengths: 0 -> 3 bits, 1..3 -> 4, 4..11 -> 5, 12..23 -> 6,
// 24..47 -> 7, 48..63 -> 8; the codes are canonical, assigned in increasing order from zero.
// The lower 6 bits follow the code verbatim.
#pragma once

#include <array>
#include <cstdint>

namespace dearc32 {

struct PositionCode {
  // Indexed by the next 8 bits of the stream: the upper 6 bits they start with, and the length
  // of that code.
  std::array<uint8_t, 256> upper;
  std::array<uint8_t, 256> length;
  // Indexed by the upper 6 bits: their code, right-aligned, and its length.
  std::array<uint8_t, 64> code;
  std::array<uint8_t, 64> codeLength;
};

const PositionCode& GetPositionCode();

}  // namespace dearc32
