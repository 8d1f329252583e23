// The commands of `scanhost` that stand for a person at the machine: putting an installation
// medium into drive A:, starting a program as the program manager's menu entries do, and seeing
// or dismissing a restart a setup asked for.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace platform {
class Host;
}

// Replaces what drive A: holds with the medium `name` of the build (media/<name> beside bin/).
int InsertBuildMedium(platform::Host& host, const std::string& name, std::ostream& out,
                      std::ostream& err);
// Runs a Windows command line through the shell (WinExec).
int StartProgram(platform::Host& host, const std::vector<std::string>& words, std::ostream& err);
// The restart a setup asked for, if any.
void ShowRestart(platform::Host& host, std::ostream& out);
// Dismisses it: the machine counts as restarted.
int ClearRestart(platform::Host& host, std::ostream& out);
