// Whole packed files from the fuzzer: random headers, names, streams, truncations and stored
// sizes up to 4 GB. Expansion must end, stay within the stored size plus one match and within
// what the input can describe, and call a file good only when its check value matches. The
// input is also packed and expanded again, which must give it back unchanged. Inputs that
// start with an odd byte are also decoded as the continuation of a stream that has taken the
// tree to the edge of its count rebuild, which short inputs could never reach by themselves.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "codec/crc32.h"
#include "codec/lzhuf_encoder.h"
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

void CheckRoundTrip(std::span<const uint8_t> data) {
  const Decoded decoded = DecodeStream(EncodeLzhuf(data), data.size());
  if (decoded.end != DecodeEnd::kComplete) std::abort();
  if (decoded.bytes.size() != data.size() ||
      !std::equal(decoded.bytes.begin(), decoded.bytes.end(), data.begin())) {
    std::abort();
  }
}

// One literal repeated until the root count is a few symbols short of its rebuild.
const std::vector<uint8_t>& NearRebuildPrelude() {
  static const std::vector<uint8_t> prelude = [] {
    StreamBuilder builder;
    for (unsigned i = 0; i < kPreludeSymbols; ++i) builder.Literal('a');
    return builder.Finish();
  }();
  return prelude;
}

void CheckAcrossRebuild(std::span<const uint8_t> tail) {
  std::vector<uint8_t> stream = NearRebuildPrelude();
  stream.insert(stream.end(), tail.begin(), tail.end());
  const uint64_t size = kPreludeSymbols + 4096;
  MemorySource source(stream);
  InputBuffer input(source);
  BitReader bits(input);
  CountingSink sink;
  OutputBuffer out(sink);
  LzhufDecoder decoder;
  decoder.Decode(bits, out, size, nullptr);
  out.Flush();
  if (out.total() > size + 59) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> input(data, size);
  CheckExpansion(input);
  CheckRoundTrip(input.first(std::min<size_t>(size, 4096)));
  if (size > 0 && (data[0] & 1)) CheckAcrossRebuild(input.subspan(1));
  return 0;
}
