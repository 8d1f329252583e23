// Pixels of 1 and 4 bits, leftmost in the high bits, unpacked to one byte each and packed back.
#pragma once

#include <cstdint>

namespace platform::rastertk {

inline uint8_t IndexAt(const uint8_t* row, int64_t x, int bits) {
  if (bits == 8) return row[x];
  int perByte = 8 / bits;
  int shift = 8 - bits * int(x % perByte + 1);
  return uint8_t((row[x / perByte] >> shift) & ((1 << bits) - 1));
}

inline void SetIndex(uint8_t* row, int64_t x, int bits, uint8_t value) {
  if (bits == 8) {
    row[x] = value;
    return;
  }
  int perByte = 8 / bits;
  int shift = 8 - bits * int(x % perByte + 1);
  uint8_t mask = uint8_t(((1 << bits) - 1) << shift);
  row[x / perByte] = uint8_t((row[x / perByte] & ~mask) | ((value << shift) & mask));
}

}  // namespace platform::rastertk
