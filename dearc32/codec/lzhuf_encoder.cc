#include "lzhuf_encoder.h"

#include <memory>

#include "adaptive_tree.h"
#include "lzhuf_params.h"
#include "match_finder.h"
#include "position_code.h"

namespace dearc32 {
namespace {

class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}

  // Appends the low `n` bits of `bits` (n <= 56), most significant first.
  void Put(uint64_t bits, unsigned n) {
    pending_ = pending_ << n | (bits & ((uint64_t{1} << n) - 1));
    count_ += n;
    while (count_ >= 8) {
      count_ -= 8;
      out_.push_back(static_cast<uint8_t>(pending_ >> count_));
    }
  }
  void Finish() {
    if (count_ > 0) out_.push_back(static_cast<uint8_t>(pending_ << (8 - count_)));
    count_ = 0;
  }

 private:
  std::vector<uint8_t>& out_;
  uint64_t pending_ = 0;
  unsigned count_ = 0;  // bits of pending_ not yet written, fewer than 8 between calls
};

class Encoder {
 public:
  Encoder(std::span<const uint8_t> data, std::vector<uint8_t>& out)
      : data_(data), finder_(data), bits_(out) {}

  void Run();

 private:
  void PutSymbol(unsigned symbol) {
    uint64_t code;
    unsigned length;
    tree_.Code(static_cast<int>(symbol), &code, &length);
    // Codes stay far below 56 bits, but a split costs nothing here.
    if (length > 32) {
      bits_.Put(code >> 32, length - 32);
      length = 32;
    }
    bits_.Put(code, length);
    tree_.Update(static_cast<int>(symbol));
  }
  void PutMatch(const Match& m) {
    PutSymbol(kFirstMatchSymbol + m.length - kMinMatch);
    const unsigned position = m.distance - 1;
    const PositionCode& table = GetPositionCode();
    bits_.Put(table.code[position >> 6], table.codeLength[position >> 6]);
    bits_.Put(position & 0x3F, 6);
  }

  std::span<const uint8_t> data_;
  MatchFinder finder_;
  AdaptiveTree tree_;
  BitWriter bits_;
};

void Encoder::Run() {
  size_t pos = 0;
  Match current = data_.empty() ? Match{} : finder_.Find(0);
  while (pos < data_.size()) {
    if (current.length == 0) {
      PutSymbol(data_[pos]);
      ++pos;
      if (pos < data_.size()) current = finder_.Find(pos);
      continue;
    }
    // A longer match one byte later is worth a literal now.
    Match next = pos + 1 < data_.size() ? finder_.Find(pos + 1) : Match{};
    if (next.length > current.length) {
      PutSymbol(data_[pos]);
      ++pos;
      current = next;
      continue;
    }
    PutMatch(current);
    for (size_t p = pos + 2; p < pos + current.length; ++p) finder_.Skip(p);
    pos += current.length;
    current = pos < data_.size() ? finder_.Find(pos) : Match{};
  }
  bits_.Finish();
}

}  // namespace

std::vector<uint8_t> EncodeLzhuf(std::span<const uint8_t> data) {
  std::vector<uint8_t> out;
  out.reserve(data.size() / 2 + 16);
  auto encoder = std::make_unique<Encoder>(data, out);
  encoder->Run();
  return out;
}

}  // namespace dearc32
