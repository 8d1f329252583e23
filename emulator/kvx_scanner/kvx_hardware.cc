#include "kvx_hardware.h"

#include <algorithm>

#include "platform/profile/profile.h"

namespace emulator {

std::vector<std::shared_ptr<platform::UsbDevice>> KvxHardware::Devices() {
  return {scanners_.begin(), scanners_.end()};
}

KvxHardware* KvxHardware::Of(platform::Host& host) {
  return dynamic_cast<KvxHardware*>(host.Find<platform::UsbHardware>());
}

void KvxHardware::Attach(platform::Host& host, const std::string& machineIni) {
  platform::ProfileFiles& ini = host.profiles();
  int count = ini.GetInt("kvxusb", "scanners", 1, machineIni);
  int width = ini.GetInt("kvxusb", "width", 1024, machineIni);
  int lines = ini.GetInt("kvxusb", "lines", 1024, machineIni);
  auto hardware = std::make_unique<KvxHardware>();
  for (int i = 0; i < std::clamp(count, 0, 16); ++i) {
    hardware->scanners_.push_back(std::make_shared<KvxScanner>(static_cast<uint16_t>(std::clamp(width, 0, 65535)),
                                                               static_cast<uint16_t>(std::clamp(lines, 0, 65535))));
  }
  host.Attach<platform::UsbHardware>(std::move(hardware));
}

}  // namespace emulator
