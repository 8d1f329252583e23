// scanhost: looks at and adjusts the emulated Windows machine of a host root.
//
//   scanhost [show]                    the root, its Windows version, folders, drives and files
//   scanhost version [PRESET]          shows or sets the Windows version preset
//   scanhost path WINDOWS-PATH         the host file a Windows path stands for
//   scanhost ini FILE SECTION KEY [VALUE]
//                                      reads or writes a profile string
//   scanhost insert MEDIUM             puts an installation medium of the build into drive A:
//   scanhost start COMMAND-LINE        starts a Windows program as the shell does
//   scanhost restart                   dismisses a restart a setup asked for
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "platform/files/files.h"
#include "platform/host/host.h"
#include "platform/profile/profile.h"
#include "platform/system/system.h"
#include "shell_commands.h"
#include "show.h"
#include "insert.h"

namespace {
int Usage() {
  std::cerr << "usage: scanhost [show]\n"
               "       scanhost version [win95|win95-osr2|win98|nt4|win2000]\n"
               "       scanhost path WINDOWS-PATH\n"
               "       scanhost ini FILE SECTION KEY [VALUE]\n"
               "       scanhost insert MEDIUM\n"
               "       scanhost start COMMAND-LINE\n"
               "       scanhost restart\n"
               "The host root is $SCANSUITE_ROOT, else the user's data folder.\n";
  return 2;
}

int SetVersion(platform::Host& host, const char* preset) {
  if (!platform::ParseVersionPreset(preset)) {
    std::cerr << "scanhost: unknown Windows version \"" << preset << "\"\n";
    return Usage();
  }
  std::string ini = (host.root() / "system.ini").string();
  if (!host.profiles().WriteString("system", "version", preset, ini)) {
    std::cerr << "scanhost: cannot write " << ini << "\n";
    return 1;
  }
  std::cout << "Windows version set to " << preset << " (takes effect for new processes)\n";
  return 0;
}

int Ini(platform::Host& host, int argc, char** argv) {
  if (argc == 6) {
    if (!host.profiles().WriteString(argv[3], argv[4], argv[5], argv[2])) {
      std::cerr << "scanhost: cannot write " << host.profiles().FullPath(argv[2]) << "\n";
      return 1;
    }
    return 0;
  }
  std::cout << host.profiles().GetStringValue(argv[3], argv[4], "", argv[2]) << "\n";
  return 0;
}
}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "show";
  platform::Host& host = platform::Host::Current();
  if (command == "show" && argc <= 2) {
    ShowHost(host, std::cout);
    ShowRestart(host, std::cout);
    return 0;
  }
  if (command == "version" && argc <= 3) {
    if (argc == 3) return SetVersion(host, argv[2]);
    std::cout << platform::PresetName(host.system().version()) << "\n";
    return 0;
  }
  if (command == "path" && argc == 3) {
    auto path = host.files().Resolve(argv[2]);
    if (!path) {
      std::cerr << "scanhost: cannot resolve \"" << argv[2] << "\"\n";
      return 1;
    }
    std::cout << path->string() << "\n";
    return 0;
  }
  if (command == "ini" && (argc == 5 || argc == 6)) return Ini(host, argc, argv);
  if (command == "insert" && argc == 3) return InsertMedium(host, argv[2], std::cout, std::cerr);
  if (command == "start" && argc >= 3) {
    return StartProgram(host, std::vector<std::string>(argv + 2, argv + argc), std::cerr);
  }
  if (command == "restart" && argc == 2) return ClearRestart(host, std::cout);
  return Usage();
}
