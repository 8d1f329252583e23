// scan: scans a page (or film frames) to PNG, TIFF or PNM through the scanner control library,
// and finds and describes the scanners of the machine. See PrintUsage (scan --help) for the
// command line and the exit statuses.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/modules/modules.h"
#include "scan_job.h"
#include "scan_options.h"
#include "scancore/scan_core.h"
#include "scanner_report.h"

namespace {

std::string Hex(uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", code);
  return text;
}

int NoScanner(const std::string& why) {
  std::cerr << "scan: " << why << "\n";
  return kExitNoScanner;
}

int List(CScanCore& core, const std::vector<DEVICEINFO>& found) {
  int status = kExitOk;
  for (size_t i = 0; i < found.size(); ++i) {
    CHWScannerInfo info;
    if (!core.InitializeScanner(found[i], info)) {
      std::cerr << "scan: device " << i << " (" << found[i].ModelName << ") does not answer (error "
                << Hex(core.GetErrorCode()) << ")\n";
      status = kExitNoScanner;
      continue;
    }
    PrintListLine(std::cout, static_cast<int>(i), found[i], info);
  }
  return status;
}

int Run(const ScanOptions& o) {
  platform::Host& host = platform::Host::Current();
  // The program lives in the scanning application's folder, where the modules it loads look for
  // their settings (the still-image layer, for "Support.sti").
  host.modules().SetApplicationFolder(o.base);
  CScanCore core(o.base);
  std::vector<DEVICEINFO> found;
  if (!core.ListScanners(found)) {
    if (o.help) return kExitOk;
    return NoScanner("the ASPI layer could not be opened (error " + Hex(core.GetErrorCode()) + ")");
  }
  if (o.list) {
    if (found.empty()) return NoScanner("no scanner found; check that it is switched on and its cable is connected");
    return List(core, found);
  }
  if (found.empty()) {
    if (o.help) return kExitOk;
    return NoScanner("no scanner found; check that it is switched on and its cable is connected");
  }
  const int index = o.device < 0 ? 0 : o.device;
  if (index >= static_cast<int>(found.size())) {
    return NoScanner("there is no device " + std::to_string(index) + "; " +
                     std::to_string(found.size()) + " found (see scan -L)");
  }
  CHWScannerInfo info;
  if (!core.InitializeScanner(found[index], info)) {
    return NoScanner("device " + std::to_string(index) + " does not answer: " +
                     ErrorText(host, core.GetErrorCode()));
  }
  if (o.help) {
    core.CheckHolderType(info);
    std::cout << "\n";
    PrintScannerOptions(std::cout, index, info);
    return kExitOk;
  }
  if (o.info) {
    PrintDetails(std::cout, index, found[index], info);
    return kExitOk;
  }
  return RunScanJob(o, core, info, host, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
  ScanOptions options;
  if (int status = ParseScanOptions(argc, argv, &options, std::cerr)) return status;
  if (options.help) PrintUsage(std::cout);
  return Run(options);
}
