// What the setup asks of the shell: starting programs, finding and closing a running program's
// window, and restarting the machine. The program plugs in the host's shell here; tests plug in a
// double that records the calls.
#pragma once

#include <cstdint>
#include <string_view>

namespace hbasetup {

inline constexpr int kShowNoActivate = 4;  // SW_SHOWNOACTIVATE
inline constexpr int kShowNormal = 1;      // SW_SHOWNORMAL

class SetupShell {
 public:
  virtual ~SetupShell() = default;
  // WinExec: starts the command line without waiting for it; false when it cannot be started.
  virtual bool StartProgram(std::string_view commandLine, int show) = 0;
  // FindWindow(NULL, title): a top-level window with exactly this title; 0 for none.
  virtual uintptr_t FindTopLevelWindow(std::string_view title) = 0;
  // Sends the window a close request (WM_CLOSE).
  virtual void RequestClose(uintptr_t window) = 0;
  // ExitWindowsEx(EWX_REBOOT); true when the restart is on its way.
  virtual bool RequestRestart() = 0;
};

}  // namespace hbasetup
