// The emulated machine of a host: built from <root>/machine.ini (the default machine is written
// there the first time), its adapters handed to the host's ASPI layers, and the settings its
// drivers would have left in the registry recorded there. Tests reach the devices through it to
// inject faults and look at what the devices saw.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "identity_scanner.h"
#include "machine_description.h"
#include "platform/host/host.h"
#include "platform/devices/scsi.h"
#include "scsi_scanner.h"

namespace emulator {

// Where the parallel-to-SCSI adapter's driver keeps its settings, under HKEY_LOCAL_MACHINE.
inline constexpr std::string_view kEppAdapterKey = "System\\CurrentControlSet\\Services\\EPPSCSIx";

// Plugs the machine of <root>/machine.ini into `host`: the hardware installer this library
// registers as the process's default (platform/host/hardware.h).
void InstallMachine(platform::Host& host);

class Machine : public platform::HostService {
 public:
  // Builds the machine of `host` once; later calls return the same one.
  static Machine& Attach(platform::Host& host);

  const MachineDescription& description() const { return description_; }
  ScsiScanner* Scanner(std::string_view device) const;
  IdentityScanner* Identity(std::string_view device) const;
  // The faults of the bus target where `device` sits (the host's fault service carries them).
  platform::DeviceFaults& Faults(std::string_view device) const;
  std::shared_ptr<platform::ScsiAdapter> Adapter(std::string_view name) const;

 private:
  explicit Machine(platform::Host& host);
  std::shared_ptr<platform::ScsiDevice> MakeDevice(platform::Host& host, const DeviceDescription& device,
                                                   const AdapterDescription& adapter);
  void RecordEppSettings(platform::Host& host, const AdapterDescription& adapter);

  MachineDescription description_;
  std::map<std::string, std::shared_ptr<platform::ScsiDevice>, std::less<>> devices_;
  std::map<std::string, std::shared_ptr<platform::ScsiAdapter>, std::less<>> adapters_;
  struct Place {
    std::shared_ptr<platform::ScsiAdapter> adapter;
    int target = 0;
  };
  std::map<std::string, Place, std::less<>> places_;
};

}  // namespace emulator
