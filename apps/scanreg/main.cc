// scanreg: queries and edits the registry of the host, and moves it to and from REGEDIT4 text.
#include <iostream>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "platform/host/host.h"

namespace {

int Usage() {
  std::cerr
      << "usage: scanreg query KEY [/v NAME | /ve]\n"
         "       scanreg add KEY [/v NAME | /ve] [/t REG_SZ|REG_DWORD|REG_BINARY] [/d DATA]\n"
         "       scanreg delete KEY [/v NAME | /ve]\n"
         "       scanreg export FILE [KEY]\n"
         "       scanreg import FILE\n"
         "KEY starts with a root: HKLM (HKEY_LOCAL_MACHINE), HKCU (HKEY_CURRENT_USER) or\n"
         "HKCR (HKEY_CLASSES_ROOT), as in HKLM\\Software\\Example. /ve names the default value.\n"
         "REG_DWORD data are decimal or 0x hex; REG_BINARY data are hex digits (0a1bff).\n"
         "delete without /v removes the key with everything below it. FILE - is standard\n"
         "input or output. An import applies all of the file or, on any fault, none of it.\n"
         "The registry is the one of the host root: $SCANSUITE_ROOT, else the user's data folder.\n"
         "Exit codes: 0 done, 1 refused or failed, 2 wrong command line, 3 registry store\n"
         "damaged or not usable.\n";
  return scanreg::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  scanreg::CommandLine line;
  std::string fault =
      scanreg::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), &line);
  if (!fault.empty()) {
    std::cerr << "scanreg: " << fault << "\n(run scanreg without arguments for help)\n";
    return scanreg::kExitUsage;
  }
  platform::Registry& registry = platform::Host::Current().registry();
  return scanreg::RunCommand(registry, line, {std::cout, std::cerr});
}
