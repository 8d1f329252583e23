// The programs' edge: builds the context from the current host and runs one of them.
//
//   portinst [FOLDER]     FOLDER: the Windows folder the program runs from, where EPP-CARD.INI
//   portuninst [FOLDER]   lies (default A:\, the medium's drive)
#pragma once

#include <string_view>

namespace portcard {

std::string_view PortInstResourceScript();    // resources/portinst.rc
std::string_view PortUninstResourceScript();  // resources/portuninst.rc

int PortInstMain(int argc, char** argv);
int PortUninstMain(int argc, char** argv);

}  // namespace portcard
