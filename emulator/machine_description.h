// The machine description, <root>/machine.ini: the host adapters in bus order, the devices on
// their targets, and each device's options. Written with the default machine the first time a
// root is used; see DefaultMachineText() for the format.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "identity_scanner.h"
#include "platform/devices/scsi.h"
#include "scanner_model.h"

namespace platform {
class ProfileFiles;
}

namespace emulator {

struct DeviceDescription {
  enum class Type { kScanner, kIdentity };
  Type type = Type::kScanner;
  ScannerModel scanner;
  IdentityModel identity;
};

struct TargetDescription {
  int target = 0;
  std::string device;  // section name of the device
  bool late = false;   // switched on after the machine: visible after a bus rescan
};

struct AdapterDescription {
  enum class Kind { kScsi, kEpp, kUsb };
  std::string name;
  Kind kind = Kind::kScsi;
  platform::HostAdapterInfo info;
  platform::ScsiAdapter::Completion completion = platform::ScsiAdapter::Completion::kImmediate;
  uint32_t base = 0x378;  // EPP adapters: the port address
  uint8_t modes = 0x3F;   // EPP adapters: port modes the parallel port carries
  std::vector<TargetDescription> targets;
};

struct MachineDescription {
  std::vector<AdapterDescription> adapters;
  std::map<std::string, DeviceDescription> devices;
  std::vector<std::string> problems;  // what was wrong in the description, and left out
};

std::string_view DefaultMachineText();
// Reads a description through the profile functions; `file` is a host or Windows path.
MachineDescription ParseMachine(const platform::ProfileFiles& ini, const std::string& file);
// The identity scanner described in `section`, for devices that hang on something other than an
// adapter's target (a parallel port); what is wrong goes to `description.problems`.
IdentityModel ParseIdentityDevice(const platform::ProfileFiles& ini, const std::string& file,
                                  const std::string& section, MachineDescription& description);

}  // namespace emulator
