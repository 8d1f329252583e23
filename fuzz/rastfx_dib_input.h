// A fuzzed DIB as both DIB targets read it: the header, the values the calls take, and the rows.
// The caller's rows are exactly as long as the header says (what a caller owes the library), so
// AddressSanitizer sees any write outside them.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "rastfx/rastfx.h"

namespace rastfxfuzz {

namespace rt = platform::rastertk;

inline constexpr uint64_t kMaxRows = 1 << 20;

struct DibInput {
  std::vector<uint8_t> head;  // the largest header and a full colour table after it
  std::vector<uint8_t> rows;
  uint32_t newWidth = 0, newHeight = 0, tolerance = 0, margin = 0;
  double sigma = 0;

  rt::DibHeader* header() { return reinterpret_cast<rt::DibHeader*>(head.data()); }
  uint8_t* pixels() { return rows.empty() ? nullptr : rows.data(); }
};

// Null when the header claims more rows than a run should spend on.
inline std::optional<DibInput> ReadDibInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  rt::DibHeader h{};
  h.size = in.ConsumeBool() ? 40 : in.ConsumeIntegralInRange<uint32_t>(0, 200);
  h.width = in.ConsumeIntegralInRange<int32_t>(-4, 160);
  h.height = in.ConsumeIntegralInRange<int32_t>(-4, 160);
  h.planes = in.ConsumeBool() ? 1 : in.ConsumeIntegral<uint16_t>();
  const uint16_t depths[] = {1, 4, 8, 24, 32, 0, 2, 16};
  h.bitCount = depths[in.ConsumeIntegralInRange<int>(0, 7)];
  h.compression = in.ConsumeBool() ? 0 : in.ConsumeIntegral<uint32_t>();
  h.clrUsed = in.ConsumeBool() ? 0 : in.ConsumeIntegralInRange<uint32_t>(0, 300);
  const uint64_t stride = rt::DibStride(h.width, h.bitCount);
  const uint64_t claimed = stride * uint64_t(h.height > 0 ? h.height : 0);
  h.sizeImage = in.ConsumeBool() ? 0 : in.ConsumeBool() ? uint32_t(claimed) : in.ConsumeIntegral<uint32_t>();
  DibInput d;
  d.newWidth = in.ConsumeIntegralInRange<uint32_t>(0, 400);
  d.newHeight = in.ConsumeIntegralInRange<uint32_t>(0, 400);
  d.tolerance = in.ConsumeIntegralInRange<uint32_t>(0, 300);
  d.margin = in.ConsumeIntegral<uint32_t>();
  // The values the filter must refuse or cap, or an ordinary one (a large radius on every input
  // would only slow the search down).
  const double special[] = {std::nan(""), INFINITY, -INFINITY, 0.0, -1.0, 1e300, 5e-324};
  d.sigma = in.ConsumeBool() ? special[in.ConsumeIntegralInRange<int>(0, 6)]
                             : in.ConsumeFloatingPointInRange<double>(0.01, 6.0);
  if (claimed > kMaxRows) return std::nullopt;
  d.head.resize(124 + 1024);
  std::vector<uint8_t> table = in.ConsumeBytes<uint8_t>(1024);
  if (!table.empty()) std::memcpy(d.head.data() + std::min<uint32_t>(h.size, 124), table.data(), table.size());
  std::memcpy(d.head.data(), &h, sizeof h);
  d.rows = in.ConsumeBytes<uint8_t>(size_t(claimed));
  d.rows.resize(size_t(claimed));
  return d;
}

}  // namespace rastfxfuzz
