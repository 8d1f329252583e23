#include "lzhuf_decoder.h"

#include "position_code.h"

namespace dearc32 {
namespace {

constexpr uint64_t kProgressStep = 1024;

}  // namespace

// The whole ring starts as spaces, including the last 60 bytes that a stream from a well-made
// encoder never reads before writing; a damaged one may, and must still decode the same way
// every time.
LzhufDecoder::LzhufDecoder() { ring_.fill(kRingFill); }

unsigned LzhufDecoder::ReadPosition(BitReader& bits) {
  const PositionCode& table = GetPositionCode();
  unsigned lead = bits.Bits(8);
  const unsigned upper = table.upper[lead];
  const unsigned extra = table.length[lead] - 2u;  // the code plus 6 bits, less the 8 read
  lead = (lead << extra) | bits.Bits(extra);
  return upper << 6 | (lead & 0x3F);
}

DecodeEnd LzhufDecoder::Decode(BitReader& bits, OutputBuffer& out, uint64_t size,
                               ProgressObserver* progress) {
  uint64_t produced = 0;
  uint64_t threshold = 0;
  while (produced < size) {
    if (bits.AtEnd()) return DecodeEnd::kInputEnded;
    const int symbol = tree_.DecodeAndUpdate(bits);
    if (symbol < static_cast<int>(kFirstMatchSymbol)) {
      Emit(static_cast<uint8_t>(symbol), out);
      ++produced;
    } else {
      const unsigned length = static_cast<unsigned>(symbol) - kFirstMatchSymbol + kMinMatch;
      unsigned from = (at_ - ReadPosition(bits) - 1) & kRingMask;
      for (unsigned i = 0; i < length; ++i, from = (from + 1) & kRingMask) Emit(ring_[from], out);
      produced += length;
    }
    if (out.failed()) return DecodeEnd::kWriteFailed;
    if (progress != nullptr && produced > threshold) {
      progress->Produced(produced);
      threshold += kProgressStep;
    }
  }
  return DecodeEnd::kComplete;
}

}  // namespace dearc32
