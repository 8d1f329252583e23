#include "file_streams.h"

namespace dearc32 {

size_t FileSource::Read(uint8_t* buffer, size_t size) {
  // A read may deliver less than asked before the end; keep asking until it delivers nothing.
  size_t total = 0;
  while (total < size) {
    const size_t n = file_.Read(buffer + total, size - total);
    if (n == 0) break;
    total += n;
  }
  return total;
}

}  // namespace dearc32
