#include "device_list.h"

#include <algorithm>

#include "platform/modules/modules.h"
#include "scancore/scan_core.h"

namespace sanebackend {

namespace {
const char* BusWord(int busType) {
  switch (busType) {
    case kBusEppParallel: return "epp";
    case kBusStillImage: return "sti";
    default: return "scsi";
  }
}
}  // namespace

std::vector<std::string> DeviceNames(const std::vector<DEVICEINFO>& found) {
  std::vector<std::string> names;
  for (const DEVICEINFO& d : found) {
    std::string name = std::to_string(d.AdapterID) + ":" + std::to_string(d.TargetID);
    if (std::find(names.begin(), names.end(), name) != names.end()) {
      name += std::string(":") + BusWord(d.BusType);
    }
    names.push_back(name);
  }
  return names;
}

void PrepareForScanners(BackendHost& host) {
  // The modules the library loads look for their settings in the application's folder.
  host.host().modules().SetApplicationFolder(host.config().base);
}

bool FindScanners(BackendHost& host, bool withIdentity, std::vector<FoundScanner>* scanners) {
  scanners->clear();
  PrepareForScanners(host);
  CScanCore core(host.config().base);
  std::vector<DEVICEINFO> found;
  if (!core.ListScanners(found)) return false;
  const std::vector<std::string> names = DeviceNames(found);
  for (size_t i = 0; i < found.size(); ++i) {
    FoundScanner s;
    s.device = found[i];
    s.name = names[i];
    s.model = found[i].ModelName;
    if (withIdentity) {
      CHWScannerInfo info;
      if (!core.InitializeScanner(found[i], info)) continue;  // listed but silent: left out
      core.CheckHolderType(info);
      s.vendor = info.GetVendor();
      s.model = info.GetModelName();
      s.type = info.GetHolderType() != 0 ? "film scanner" : "flatbed scanner";
    }
    scanners->push_back(std::move(s));
  }
  host.TakePrompts();
  return true;
}

}  // namespace sanebackend
