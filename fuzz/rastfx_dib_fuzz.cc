// The three DIB wrappers and the descreen on fuzzed headers and rows. The caller's rows are
// exactly as long as the header says (what a caller owes the library), so AddressSanitizer sees
// any write outside them; every result must be a defined code, with nothing left allocated.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/memory/memory.h"
#include "platform/modules/modules.h"
#include "rastfx/rastfx.h"
#include "test_host.h"

namespace {

namespace rt = platform::rastertk;

bool Defined(int32_t code) { return code == rt::kRasterSuccess || (code <= -1 && code >= -16); }

void Require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "rastfx_dib_fuzz: %s\n", what);
    std::abort();
  }
}

constexpr uint64_t kMaxRows = 1 << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::testing::TestHost* host = new platform::testing::TestHost();
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
  uint64_t stride = rt::DibStride(h.width, h.bitCount);
  uint64_t claimed = stride * uint64_t(h.height > 0 ? h.height : 0);
  h.sizeImage = in.ConsumeBool() ? 0 : in.ConsumeBool() ? uint32_t(claimed) : in.ConsumeIntegral<uint32_t>();
  const uint32_t newWidth = in.ConsumeIntegralInRange<uint32_t>(0, 400);
  const uint32_t newHeight = in.ConsumeIntegralInRange<uint32_t>(0, 400);
  const uint32_t tolerance = in.ConsumeIntegralInRange<uint32_t>(0, 300);
  const uint32_t margin = in.ConsumeIntegral<uint32_t>();
  // The values the filter must refuse or cap, or an ordinary one (a large radius on every input
  // would only slow the search down).
  const double special[] = {std::nan(""), INFINITY, -INFINITY, 0.0, -1.0, 1e300, 5e-324};
  const double sigma = in.ConsumeBool() ? special[in.ConsumeIntegralInRange<int>(0, 6)]
                                        : in.ConsumeFloatingPointInRange<double>(0.01, 6.0);
  if (claimed > kMaxRows) return 0;
  // The header block holds the largest header and a full colour table after it.
  std::vector<uint8_t> head(124 + 1024);
  std::vector<uint8_t> table = in.ConsumeBytes<uint8_t>(1024);
  if (!table.empty()) std::memcpy(head.data() + std::min<uint32_t>(h.size, 124), table.data(), table.size());
  std::memcpy(head.data(), &h, sizeof h);
  std::vector<uint8_t> rows = in.ConsumeBytes<uint8_t>(size_t(claimed));
  rows.resize(size_t(claimed));
  auto* header = reinterpret_cast<rt::DibHeader*>(head.data());
  uint8_t* pixels = rows.empty() ? nullptr : rows.data();

  rt::Bitmap bitmap{};
  int32_t r = P_ConvertDIB2LToolsBitmapFormat(header, pixels, 1, 2, &bitmap);
  Require(Defined(r), "conversion gave an undefined code");
  if (r == rt::kRasterSuccess) {
    Require(bitmap.valueA == 1 && bitmap.valueB == 2, "values A and B changed");
    platform::Modules& modules = host->host().modules();
    platform::ModuleHandle kernel = modules.LoadLibrary(rt::kKernelModule);
    auto release = reinterpret_cast<rt::FreeBitmapFn>(
        modules.GetProcAddress(kernel, platform::OrdinalName(rt::kOrdinalFreeBitmap)));
    Require(release(&bitmap) == rt::kRasterSuccess, "release failed");
    modules.FreeLibrary(kernel);
  }
  Require(Defined(P_SingleAutoCrop(pixels, header, 3, 4, tolerance, margin)), "crop gave an undefined code");
  const rt::DibHeader before = *header;
  r = P_ImageDownSample(pixels, header, 5, 6, newWidth, newHeight);
  Require(Defined(r), "down-sample gave an undefined code");
  if (r != rt::kRasterSuccess) Require(std::memcmp(&before, header, sizeof before) == 0, "failed down-sample changed the header");
  if (h.height > 0 && h.width > 0) {
    P_ImageDescreen(pixels, header->bitCount, 0, 0, uint32_t(header->width), uint32_t(header->height), 0, sigma);
  }
  Require(rt::LiveBitmaps(host->host()) == 0, "a bitmap was left alive");
  Require(host->host().memory().LiveBlocks() == 0, "a memory block was left allocated");
  return 0;
}
