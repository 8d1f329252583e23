// Bits of the compressed stream, most significant bit of each byte first. Once the input is
// used up the reader hands out zero filler bits and remembers that it did, so that the decoder
// can finish the symbol it is in and then stop instead of decoding filler indefinitely.
#pragma once

#include <cstdint>

#include "byte_buffers.h"

namespace dearc32 {

class BitReader {
 public:
  explicit BitReader(InputBuffer& input) : input_(input) {}

  // `n` bits (1..32), the first one read the most significant.
  uint32_t Bits(unsigned n) {
    if (count_ < n) return SlowBits(n);
    const uint32_t value = static_cast<uint32_t>(bits_ >> (64 - n));
    bits_ <<= n;
    count_ -= n;
    return value;
  }

  // The next 64 bits, left-aligned, after topping the buffer up with every input byte that
  // fits; bits past the end of the input read as zeros. At least 57 of them are real unless
  // the input is nearly used up. Consume says how many were taken.
  uint64_t Window() {
    if (count_ <= 56) TopUp();
    return bits_;
  }
  void Consume(unsigned n) {
    if (n <= count_) {
      bits_ = n == 64 ? 0 : bits_ << n;
      count_ -= n;
    } else {
      bits_ = 0;
      count_ = 0;
      filling_ = true;
    }
  }

  // True when no bit of the real input is left: everything from here on would be filler.
  bool AtEnd() {
    if (count_ == 0) Refill();
    return filling_;
  }

 private:
  void Refill();
  void TopUp();
  uint32_t SlowBits(unsigned n);

  InputBuffer& input_;
  uint64_t bits_ = 0;    // unread bits, left-aligned
  unsigned count_ = 0;   // how many of them are valid
  bool filling_ = false;
};

}  // namespace dearc32
