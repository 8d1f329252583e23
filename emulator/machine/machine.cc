#include "machine.h"

#include <filesystem>

#include "picture.h"
#include "platform/aspi_service.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/registry.h"
#include "platform/winpath.h"

namespace emulator {

namespace fs = std::filesystem;

namespace {
platform::AdapterKind KindFor(AdapterSpec::Kind kind) {
  switch (kind) {
    case AdapterSpec::Kind::kEpp: return platform::AdapterKind::kEpp;
    case AdapterSpec::Kind::kUsb: return platform::AdapterKind::kStillImage;
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
  if (Machine* existing = host.Find<Machine>()) return *existing;
  return host.Attach(std::unique_ptr<Machine>(new Machine(host)));
}

Machine::Machine(platform::Host& host) {
  const fs::path path = host.root() / "machine.ini";
  std::error_code ec;
  if (!fs::exists(path, ec)) host.files().WriteFileAtomic(path.string(), DefaultMachineText());
  spec_ = ParseMachine(host.profiles(), path.string());
  platform::AspiService& aspi = platform::AttachAspi(host, ModulesOf(host.profiles(), path.string()));
  for (const AdapterSpec& a : spec_.adapters) {
    auto adapter = std::make_shared<platform::ScsiAdapter>(a.info, a.completion);
    for (const TargetSpec& t : a.targets) {
      auto spec = spec_.devices.find(t.device);
      if (spec == spec_.devices.end()) continue;  // noted among the problems
      auto device = MakeDevice(host, spec->second, a);
      adapter->Attach(t.target, device, t.late);
      devices_.emplace(t.device, device);
    }
    if (a.kind == AdapterSpec::Kind::kEpp) RecordEppSettings(host, a);
    aspi.AddAdapter(KindFor(a.kind), adapter);
    adapters_.emplace(a.name, adapter);
  }
}

std::shared_ptr<platform::ScsiDevice> Machine::MakeDevice(platform::Host& host,
                                                          const DeviceSpec& device,
                                                          const AdapterSpec& adapter) {
  if (device.type == DeviceSpec::Type::kIdentity) {
    return std::make_shared<IdentityScanner>(device.identity);
  }
  std::shared_ptr<const Page> page = std::make_shared<TestChart>();
  if (!device.scanner.picture.empty()) {
    std::string error;
    auto hostPath = host.files().Resolve(device.scanner.picture);
    auto picture = hostPath ? LoadPicture(hostPath->string(), 300, &error) : nullptr;
    if (picture) page = picture;
    else spec_.problems.push_back("picture " + device.scanner.picture + ": " + error);
  }
  uint8_t modes = adapter.kind == AdapterSpec::Kind::kEpp ? adapter.modes | 0x04 : 0;
  return std::make_shared<ScsiScanner>(device.scanner, host.clock(), page, modes);
}

// The adapter's driver keeps its port settings in the registry; a new machine starts in the
// fastest EPP mode the port carries. Settings already there are the user's and stay.
void Machine::RecordEppSettings(platform::Host& host, const AdapterSpec& adapter) {
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

std::shared_ptr<platform::ScsiAdapter> Machine::Adapter(std::string_view name) const {
  auto it = adapters_.find(name);
  return it == adapters_.end() ? nullptr : it->second;
}

}  // namespace emulator
