#include <fstream>
#include <system_error>

#include "platform/host/host.h"

namespace platform {

namespace fs = std::filesystem;

namespace {
constexpr const char* kSystemIni =
    "; The emulated Windows system of this host.\n"
    "; version: win95, win95-osr2, win98, nt4 or win2000.\n"
    "[system]\n"
    "version=win98\n"
    "WindowsFolder=C:\\WINDOWS\n"
    "\n"
    "; Drive letters and the host folders they stand for (relative to this root).\n"
    "[drives]\n"
    "A=drives/a\n"
    "C=drives/c\n"
    "Z=/\n";
}  // namespace

void ProvisionRoot(const fs::path& root) {
  std::error_code ec;
  fs::create_directories(root, ec);
  if (!fs::exists(root / "system.ini", ec)) {
    for (const char* dir : {"drives/a", "drives/c/WINDOWS/SYSTEM", "drives/c/WINDOWS/TWAIN_32"}) {
      fs::create_directories(root / dir, ec);
    }
    // Written under a temporary name first, so a half-provisioned root is never taken as done.
    fs::path temp = root / "system.ini.new";
    {
      std::ofstream out(temp, std::ios::binary);
      out << kSystemIni;
    }
    fs::rename(temp, root / "system.ini", ec);
  }
}

}  // namespace platform
