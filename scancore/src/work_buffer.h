// A block of committed work memory from the host's work memory, given back when it goes out of
// scope. A block that could not be had is empty, and the caller reports 0xFFFF0062.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/memory/memory.h"

namespace scancore {

class WorkBuffer {
 public:
  WorkBuffer(platform::WorkMemory& memory, size_t size)
      : memory_(memory),
        data_(static_cast<uint8_t*>(memory_.VirtualAlloc(nullptr, size, platform::MEM_COMMIT,
                                                         platform::PAGE_READWRITE))),
        size_(data_ ? size : 0) {}
  ~WorkBuffer() {
    if (data_) memory_.VirtualFree(data_, 0, platform::MEM_RELEASE);
  }
  WorkBuffer(const WorkBuffer&) = delete;
  WorkBuffer& operator=(const WorkBuffer&) = delete;

  explicit operator bool() const { return data_ != nullptr; }
  uint8_t* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  platform::WorkMemory& memory_;
  uint8_t* data_;
  size_t size_;
};

}  // namespace scancore
