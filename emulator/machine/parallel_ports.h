// The parallel ports of the machine description and what hangs on them, and the version of the
// ASPI layer's file in the system folder:
//
//   [ports]
//   bios=0x378,0x278        ; the BIOS table of LPT1..LPT4 (0 for none); default 0x378
//   enumerated=LPT1:,COM1:  ; what EnumPorts lists; default LPT1:, COM1:, COM2:
//   identity=0x278,highspeed,SECTION ; the setup's identity scanner at this base, standard or
//                           ; highspeed, described in [SECTION] (default [identity])
//   wnaspi32=4.0.0.970      ; wnaspi32.dll in the system folder with this version; default none
#pragma once

#include <string>

#include "machine_description.h"

namespace platform {
class Host;
}

namespace emulator {

void InstallParallelPorts(platform::Host& host, const std::string& machineFile);

}  // namespace emulator
