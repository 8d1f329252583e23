#include "packed_member.h"

#include <memory>

namespace dearc32 {

std::optional<MemberInfo> ReadMemberInfo(ByteSource& source, InputBuffer& input) {
  HeaderBytes bytes;
  if (source.Read(bytes.data(), bytes.size()) != bytes.size()) return std::nullopt;
  MemberInfo info{ParseHeader(bytes), {}};
  NameLineReader line;
  for (int byte = input.Next(); byte >= 0 && line.Take(static_cast<uint8_t>(byte));
       byte = input.Next()) {
  }
  info.name = line.Name();
  return info;
}

ExpandOutcome ExpandMember(const PackedHeader& header, InputBuffer& input, OutputBuffer& out,
                           ProgressObserver* progress) {
  DecodeEnd end = DecodeEnd::kComplete;
  if (header.expandedSize > 0) {
    BitReader bits(input);
    auto decoder = std::make_unique<LzhufDecoder>();
    end = decoder->Decode(bits, out, header.expandedSize, progress);
  }
  const bool flushed = out.Flush();
  ExpandOutcome outcome{ExpandStatus::kGood, out.total(), out.crc()};
  if (end == DecodeEnd::kWriteFailed || !flushed) {
    outcome.status = ExpandStatus::kWriteFailed;
  } else if (end == DecodeEnd::kInputEnded) {
    outcome.status = ExpandStatus::kTruncated;
  } else if (outcome.crc != header.crc) {
    outcome.status = ExpandStatus::kCrcMismatch;
  }
  return outcome;
}

}  // namespace dearc32
