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

// The CONFIG.SYS a Windows 9x machine of the time carried on its boot drive, with DOS CR LF
// line ends; the setup programs edit it.
constexpr const char* kConfigSys =
    "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\n"
    "DEVICE=C:\\WINDOWS\\EMM386.EXE NOEMS\r\n"
    "DOS=HIGH,UMB\r\n"
    "FILES=40\r\n"
    "BUFFERS=30\r\n"
    "DEVICEHIGH=C:\\WINDOWS\\COMMAND\\DISPLAY.SYS CON=(EGA,,1)\r\n"
    "COUNTRY=001,437,C:\\WINDOWS\\COMMAND\\COUNTRY.SYS\r\n"
    "SHELL=C:\\COMMAND.COM C:\\ /E:1024 /P\r\n";
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
    // Before system.ini takes its name: a root that has it is complete.
    std::ofstream(root / "drives/c/CONFIG.SYS", std::ios::binary) << kConfigSys;
    fs::rename(temp, root / "system.ini", ec);
  }
}

}  // namespace platform
