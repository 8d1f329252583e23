// The shell of the host a program runs on, as the setup sees it. The host's restart request is
// used as it is; program starts and the windows of programs the shell started are not offered by
// the host yet, so a start reports failure and no program window is ever found.
#pragma once

#include "setup_shell.h"

namespace platform {
class SystemInfo;
}

namespace hbasetup {

class HostShell : public SetupShell {
 public:
  explicit HostShell(platform::SystemInfo& system) : system_(system) {}
  bool StartProgram(std::string_view commandLine, int show) override;
  uintptr_t FindTopLevelWindow(std::string_view title) override;
  void RequestClose(uintptr_t window) override;
  bool RequestRestart() override;

 private:
  platform::SystemInfo& system_;
};

}  // namespace hbasetup
