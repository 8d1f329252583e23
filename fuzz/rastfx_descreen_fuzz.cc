// The descreen on fuzzed DIB headers and rows (rastfx_dib_input.h, the input the DIB target
// reads): sigmas it must refuse or cap among ordinary ones, rows exactly as long as the header
// says, so that AddressSanitizer sees any write outside them; nothing may stay allocated.
#include <cstdio>
#include <cstdlib>

#include "platform/memory/memory.h"
#include "rastfx/rastfx.h"
#include "rastfx_dib_input.h"
#include "test_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::testing::TestHost* host = new platform::testing::TestHost();
  auto input = rastfxfuzz::ReadDibInput(data, size);
  if (!input) return 0;
  const platform::rastertk::DibHeader* header = input->header();
  if (header->height > 0 && header->width > 0) {
    const int32_t r = P_ImageDescreen(input->pixels(), header->bitCount, 0, 0, uint32_t(header->width),
                                      uint32_t(header->height), 0, input->sigma);
    if (r != 0) {
      std::fprintf(stderr, "rastfx_descreen_fuzz: the descreen returned %d\n", r);
      std::abort();
    }
  }
  if (host->host().memory().LiveBlocks() != 0) {
    std::fprintf(stderr, "rastfx_descreen_fuzz: a memory block was left allocated\n");
    std::abort();
  }
  return 0;
}
