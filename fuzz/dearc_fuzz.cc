// Whole packed files from the fuzzer: random headers, names, streams, truncations and stored
// sizes up to 4 GB. Expansion must end, stay within the stored size plus one match and within
// what the input can describe, and call a file good only when its check value matches. Inputs that
// start with an odd byte are also decoded as the continuation of a stream that has taken the
// tree to the edge of its count rebuild, which short inputs could never reach by themselves:
// the decoder's state after that stream is made once and copied for each input, so the long
// prelude costs nothing per run.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "codec/crc32.h"
#include "codec/memory_streams.h"
#include "codec/packed_member.h"
#include "codec_test_support.h"
#include "stream_builder.h"

namespace {

using namespace dearc32;

// Counts what would be written without keeping it.
class CountingSink final : public ByteSink {
 public:
  bool Write(const uint8_t* data, size_t size) override {
    crc.Update(data, size);
    written += size;
    return true;
  }
  uint64_t written = 0;
  Crc32 crc;
};

constexpr unsigned kPreludeSymbols = AdaptiveTree::kRebuildCount - AdaptiveTree::kSymbols - 8;

void CheckExpansion(std::span<const uint8_t> file) {
  MemorySource source(file);
  InputBuffer input(source);
  const auto member = ReadMemberInfo(source, input);
  if (!member) {
    if (file.size() >= kHeaderSize) std::abort();
    return;
  }
  CountingSink sink;
  OutputBuffer out(sink);
  const ExpandOutcome r = ExpandMember(member->header, input, out, nullptr);
  // A symbol takes at least one bit and yields at most one match.
  const uint64_t describable = (file.size() * 8 + 64) * 60;
  if (r.produced > uint64_t{member->header.expandedSize} + 59) std::abort();
  if (r.produced > describable) std::abort();
  if (r.produced != sink.written || r.crc != sink.crc.Value()) std::abort();
  if (r.status == ExpandStatus::kGood &&
      (r.crc != member->header.crc || r.produced < member->header.expandedSize)) {
    std::abort();
  }
}

// A decoder that has read one literal repeated until the root count is a few symbols short of
// its rebuild. Decoding is resumable, so a copy continues the stream with the fuzzer's bits.
const LzhufDecoder& NearRebuildDecoder() {
  static const LzhufDecoder decoder = [] {
    StreamBuilder builder;
    for (unsigned i = 0; i < kPreludeSymbols; ++i) builder.Literal('a');
    const std::vector<uint8_t> prelude = builder.Finish();
    MemorySource source(prelude);
    InputBuffer input(source);
    BitReader bits(input);
    CountingSink sink;
    OutputBuffer out(sink);
    LzhufDecoder primed;
    if (primed.Decode(bits, out, kPreludeSymbols, nullptr) != DecodeEnd::kComplete) std::abort();
    return primed;
  }();
  return decoder;
}

void CheckAcrossRebuild(std::span<const uint8_t> tail) {
  constexpr uint64_t kSize = 4096;
  MemorySource source(tail);
  InputBuffer input(source);
  BitReader bits(input);
  CountingSink sink;
  OutputBuffer out(sink);
  LzhufDecoder decoder = NearRebuildDecoder();
  decoder.Decode(bits, out, kSize, nullptr);
  out.Flush();
  if (out.total() > kSize + 59) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> input(data, size);
  CheckExpansion(input);
  if (size > 0 && (data[0] & 1)) CheckAcrossRebuild(input.subspan(1));
  return 0;
}
