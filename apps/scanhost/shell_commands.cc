#include "shell_commands.h"

#include <filesystem>
#include <system_error>

#include "platform/files/files.h"
#include "platform/host/host.h"
#include "platform/shell/shell.h"
#include "platform/ui/ui_constants.h"

namespace fs = std::filesystem;

namespace {

// The media folder of the build this program belongs to.
fs::path MediaFolder() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return self.parent_path().parent_path() / "media";
}

}  // namespace

int InsertBuildMedium(platform::Host& host, const std::string& name, std::ostream& out,
                      std::ostream& err) {
  const fs::path medium = MediaFolder() / name;
  std::error_code ec;
  if (name.empty() || name.find('/') != std::string::npos || !fs::is_directory(medium, ec)) {
    err << "scanhost: no medium \"" << name << "\" in " << MediaFolder().string() << "\n";
    return 2;
  }
  auto drive = host.files().drives().Folder('A');
  if (!drive) {
    err << "scanhost: the machine has no drive A:\n";
    return 1;
  }
  fs::remove_all(*drive, ec);
  fs::create_directories(*drive, ec);
  fs::copy(medium, *drive, fs::copy_options::recursive, ec);
  if (ec) {
    err << "scanhost: cannot copy the medium: " << ec.message() << "\n";
    return 1;
  }
  out << "medium " << name << " is in drive A:\n";
  return 0;
}

int StartProgram(platform::Host& host, const std::vector<std::string>& words, std::ostream& err) {
  std::string commandLine;
  for (const std::string& w : words) commandLine += (commandLine.empty() ? "" : " ") + w;
  const uint32_t result =
      platform::Shell::Of(host).WinExec(commandLine, platform::SW_SHOWNORMAL);
  if (result > 31) return 0;
  err << "scanhost: cannot start \"" << commandLine << "\" (WinExec " << result << ")\n";
  return 1;
}

void ShowRestart(platform::Host& host, std::ostream& out) {
  auto pending = platform::Shell::Of(host).PendingRestart();
  if (pending) {
    out << "restart requested by " << pending->program << " at " << pending->time
        << " (scanhost restart dismisses it)\n";
  }
}

int ClearRestart(platform::Host& host, std::ostream& out) {
  if (!platform::Shell::Of(host).ClearRestart()) {
    out << "no restart was requested\n";
    return 0;
  }
  out << "restarted\n";
  return 0;
}
