// scan: finds and describes the scanners of the machine through the scanner control library.
//
//   scan -L | --list-devices          every scanner found, one line each
//   scan -d N | --device N --info     everything known about scanner N (from the list)
//   scan --base FOLDER ...            the scanning application's folder (default C:\TOVELINK),
//                                     where Support.oem, Support.sti and bin\Model.ini are read
//   scan -h | --help
// Exit status: 0 done, 1 no scanner (or not the one asked for), 2 bad command line.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/modules/modules.h"
#include "scancore/scan_core.h"
#include "scanner_report.h"

namespace {

constexpr int kExitNoScanner = 1;
constexpr int kExitUsage = 2;

struct Options {
  bool list = false;
  bool info = false;
  int device = -1;
  std::string base = "C:\\TOVELINK";
};

void Usage(std::ostream& out) {
  out << "usage: scan -L | --list-devices\n"
         "       scan -d N | --device N --info\n"
         "       scan --help\n"
         "options:\n"
         "  -L, --list-devices  list every scanner found, with its place, model and firmware\n"
         "  -d, --device N      the scanner numbered N in the list\n"
         "  -i, --info          describe that scanner in full\n"
         "  --base FOLDER       the scanning application's folder (default C:\\TOVELINK)\n"
         "The machine is the host root $SCANSUITE_ROOT, else the user's data folder.\n";
}

bool ParseDevice(const std::string& text, int* device) {
  if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  *device = std::stoi(text);
  return true;
}

// 0 when parsed; else the exit status (kExitUsage, or 0 after --help).
int Parse(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "-h" || arg == "--help") {
      Usage(std::cout);
      return -1;
    } else if (arg == "-L" || arg == "--list-devices") {
      o->list = true;
    } else if (arg == "-i" || arg == "--info") {
      o->info = true;
    } else if ((arg == "-d" || arg == "--device") && hasValue) {
      if (!ParseDevice(argv[++i], &o->device)) {
        std::cerr << "scan: \"" << argv[i] << "\" is not a device number\n";
        return kExitUsage;
      }
    } else if (arg == "--base" && hasValue) {
      o->base = argv[++i];
    } else {
      std::cerr << "scan: unexpected \"" << arg << "\"\n";
      Usage(std::cerr);
      return kExitUsage;
    }
  }
  if (o->list == (o->device >= 0)) {
    std::cerr << "scan: say -L to list the scanners, or -d N --info for one of them\n";
    return kExitUsage;
  }
  return 0;
}

std::string Hex(uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", code);
  return text;
}

int NoScanner(const std::string& why) {
  std::cerr << "scan: " << why << "\n";
  return kExitNoScanner;
}

int Run(const Options& o) {
  // The program lives in the scanning application's folder, where the modules it loads look for
  // their settings (the still-image layer, for "Support.sti").
  platform::Host::Current().modules().SetApplicationFolder(o.base);
  CScanCore core(o.base);
  std::vector<DEVICEINFO> found;
  if (!core.ListScanners(found)) {
    return NoScanner("the ASPI layer could not be opened (error " + Hex(core.GetErrorCode()) + ")");
  }
  if (found.empty()) {
    return NoScanner("no scanner found; check that it is switched on and its cable is connected");
  }
  if (o.device >= static_cast<int>(found.size())) {
    return NoScanner("there is no device " + std::to_string(o.device) + "; " +
                     std::to_string(found.size()) + " found (see scan -L)");
  }
  const size_t first = o.list ? 0 : static_cast<size_t>(o.device);
  const size_t last = o.list ? found.size() : first + 1;
  int status = 0;
  for (size_t i = first; i < last; ++i) {
    CHWScannerInfo info;
    if (!core.InitializeScanner(found[i], info)) {
      std::cerr << "scan: device " << i << " (" << found[i].ModelName << ") does not answer (error "
                << Hex(core.GetErrorCode()) << ")\n";
      status = kExitNoScanner;
      continue;
    }
    if (o.list) PrintListLine(std::cout, static_cast<int>(i), found[i], info);
    else PrintDetails(std::cout, static_cast<int>(i), found[i], info);
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (int status = Parse(argc, argv, &options)) return status < 0 ? 0 : status;
  return Run(options);
}
