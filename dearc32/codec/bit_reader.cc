#include "bit_reader.h"

namespace dearc32 {

void BitReader::Refill() {
  // Only called with count_ == 0, so the whole word is free.
  if (input_.Buffered() >= 8) {
    const uint8_t* p = input_.Cursor();
    uint64_t word = 0;
    for (int i = 0; i < 8; ++i) word = word << 8 | p[i];
    input_.Skip(8);
    bits_ = word;
    count_ = 64;
    return;
  }
  bits_ = 0;
  count_ = 0;
  while (count_ < 64) {
    const int byte = input_.Next();
    if (byte < 0) break;
    bits_ |= uint64_t(byte) << (56 - count_);
    count_ += 8;
  }
  if (count_ == 0) {
    filling_ = true;
    count_ = 64;  // zeros
  }
}

void BitReader::TopUp() {
  if (filling_) return;
  while (count_ <= 56) {
    const int byte = input_.Next();
    if (byte < 0) break;
    bits_ |= uint64_t(byte) << (56 - count_);
    count_ += 8;
  }
}

uint32_t BitReader::SlowBits(unsigned n) {
  uint64_t value = 0;
  while (n > 0) {
    if (count_ == 0) Refill();
    const unsigned take = n < count_ ? n : count_;
    value = (value << take) | (bits_ >> (64 - take));
    bits_ <<= take;  // take <= 32
    count_ -= take;
    n -= take;
  }
  return static_cast<uint32_t>(value);
}

}  // namespace dearc32
