// dssetup: installs the scanner's TWAIN data source from its medium.
//
//   dssetup [--from DIR] [--snapshot FILE.png]
//
// DIR is the Windows folder the setup was started from (the medium's root, "A:\" by default);
// the setup script and the language libraries lie there. --snapshot saves the setup window as
// it is painted. The user interface is the host's:
// the console, or with SCANSUITE_UI=scripted and SCANSUITE_ANSWERS=FILE an unattended run.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "platform/host/host.h"
#include "platform/modules/modules.h"
#include "platform/system/system.h"
#include "setup_flow.h"

int main(int argc, char** argv) {
  std::string from = "A:\\";
  std::string snapshot;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--from") == 0 && i + 1 < argc) {
      from = argv[++i];
    } else if (std::strcmp(argv[i], "--snapshot") == 0 && i + 1 < argc) {
      snapshot = argv[++i];
    } else {
      std::fprintf(stderr, "usage: dssetup [--from DIR] [--snapshot FILE.png]\n");
      return 2;
    }
  }
  if (from.empty() || from.back() != '\\') from += '\\';
  try {
    platform::Host& host = platform::Host::Current();
    host.modules().SetApplicationFolder(from);
    dssetup::SetupPaths paths{from, host.system().WindowsFolder(), host.system().SystemFolder()};
    dssetup::SetupFlow flow(host, paths);
    flow.SetSnapshot(snapshot);
    return flow.Run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "dssetup: %s\n", e.what());
    return 1;
  }
}
