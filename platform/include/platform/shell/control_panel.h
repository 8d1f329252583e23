// The control panel as the shell starts it ("control.exe", a program that comes with Windows):
// it opens one applet or lists those there are.
//
//   control.exe               lists the applets registered in CONTROL.INI, section [MMCPL]
//   control.exe APPLET.CPL    opens that applet
//
// An applet named without a folder is looked for among the registered ones (by file name), then
// in the Windows and system folders. The applets here are files without code we could run, so
// opening one shows a box that names its file and its version (from its version resource); an
// applet that is missing or is no program image gets an error box instead. Everything goes
// through the host's user interface.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class Host;

inline constexpr std::string_view kControlPanelProgram = "CONTROL.EXE";

// The file an applet argument stands for; empty when none exists.
std::optional<std::string> FindControlPanelApplet(Host& host, std::string_view applet);
// Runs the control panel with the words after the program name: 0 when it opened the applet or
// listed them, 1 when the applet cannot be opened.
int RunControlPanel(Host& host, const std::vector<std::string>& args);

}  // namespace platform
