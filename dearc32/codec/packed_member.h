// Reading one packed file: its header, its name line and its compressed stream, from any byte
// source into any byte sink. The entry point, the listing tool and the fuzz target share it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "byte_buffers.h"
#include "lzhuf_decoder.h"
#include "packed_header.h"

namespace dearc32 {

struct MemberInfo {
  PackedHeader header;
  std::string name;  // as stored; the expander does not use it
};

// Reads the header with one request straight from `source`, then the name line through
// `input`, which must read from the same source. Empty when the header is incomplete: a short
// header says nothing trustworthy about the size to expand.
std::optional<MemberInfo> ReadMemberInfo(ByteSource& source, InputBuffer& input);

enum class ExpandStatus {
  kGood,           // all bytes produced and the check value matches
  kCrcMismatch,    // all bytes produced, check value differs
  kTruncated,      // the stream ended before the expanded size was reached
  kWriteFailed,    // the destination refused a write
};

struct ExpandOutcome {
  ExpandStatus status = ExpandStatus::kGood;
  uint64_t produced = 0;  // bytes given to the output
  uint32_t crc = 0;       // check value of those bytes
};

// Expands the stream that follows the name line into `out` and flushes it.
ExpandOutcome ExpandMember(const PackedHeader& header, InputBuffer& input, OutputBuffer& out,
                           ProgressObserver* progress);

}  // namespace dearc32
