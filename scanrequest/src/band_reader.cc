#include "scanrequest/band_reader.h"

#include <algorithm>
#include <cstring>

namespace scanrequest {

BandReader::BandReader(CScanCore& core, const myIMAGEINFO& image, uint32_t lineBytes,
                       uint32_t bandLines)
    : core_(core), image_(image), lineBytes_(lineBytes),
      bufferSize_(size_t{std::max<uint32_t>(bandLines, 1)} * image.BytesPerLine),
      buffer_(std::make_unique_for_overwrite<uint8_t[]>(bufferSize_)) {}

BandReader::Result BandReader::Next(const uint8_t** lines, uint32_t* count) {
  const unsigned long b = image_.BytesPerLine;
  if (delivered_ >= image_.Lines || b == 0) return Result::kEnd;
  for (;;) {
    unsigned long got = 0;
    const unsigned long request = bufferSize_;
    if (!core_.ReadBlockData(buffer_.get(), request, request, got)) {
      errorCode_ = core_.GetErrorCode();
      return Result::kFailed;
    }
    const uint32_t n = static_cast<uint32_t>(
        std::min<unsigned long>(got / b, image_.Lines - delivered_));
    if (n == 0) {
      if (++idle_ > 2) return Result::kStalled;
      continue;
    }
    idle_ = 0;
    // Lines close up over the scanner's padding, in place.
    for (uint32_t i = 1; i < n && lineBytes_ != b; ++i) {
      std::memmove(buffer_.get() + size_t{i} * lineBytes_, buffer_.get() + size_t{i} * b, lineBytes_);
    }
    delivered_ += n;
    *lines = buffer_.get();
    *count = n;
    return Result::kLines;
  }
}

}  // namespace scanrequest
