// DoHostShading: reads 16 lines of shading data, reduces them to one white line and sends it
// back before the scan starts.
#include "host_shading.h"

#include <algorithm>
#include <array>
#include <memory>

#include "scancore/error_codes.h"
#include "scancore/scan_core.h"
#include "services.h"
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

// The same rule for a stretch of positions at a time, written so that the compiler keeps each
// step on vectors: the three highest samples per position (m1 >= m2 >= m3) in one pass over the
// 16 lines, the window's sum and count in a second.
uint8_t DivideRounded(uint16_t sum, uint8_t count) {
  // Reciprocals scaled by 2^20 and rounded up give the exact quotient for every sum below 2^16
  // and count up to 16 (checked exhaustively by the tests).
  static constexpr auto kReciprocal = [] {
    std::array<uint32_t, kShadingLines + 1> r{};
    for (uint32_t c = 1; c <= kShadingLines; ++c) r[c] = ((1u << 20) + c - 1) / c;
    return r;
  }();
  const uint32_t rounded = sum + count / 2u;
  return static_cast<uint8_t>((uint64_t{rounded} * kReciprocal[count]) >> 20);
}

void ReduceShading(uint8_t* data, size_t line) {
  constexpr size_t kStretch = 256;
  for (size_t x0 = 0; x0 < line; x0 += kStretch) {
    const size_t n = std::min(kStretch, line - x0);
    uint8_t m1[kStretch] = {}, m2[kStretch] = {}, m3[kStretch] = {}, low[kStretch];
    for (int i = 0; i < kShadingLines; ++i) {
      const uint8_t* row = data + i * line + x0;
      for (size_t k = 0; k < n; ++k) {
        const uint8_t s = row[k], a = m1[k], b = m2[k], c = m3[k];
        const uint8_t bs = b < s ? b : s, as = a < s ? a : s;
        m3[k] = c > bs ? c : bs;
        m2[k] = b > as ? b : as;
        m1[k] = a > s ? a : s;
      }
    }
    for (size_t k = 0; k < n; ++k) low[k] = m3[k] > kWindowLevels ? m3[k] - kWindowLevels : 0;
    uint16_t sum[kStretch] = {};
    uint8_t count[kStretch] = {};
    for (int i = 0; i < kShadingLines; ++i) {
      const uint8_t* row = data + i * line + x0;
      for (size_t k = 0; k < n; ++k) {
        const uint8_t s = row[k];
        // 0 or FFh: the sample lies in the window.
        const uint8_t in = static_cast<uint8_t>(-static_cast<int>(s >= low[k]) & -static_cast<int>(s <= m3[k]));
        sum[k] = static_cast<uint16_t>(sum[k] + (s & in));
        count[k] = static_cast<uint8_t>(count[k] - static_cast<int8_t>(in));
      }
    }
    // The top level is itself in the window: count is at least 3.
    for (size_t k = 0; k < n; ++k) data[x0 + k] = DivideRounded(sum[k], count[k]);
  }
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
    own = std::make_unique<WorkBuffer>(services().memory, size);
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
