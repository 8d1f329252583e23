// The program's edge: builds the setup's context from the current host and runs it.
//
//   hbasetup [SETUP-DIRECTORY]   the directory the setup runs from, where SETUP32.INI lies
//                                (default A:\, the medium's drive); it becomes the current
//                                directory, as when the program is started from there
//
// Exit codes: 0 installed, 1 left at the welcome dialog, 3 installed but a file was not copied
// (its retry question was answered No, as an unattended run's safe answer does), 4 resources
// damaged, 64 bad arguments.
#pragma once

#include <string_view>

namespace hbasetup {

std::string_view ResourceScriptText();  // resources/hbasetup.rc

int Main(int argc, char** argv);

}  // namespace hbasetup
