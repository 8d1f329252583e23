// Any bytes packed and expanded again must come back unchanged: the packer's matches, its tree
// and the decoder agree on every input. Kept apart from the expander's target because packing
// sets up the whole match history each time, which would slow that target's runs down.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "codec/lzhuf_encoder.h"
#include "codec_test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dearc32;
  const std::span<const uint8_t> input(data, std::min<size_t>(size, 4096));
  const Decoded decoded = DecodeStream(EncodeLzhuf(input), input.size());
  if (decoded.end != DecodeEnd::kComplete) std::abort();
  if (decoded.bytes.size() != input.size() ||
      !std::equal(decoded.bytes.begin(), decoded.bytes.end(), input.begin())) {
    std::abort();
  }
  return 0;
}
