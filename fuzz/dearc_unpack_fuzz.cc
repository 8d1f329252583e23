// Unpack with files: the input is the packed file, expanded over an existing destination. A good
// expansion replaces the destination with exactly what the stream holds; any failure leaves the
// destination's bytes as they were and no partial file beside it. Small on purpose: the file
// work makes each run slow, and the codec itself is fuzzed in memory by the expander's target.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "dearc32/dearc32.h"
#include "platform/files/files.h"
#include "test_host.h"

namespace {

constexpr char kOld[] = "the destination before the expansion\r\n";

platform::testing::TestHost& Host() {
  // On a memory file system where there is one: a replace syncs the file and its folder.
  static const bool memoryTemp = [] {
    std::error_code ec;
    if (std::filesystem::is_directory("/dev/shm", ec)) setenv("TMPDIR", "/dev/shm", 1);
    return true;
  }();
  (void)memoryTemp;
  static platform::testing::TestHost host(
      platform::testing::TestHost::Settings{.hardware = platform::NoHardware()});
  return host;
}

std::string Read(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::testing::TestHost& host = Host();
  host.WriteFile("C:\\IN\\DATA.PA_", std::string(reinterpret_cast<const char*>(data), size));
  // A good expansion before may have left the destination read-only, as its packed file said.
  host.host().files().SetAttributes("C:\\OUT\\DATA.BIN", 0x80);
  host.WriteFile("C:\\OUT\\DATA.BIN", kOld);
  const uint16_t result = Unpack("C:\\IN\\DATA.PA_", "C:\\OUT\\DATA.BIN", 0, 0);
  if (result < 1 || result > 5 || result == 2 || result == 3) {
    fprintf(stderr, "Unpack gave %u\n", result);
    std::abort();
  }
  const std::filesystem::path out = host.HostPath("C:\\OUT");
  if (std::distance(std::filesystem::directory_iterator(out), {}) != 1) std::abort();
  if (result != 1 && Read(out / "DATA.BIN") != kOld) std::abort();
  return 0;
}
