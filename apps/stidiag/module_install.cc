#include "module_install.h"

#include <filesystem>
#include <system_error>

#include "platform/files/files.h"
#include "platform/host/host.h"
#include "platform/system/system.h"

namespace stidiag {

namespace fs = std::filesystem;

std::string InstallModule(platform::Host& host, std::string* error) {
  std::error_code ec;
  const fs::path built = fs::read_symlink("/proc/self/exe", ec).parent_path() / ".." / "lib" / "libusbminid.so";
  if (ec || !fs::exists(built, ec)) {
    *error = "the minidriver module is not beside this program (" + built.string() + ")";
    return {};
  }
  const std::string windowsPath = host.system().SystemFolder() + "\\USBMINID.DLL";
  auto target = host.files().Resolve(windowsPath);
  if (!target) {
    *error = "the system folder " + host.system().SystemFolder() + " is not on a drive of this host";
    return {};
  }
  fs::create_directories(target->parent_path(), ec);
  fs::copy_file(built, *target, fs::copy_options::overwrite_existing, ec);
  if (ec) {
    *error = "cannot copy the module to " + target->string() + ": " + ec.message();
    return {};
  }
  return windowsPath;
}

}  // namespace stidiag
