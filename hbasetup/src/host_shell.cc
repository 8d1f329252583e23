#include "host_shell.h"

#include <iostream>

#include "platform/system/errors.h"
#include "platform/system/system.h"

namespace hbasetup {

bool HostShell::StartProgram(std::string_view commandLine, int) {
  // WinExec's failure for a program that cannot be found.
  platform::SetLastError(platform::kErrorFileNotFound);
  std::cerr << "hbasetup: cannot start \"" << commandLine << "\": no program starts on this host\n";
  return false;
}

uintptr_t HostShell::FindTopLevelWindow(std::string_view) { return 0; }

void HostShell::RequestClose(uintptr_t) {}

bool HostShell::RequestRestart() { return system_.RequestRestart("EWX_REBOOT"); }

}  // namespace hbasetup
