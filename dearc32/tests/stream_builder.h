// Writes hand-chosen symbols into a compressed stream, for streams the encoder would never make:
// matches reaching into unwritten ring bytes, matches running past the stored size.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/adaptive_tree.h"
#include "codec/lzhuf_params.h"
#include "codec/position_code.h"

namespace dearc32 {

class StreamBuilder {
 public:
  StreamBuilder& Literal(uint8_t byte) { return Symbol(byte); }
  // `position` is the raw 12-bit field: the copy starts position + 1 bytes back.
  StreamBuilder& Match(unsigned length, unsigned position) {
    Symbol(kFirstMatchSymbol + length - kMinMatch);
    const PositionCode& table = GetPositionCode();
    Put(table.code[position >> 6], table.codeLength[position >> 6]);
    Put(position & 0x3F, 6);
    return *this;
  }
  std::vector<uint8_t> Finish() {
    std::vector<uint8_t> out = bytes_;
    if (count_ > 0) out.push_back(static_cast<uint8_t>(pending_ << (8 - count_)));
    return out;
  }

 private:
  StreamBuilder& Symbol(unsigned symbol) {
    uint64_t code;
    unsigned length;
    tree_.Code(static_cast<int>(symbol), &code, &length);
    Put(code, length);
    tree_.Update(static_cast<int>(symbol));
    return *this;
  }
  void Put(uint64_t bits, unsigned n) {
    for (unsigned i = n; i-- > 0;) {
      pending_ = pending_ << 1 | ((bits >> i) & 1);
      if (++count_ == 8) {
        bytes_.push_back(static_cast<uint8_t>(pending_));
        count_ = 0;
      }
    }
  }

  AdaptiveTree tree_;
  std::vector<uint8_t> bytes_;
  unsigned pending_ = 0;
  unsigned count_ = 0;
};

}  // namespace dearc32
