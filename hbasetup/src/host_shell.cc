#include "host_shell.h"

#include "platform/host/host.h"
#include "platform/shell/shell.h"
#include "platform/system/system.h"

namespace hbasetup {

bool HostShell::StartProgram(std::string_view commandLine, int show) {
  return platform::Shell::Of(host_).WinExec(commandLine, show) > 31;
}

uintptr_t HostShell::FindTopLevelWindow(std::string_view title) {
  return platform::Shell::Of(host_).FindWindow(title);
}

void HostShell::RequestClose(uintptr_t window) { platform::Shell::Of(host_).RequestClose(window); }

bool HostShell::RequestRestart() {
  if (!host_.system().RequestRestart("EWX_REBOOT")) return false;
  return platform::Shell::Of(host_).RecordRestart("hbasetup");
}

}  // namespace hbasetup
