// BMP, PNG and TIFF files through the file down-sample: whatever the file holds, the result is a
// defined code, nothing stays allocated, and a failure leaves the file as it was.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/files/files.h"
#include "platform/memory/memory.h"
#include "rastfx/rastfx.h"
#include "scratch_folder.h"
#include "test_host.h"

namespace {

namespace rt = platform::rastertk;

void Require(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "rastfx_file_fuzz: %s\n", what);
    std::abort();
  }
}

}  // namespace

// The first two bytes are the new width and height (1 to 64); the rest is the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Every input is written (and synced) as a file first: on the memory file system.
  static platform::testing::TestHost* host = (TempFoldersInMemory(), new platform::testing::TestHost());
  if (size < 2) return 0;
  uint32_t width = 1 + data[0] % 64, height = 1 + data[1] % 64;
  std::string file(reinterpret_cast<const char*>(data) + 2, size - 2);
  platform::FileSystem& files = host->host().files();
  Require(files.WriteFileAtomic("C:\\FUZZ.IMG", file), "cannot write the input");
  int32_t r = P_FileDownSample("C:\\FUZZ.IMG", width, height);
  Require(r == rt::kRasterSuccess || (r <= -1 && r >= -16), "undefined code");
  if (r != rt::kRasterSuccess) Require(files.ReadFile("C:\\FUZZ.IMG") == file, "a failure changed the file");
  Require(rt::LiveBitmaps(host->host()) == 0, "a bitmap was left alive");
  Require(host->host().memory().LiveBlocks() == 0, "a memory block was left allocated");
  return 0;
}
