// EPP-CARD.INI of any content: the address list is read to its first gap, every entry is at most
// nine characters, and every entry converts to a number by the digit rule.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "address_list.h"
#include "platform/files/files.h"
#include "platform/profile/profile.h"
#include "scratch_folder.h"

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}

std::filesystem::path Folder() {
  static std::filesystem::path dir = [] {
    auto d = ScratchFolder("portcard-fuzz");
    std::filesystem::create_directories(d / "WINDOWS");
    return d;
  }();
  return dir;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace platform;
  static DriveTable drives = [] {
    DriveTable d;
    d.Map('A', Folder());
    return d;
  }();
  static FileSystem fs(drives, Folder() / "attributes.db");
  static ProfileFiles profiles(fs, "A:\\WINDOWS");
  std::ofstream(Folder() / "EPP-CARD.INI", std::ios::binary)
      << std::string(reinterpret_cast<const char*>(data), size);
  const auto list = portcard::ReadAddressList(profiles, "A:\\EPP-CARD.INI");
  Check(list.size() <= size);
  uint32_t sum = 0;
  for (const std::string& entry : list) {
    Check(entry.size() <= portcard::kMaxAddressText);
    sum += portcard::AddressValue(entry);
  }
  (void)sum;
  return 0;
}
