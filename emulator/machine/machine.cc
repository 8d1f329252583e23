#include "machine.h"

#include <filesystem>
#include <stdexcept>

#include "parallel_ports.h"
#include "kvx_hardware.h"
#include "picture.h"
#include "usb_asics.h"
#include "platform/aspi/aspi_service.h"
#include "platform/faults/faults.h"
#include "platform/files/files.h"
#include "platform/profile/profile.h"
#include "platform/registry/registry.h"
#include "platform/files/winpath.h"

namespace emulator {

namespace fs = std::filesystem;

namespace {
platform::AdapterKind KindFor(AdapterDescription::Kind kind) {
  switch (kind) {
    case AdapterDescription::Kind::kEpp: return platform::AdapterKind::kEpp;
    case AdapterDescription::Kind::kUsb: return platform::AdapterKind::kStillImage;
    default: return platform::AdapterKind::kScsi;
  }
}

platform::AspiModules ModulesOf(const platform::ProfileFiles& ini, const std::string& file) {
  std::string list = platform::ToLowerAscii(
      ini.GetStringValue("machine", "modules", "wnaspi32,stiaspi,osr2aspi", file));
  platform::AspiModules modules;
  modules.wnaspi32 = list.find("wnaspi32") != std::string::npos;
  modules.stiaspi = list.find("stiaspi") != std::string::npos;
  modules.osr2aspi = list.find("osr2aspi") != std::string::npos;
  return modules;
}
}  // namespace

Machine& Machine::Attach(platform::Host& host) {
  return host.FindOrAttach<Machine>([&] { return std::unique_ptr<Machine>(new Machine(host)); });
}

void InstallMachine(platform::Host& host) { Machine::Attach(host); }

Machine::Machine(platform::Host& host) {
  const fs::path path = host.root() / "machine.ini";
  std::error_code ec;
  if (!fs::exists(path, ec)) host.files().WriteFileAtomic(path.string(), DefaultMachineText());
  description_ = ParseMachine(host.profiles(), path.string());
  platform::AspiService& aspi = platform::AttachAspi(host, ModulesOf(host.profiles(), path.string()));
  for (const AdapterDescription& a : description_.adapters) {
    auto adapter = std::make_shared<platform::ScsiAdapter>(a.info, a.completion);
    adapter->ConnectFaults(host.faults(), a.name);
    for (const TargetDescription& t : a.targets) {
      auto description = description_.devices.find(t.device);
      if (description == description_.devices.end()) continue;  // noted among the problems
      auto device = MakeDevice(host, description->second, a);
      adapter->Attach(t.target, device, t.late);
      devices_.emplace(t.device, device);
      places_.emplace(t.device, Place{adapter, t.target});
    }
    if (a.kind == AdapterDescription::Kind::kEpp) RecordEppSettings(host, a);
    aspi.AddAdapter(KindFor(a.kind), adapter);
    adapters_.emplace(a.name, adapter);
  }
  UsbAsics::Install(host, path.string());
  InstallParallelPorts(host, path.string());
  KvxHardware::Attach(host, path.string());
}

std::shared_ptr<platform::ScsiDevice> Machine::MakeDevice(platform::Host& host,
                                                          const DeviceDescription& device,
                                                          const AdapterDescription& adapter) {
  if (device.type == DeviceDescription::Type::kIdentity) {
    return std::make_shared<IdentityScanner>(device.identity);
  }
  std::shared_ptr<const Page> page = std::make_shared<TestChart>();
  if (!device.scanner.picture.empty()) {
    std::string error;
    auto hostPath = host.files().Resolve(device.scanner.picture);
    auto picture = hostPath ? LoadPicture(hostPath->string(), 300, &error) : nullptr;
    if (picture) page = picture;
    else description_.problems.push_back("picture " + device.scanner.picture + ": " + error);
  }
  uint8_t modes = adapter.kind == AdapterDescription::Kind::kEpp ? adapter.modes | 0x04 : 0;
  return std::make_shared<ScsiScanner>(device.scanner, host.clock(), page, modes);
}

// The adapter's driver keeps its port settings in the registry; a new machine starts in the
// fastest EPP mode the port carries. Settings already there are the user's and stay.
void Machine::RecordEppSettings(platform::Host& host, const AdapterDescription& adapter) {
  platform::Registry& reg = host.registry();
  platform::RegKey key = 0;
  bool created = false;
  if (reg.CreateKey(platform::kHkeyLocalMachine, kEppAdapterKey, &key, &created) != 0) return;
  if (created) {
    uint32_t dataMode = adapter.modes & 0x20 ? 3 : adapter.modes & 0x10 ? 2 : 1;
    reg.SetDword(key, "ManualModeOn", 0);
    reg.SetDword(key, "LptMode", adapter.modes & 0x32 ? 2 : 3);
    reg.SetDword(key, "DataMode", dataMode);
    reg.SetDword(key, "Base", adapter.base);
  }
  reg.CloseKey(key);
}

ScsiScanner* Machine::Scanner(std::string_view device) const {
  auto it = devices_.find(device);
  return it == devices_.end() ? nullptr : dynamic_cast<ScsiScanner*>(it->second.get());
}

IdentityScanner* Machine::Identity(std::string_view device) const {
  auto it = devices_.find(device);
  return it == devices_.end() ? nullptr : dynamic_cast<IdentityScanner*>(it->second.get());
}

platform::DeviceFaults& Machine::Faults(std::string_view device) const {
  auto it = places_.find(device);
  if (it == places_.end()) throw std::out_of_range("no device " + std::string(device) + " on the machine");
  return it->second.adapter->TargetFaults(it->second.target);
}

std::shared_ptr<platform::ScsiAdapter> Machine::Adapter(std::string_view name) const {
  auto it = adapters_.find(name);
  return it == adapters_.end() ? nullptr : it->second;
}

}  // namespace emulator
