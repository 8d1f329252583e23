// The shell of the host the program runs on, as the setup sees it: program starts through
// WinExec, the windows of programs the shell started (FindWindow and a close request), and the
// restart, which is requested from the system and kept in the host's restart record.
#pragma once

#include "setup_shell.h"

namespace platform {
class Host;
}

namespace hbasetup {

class HostShell : public SetupShell {
 public:
  explicit HostShell(platform::Host& host) : host_(host) {}
  bool StartProgram(std::string_view commandLine, int show) override;
  uintptr_t FindTopLevelWindow(std::string_view title) override;
  void RequestClose(uintptr_t window) override;
  bool RequestRestart() override;

 private:
  platform::Host& host_;
};

}  // namespace hbasetup
