// The decoder of the compressed stream: adaptive Huffman symbols for literals and match
// lengths, a fixed code for match positions, a 4096-byte ring of recent output.
//
// Work is bounded by the input: the decoder stops before starting a symbol once no real input
// bit is left, so a truncated or damaged stream can neither run on filler bits up to a huge
// stored size nor loop. Output never exceeds the requested size by more than one match.
#pragma once

#include <array>
#include <cstdint>

#include "adaptive_tree.h"
#include "bit_reader.h"
#include "byte_buffers.h"
#include "lzhuf_params.h"

namespace dearc32 {

class ProgressObserver {
 public:
  virtual ~ProgressObserver() = default;
  // Called with the number of bytes produced so far, at most once per 1024 bytes.
  virtual void Produced(uint64_t count) = 0;
};

enum class DecodeEnd {
  kComplete,     // the requested size was reached
  kInputEnded,   // the stream ran out first
  kWriteFailed,  // the output could not be written
};

class LzhufDecoder {
 public:
  LzhufDecoder();

  // Decodes until `size` bytes are produced (a final match is still copied whole), the input
  // ends or a write fails. One call per stream.
  DecodeEnd Decode(BitReader& bits, OutputBuffer& out, uint64_t size, ProgressObserver* progress);

 private:
  unsigned ReadPosition(BitReader& bits);
  void Emit(uint8_t byte, OutputBuffer& out) {
    ring_[at_] = byte;
    at_ = (at_ + 1) & kRingMask;
    out.Put(byte);
  }

  AdaptiveTree tree_;
  std::array<uint8_t, kRingSize> ring_;
  unsigned at_ = kStartPosition;
};

}  // namespace dearc32
