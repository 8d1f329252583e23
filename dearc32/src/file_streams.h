// Byte sources and sinks over the host's open files.
#pragma once

#include "codec/byte_buffers.h"
#include "platform/files/files.h"

namespace dearc32 {

class FileSource final : public ByteSource {
 public:
  explicit FileSource(platform::File& file) : file_(file) {}
  size_t Read(uint8_t* buffer, size_t size) override;

 private:
  platform::File& file_;
};

class FileSink final : public ByteSink {
 public:
  explicit FileSink(platform::File& file) : file_(file) {}
  bool Write(const uint8_t* data, size_t size) override { return file_.Write(data, size); }

 private:
  platform::File& file_;
};

}  // namespace dearc32
