// Runs the encoder and the decoder over memory for the codec tests.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "codec/lzhuf_decoder.h"
#include "codec/lzhuf_encoder.h"
#include "codec/memory_streams.h"

namespace dearc32 {

struct Decoded {
  DecodeEnd end;
  std::vector<uint8_t> bytes;
  uint32_t crc;
};

inline Decoded DecodeStream(std::span<const uint8_t> stream, uint64_t size) {
  MemorySource source(stream);
  InputBuffer input(source);
  BitReader bits(input);
  MemorySink sink;
  OutputBuffer out(sink);
  LzhufDecoder decoder;
  const DecodeEnd end = decoder.Decode(bits, out, size, nullptr);
  out.Flush();
  return {end, std::move(sink.bytes), out.crc()};
}

}  // namespace dearc32
