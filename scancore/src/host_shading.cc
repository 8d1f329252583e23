// DoHostShading: reads 16 lines of shading data, reduces them to one white line and sends it
// back before the scan starts.
#include "host_shading.h"

#include <algorithm>
#include <array>
#include <memory>

#include "scancore/error_codes.h"
#include "scancore/scan_core.h"
#include "work_buffer.h"

namespace scancore {

namespace {
constexpr uint8_t kShadingData = 0x82;
constexpr uint16_t kShadingReadQualifier = 0x10;
constexpr uint32_t kTransferLimit = 65535;
constexpr int kTopCount = 3;      // samples that must reach the top level
constexpr int kWindowLevels = 8;  // levels below the top level that are averaged
}  // namespace

uint8_t WhiteLevel(const uint8_t* samples, size_t stride) {
  std::array<uint8_t, kShadingLines> s;
  for (int i = 0; i < kShadingLines; ++i) s[i] = samples[i * stride];
  // The third highest sample is the highest level that at least three samples reach.
  std::array<uint8_t, kShadingLines> sorted = s;
  std::nth_element(sorted.begin(), sorted.begin() + (kShadingLines - kTopCount), sorted.end());
  const int top = sorted[kShadingLines - kTopCount];
  const int low = std::max(top - kWindowLevels, 0);
  uint32_t sum = 0, count = 0;
  for (uint8_t v : s) {
    if (v >= low && v <= top) {
      sum += v;
      ++count;
    }
  }
  return static_cast<uint8_t>((sum + count / 2) / count);
}

void ReduceShading(uint8_t* data, size_t line) {
  for (size_t x = 0; x < line; ++x) data[x] = WhiteLevel(data + x, line);
}

}  // namespace scancore

using namespace scancore;

int CScanCore::DoHostShading(uint8_t* buffer, unsigned long bufferSize) {
  const uint32_t width = static_cast<uint32_t>(opticalRes_ * 17u / 2);
  const uint32_t channels = scanMode_ == kModeColor ? 3 : 1;
  const uint32_t line = channels * width;
  const uint32_t size = kShadingLines * line;
  if (line == 0 || line > kTransferLimit) return Fail(kErrBufferTooSmall);
  std::unique_ptr<WorkBuffer> own;
  uint8_t* work = buffer;
  if (bufferSize < size) {
    own = std::make_unique<WorkBuffer>(*host_, size);
    if (!*own) return Fail(kErrNoMemory);
    work = own->data();
  }
  const uint32_t chunkLimit = (kTransferLimit / line) * line;
  for (uint32_t done = 0; done < size;) {
    const uint32_t n = std::min(size - done, chunkLimit);
    if (!ReadData(kShadingData, kShadingReadQualifier, work + done, n)) return 0;
    done += n;
  }
  ReduceShading(work, line);
  for (uint32_t done = 0; done < line;) {
    const uint32_t n = std::min(line - done, chunkLimit);
    if (!transport_->Send(kShadingData, 0, work + done, n)) return FailFrom(*transport_);
    done += n;
  }
  return 1;
}
