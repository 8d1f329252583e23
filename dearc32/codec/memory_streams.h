// Byte sources and sinks over memory, for the fuzz target, the benchmarks and the tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "byte_buffers.h"

namespace dearc32 {

class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::span<const uint8_t> data) : data_(data) {}
  size_t Read(uint8_t* buffer, size_t size) override {
    const size_t n = std::min(size, data_.size() - pos_);
    if (n > 0) std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    ++reads_;
    return n;
  }
  size_t reads() const { return reads_; }

 private:
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  size_t reads_ = 0;
};

// Keeps what it is given, up to `limit` bytes; a write past the limit fails.
class MemorySink final : public ByteSink {
 public:
  explicit MemorySink(size_t limit = SIZE_MAX) : limit_(limit) {}
  bool Write(const uint8_t* data, size_t size) override {
    if (size > limit_ - bytes.size()) return false;
    bytes.insert(bytes.end(), data, data + size);
    return true;
  }
  std::vector<uint8_t> bytes;

 private:
  size_t limit_;
};

// Counts and forgets, for measuring the decoder alone.
class DiscardSink final : public ByteSink {
 public:
  bool Write(const uint8_t*, size_t size) override {
    written += size;
    return true;
  }
  uint64_t written = 0;
};

}  // namespace dearc32
