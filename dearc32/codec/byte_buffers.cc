#include "byte_buffers.h"

namespace dearc32 {

bool InputBuffer::Refill() {
  if (ended_) return false;
  pos_ = 0;
  fill_ = source_.Read(data_.data(), kBufferSize);
  if (fill_ == 0) ended_ = true;
  return fill_ > 0;
}

void OutputBuffer::Drain() {
  crc_.Update(data_.data(), fill_);
  if (!failed_ && fill_ > 0 && !sink_.Write(data_.data(), fill_)) failed_ = true;
  total_ += fill_;
  fill_ = 0;
}

bool OutputBuffer::Flush() {
  Drain();
  return !failed_;
}

}  // namespace dearc32
