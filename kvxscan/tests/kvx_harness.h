// A host with the emulated USB scanner, the KvxScan module installed as a driver service and the
// device started by the PnP manager; bug checks fail the test that caused them, by name.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "kvx_hardware.h"
#include "kvxscan/kvx_interface.h"
#include "platform/devices/device_paths.h"
#include "platform/faults/faults.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/pnp_manager.h"
#include "platform/kernel/user_memory.h"
#include "platform/usb/usb_bus.h"
#include "test_host.h"

namespace kvxscan::testing {

inline std::string ModuleFile() {
  const char* bin = std::getenv("SCANSUITE_BIN");
  return std::string(bin ? bin : ".") + "/KvxScan.sys";
}

inline platform::testing::TestHost::Settings MachineWith(std::string kvxSection) {
  platform::testing::TestHost::Settings settings;
  settings.machine = "[machine]\nadapters=\n\n[kvxusb]\n" + kvxSection;
  return settings;
}

class KvxHarness {
 public:
  using BeforePlug = std::function<void(KvxHarness&)>;
  explicit KvxHarness(platform::testing::TestHost::Settings settings = MachineWith("scanners=1\n"),
                      BeforePlug beforePlug = {}, bool install = true)
      : test_(std::move(settings)), kernel_(platform::Kernel::Of(test_.host())) {
    kernel_.SetBugCheckHandler([](const platform::BugCheck& check) {
      ADD_FAILURE() << "bug check " << check.name << ": " << check.detail;
    });
    if (install) Install();
    if (beforePlug) beforePlug(*this);
    bus_ = &platform::UsbBus::Of(kernel_);
  }
  explicit KvxHarness(BeforePlug beforePlug) : KvxHarness(MachineWith("scanners=1\n"), std::move(beforePlug)) {}
  ~KvxHarness() {
    for (auto handle : handles_) paths().Close(handle);
    kernel_.DrainWork();
  }

  void Install() {
    std::string error;
    ASSERT_TRUE(platform::PnpManager::InstallDriver(test_.host(), "KvxScan", "USB\\VID_1A2B&PID_0C01",
                                                    ModuleFile(), &error)) << error;
  }

  platform::Host& host() { return test_.host(); }
  platform::testing::TestHost& test() { return test_; }
  platform::Kernel& kernel() { return kernel_; }
  platform::UsbBus& bus() { return *bus_; }
  platform::PnpManager& pnp() { return platform::PnpManager::Of(kernel_); }
  platform::DevicePaths& paths() { return test_.host().devices(); }
  emulator::KvxScanner& scanner(size_t i = 0) { return *emulator::KvxHardware::Of(test_.host())->scanners().at(i); }
  platform::DEVICE_OBJECT* pdo(size_t i = 0) { return bus_->Devices().at(i); }
  platform::DEVICE_OBJECT* fdo(size_t i = 0) { return pnp().FunctionDevice(pdo(i)); }
  DEVICE_EXTENSION& ext(size_t i = 0) { return *static_cast<DEVICE_EXTENSION*>(fdo(i)->DeviceExtension); }
  platform::DeviceFaults& faults(int port = 0) { return test_.host().faults().Device("usb", port); }

  platform::DeviceHandle Open(const std::string& path = "\\\\.\\KvxScan0") {
    platform::DeviceHandle h = paths().Open(path);
    if (h != platform::kInvalidDeviceHandle) handles_.push_back(h);
    return h;
  }
  void Close(platform::DeviceHandle h) {
    std::erase(handles_, h);
    paths().Close(h);
  }

  // A control request; the Win32 error (0 for success) and the bytes returned.
  uint32_t Control(platform::DeviceHandle h, uint32_t code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out,
                   uint32_t* returned = nullptr) {
    uint32_t n = 0;
    bool ok = paths().Control(h, code, in, out, &n);
    if (returned) *returned = n;
    return ok ? 0 : platform::GetLastError();
  }

  size_t WdmPool() { return kernel_.PoolBlocks("Wdm "); }
  // Waits until the bus and the worker are quiet.
  void Settle() {
    for (int i = 0; i < 200; ++i) {
      kernel_.DrainWork();
      if (bus_->Outstanding() <= Running()) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  // URBs that stay out while the device runs: the interrupt poll.
  size_t Running() { return fdo() && __atomic_load_n(&ext().InterruptIrp, __ATOMIC_SEQ_CST) ? 1 : 0; }

 private:
  platform::testing::TestHost test_;
  platform::Kernel& kernel_;
  platform::UsbBus* bus_ = nullptr;
  std::vector<platform::DeviceHandle> handles_;
};

template <class T>
std::vector<uint8_t> Bytes(const T& value) {
  const auto* p = reinterpret_cast<const uint8_t*>(&value);
  return std::vector<uint8_t>(p, p + sizeof(T));
}

}  // namespace kvxscan::testing
