// A host with the emulated USB scanner and the driver linked into the program (not loaded from
// its module), for benchmarks and fuzz targets: the PnP manager starts it as it would the module.
#pragma once

#include <string>

#include "kvx_hardware.h"
#include "kvxscan/kvx_interface.h"
#include "platform/devices/device_paths.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/pnp_manager.h"
#include "platform/usb/usb_bus.h"
#include "test_host.h"

namespace kvxscan {
extern "C" platform::NTSTATUS DriverEntry(platform::DRIVER_OBJECT* driverObject, platform::UNICODE_STRING* registryPath);
}

namespace kvxscan::testing {

class LinkedRig {
 public:
  // `kvxSection`: the machine's [kvxusb] keys; `beforePlug` may change the scanner first.
  template <class BeforePlug>
  LinkedRig(const std::string& kvxSection, BeforePlug beforePlug) : host_(Settings(kvxSection)), kernel_(platform::Kernel::Of(host_.host())) {
    std::string error;
    platform::PnpManager::InstallService(host_.host(), "KvxScan", "USB\\VID_1A2B&PID_0C01", &error);
    platform::PnpManager::Of(kernel_).AddLinkedDriver("KvxScan", DriverEntry);
    beforePlug(scanner());
    bus_ = &platform::UsbBus::Of(kernel_);
  }
  explicit LinkedRig(const std::string& kvxSection = "scanners=1\n") : LinkedRig(kvxSection, [](emulator::KvxScanner&) {}) {}

  platform::Host& host() { return host_.host(); }
  platform::Kernel& kernel() { return kernel_; }
  platform::UsbBus& bus() { return *bus_; }
  platform::PnpManager& pnp() { return platform::PnpManager::Of(kernel_); }
  platform::DevicePaths& paths() { return host_.host().devices(); }
  emulator::KvxScanner& scanner() { return *emulator::KvxHardware::Of(host_.host())->scanners().at(0); }
  platform::DEVICE_OBJECT* pdo() { return bus_->Devices().at(0); }

 private:
  static platform::testing::TestHost::Settings Settings(const std::string& kvxSection) {
    platform::testing::TestHost::Settings s;
    s.machine = "[machine]\nadapters=\n\n[kvxusb]\n" + kvxSection;
    return s;
  }
  platform::testing::TestHost host_;
  platform::Kernel& kernel_;
  platform::UsbBus* bus_ = nullptr;
};

}  // namespace kvxscan::testing
