// The two 65535-byte buffers between the codec and the files: the codec takes and gives single
// bytes, and the files see one large request per buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "crc32.h"

namespace dearc32 {

inline constexpr size_t kBufferSize = 65535;

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Fills up to `size` bytes; fewer only at the end of the input or on a read error.
  virtual size_t Read(uint8_t* buffer, size_t size) = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Write(const uint8_t* data, size_t size) = 0;
};

class InputBuffer {
 public:
  explicit InputBuffer(ByteSource& source) : source_(source), data_(kBufferSize) {}

  // The next byte, or -1 once the source has nothing more.
  int Next() {
    if (pos_ == fill_ && !Refill()) return -1;
    return data_[pos_++];
  }
  // Bytes that can be taken without another read request.
  size_t Buffered() const { return fill_ - pos_; }
  const uint8_t* Cursor() const { return data_.data() + pos_; }
  void Skip(size_t n) { pos_ += n; }

 private:
  bool Refill();

  ByteSource& source_;
  std::vector<uint8_t> data_;
  size_t fill_ = 0;
  size_t pos_ = 0;
  bool ended_ = false;  // the source delivered nothing; it is not asked again
};

// Collects output bytes, writes them out a full buffer at a time and keeps the check value of
// everything that went through it. After a failed write it drops further output and reports
// the failure, so that a short destination is never taken for a good one.
class OutputBuffer {
 public:
  explicit OutputBuffer(ByteSink& sink) : sink_(sink), data_(kBufferSize) {}

  void Put(uint8_t byte) {
    if (fill_ == kBufferSize) Drain();
    data_[fill_++] = byte;
  }
  // Writes what is still buffered; false if any write so far has failed.
  bool Flush();
  bool failed() const { return failed_; }
  uint64_t total() const { return total_ + fill_; }
  uint32_t crc() const { return crc_.Value(); }

 private:
  void Drain();

  ByteSink& sink_;
  std::vector<uint8_t> data_;
  size_t fill_ = 0;
  uint64_t total_ = 0;  // bytes drained so far
  Crc32 crc_;
  bool failed_ = false;
};

}  // namespace dearc32
