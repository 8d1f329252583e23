// CRC-32 of the expanded data (the reflected IEEE 802.3 polynomial), kept as a running value so
// that it can be fed one output buffer at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dearc32 {

class Crc32 {
 public:
  void Update(const uint8_t* data, size_t size);
  // The check value of everything fed so far; 0 when nothing was fed.
  uint32_t Value() const { return ~register_; }

 private:
  uint32_t register_ = 0xFFFFFFFFu;
};

// One-shot helper for whole buffers.
uint32_t ComputeCrc32(const uint8_t* data, size_t size);

}  // namespace dearc32
