// The three DIB wrappers on fuzzed headers and rows (rastfx_dib_input.h): every result must be
// a defined code, with nothing left allocated. The descreen on the same inputs is a target of its
// own (rastfx_descreen_fuzz), as its filter costs many times what the header checks do.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/memory/memory.h"
#include "platform/modules/modules.h"
#include "rastfx/rastfx.h"
#include "rastfx_dib_input.h"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::testing::TestHost* host = new platform::testing::TestHost();
  auto input = rastfxfuzz::ReadDibInput(data, size);
  if (!input) return 0;
  rt::DibHeader* header = input->header();
  uint8_t* pixels = input->pixels();

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
  Require(Defined(P_SingleAutoCrop(pixels, header, 3, 4, input->tolerance, input->margin)),
          "crop gave an undefined code");
  const rt::DibHeader before = *header;
  r = P_ImageDownSample(pixels, header, 5, 6, input->newWidth, input->newHeight);
  Require(Defined(r), "down-sample gave an undefined code");
  if (r != rt::kRasterSuccess) Require(std::memcmp(&before, header, sizeof before) == 0, "failed down-sample changed the header");
  Require(rt::LiveBitmaps(host->host()) == 0, "a bitmap was left alive");
  Require(host->host().memory().LiveBlocks() == 0, "a memory block was left allocated");
  return 0;
}
