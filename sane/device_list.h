// The scanners discovery finds, as SANE devices: named by their place, "ADAPTER:TARGET" (the
// bus added, "ADAPTER:TARGET:BUS", for a second scanner at the same place on another bus), which
// front ends see behind the backend's name as "scansuite:ADAPTER:TARGET"; with vendor, model
// and type from their identity.
#pragma once

#include <string>
#include <vector>

#include "backend_host.h"
#include "scancore/device_info.h"

namespace sanebackend {

struct FoundScanner {
  DEVICEINFO device;
  std::string name, vendor, model, type;
};

// One name per entry of `found`, in order.
std::vector<std::string> DeviceNames(const std::vector<DEVICEINFO>& found);
// Every scanner that discovery finds and that answers its identity inquiry. False when a
// transport failed to open.
bool FindScanners(BackendHost& host, bool withIdentity, std::vector<FoundScanner>* scanners);
// What the library needs of the host before it looks for or binds a scanner.
void PrepareForScanners(BackendHost& host);

}  // namespace sanebackend
