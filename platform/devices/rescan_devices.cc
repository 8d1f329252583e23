#include "rescan_devices.h"

#include <algorithm>

namespace platform::aspi_internal {

namespace {

class ScsiPortDevice final : public StatelessDevice {
 public:
  explicit ScsiPortDevice(std::shared_ptr<ScsiAdapter> adapter) : adapter_(std::move(adapter)) {}

  IoStatus Control(uint32_t code, std::span<const uint8_t>, std::span<uint8_t>) override {
    if (code != kIoctlScsiRescanBus) return {kErrorInvalidFunction, 0};
    adapter_->Rescan();
    return {};
  }

 private:
  std::shared_ptr<ScsiAdapter> adapter_;
};

class GulpDevice final : public StatelessDevice {
 public:
  GulpDevice(std::shared_ptr<BusSet> buses, const SystemInfo& system)
      : buses_(std::move(buses)), system_(system) {}

  IoStatus Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) override {
    if (code != kGulpRescanCode) return {kErrorInvalidFunction, 0};
    if (in.size() != kGulpSignature.size() || !std::equal(in.begin(), in.end(), kGulpSignature.begin())) {
      return {kErrorInvalidParameter, 0};
    }
    if (out.size() < kGulpReplyLength) return {kErrorInsufficientBuffer, 0};
    buses_->RescanAll();
    const size_t count = std::min<size_t>(buses_->size(), 0xFFFF);
    std::copy(kGulpSignature.begin(), kGulpSignature.end(), out.begin());
    out[4] = static_cast<uint8_t>(count);
    out[5] = static_cast<uint8_t>(count >> 8);
    return {kErrorSuccess, static_cast<uint32_t>(kGulpReplyLength)};
  }

 protected:
  // The driver is a Windows 95 one: on any other system there is nothing to open.
  uint32_t Admit(const DeviceOpen&) override {
    const WindowsVersion v = system_.version();
    return v == WindowsVersion::kWin95 || v == WindowsVersion::kWin95Osr2 ? kErrorSuccess
                                                                          : kErrorFileNotFound;
  }

 private:
  std::shared_ptr<BusSet> buses_;
  const SystemInfo& system_;
};

}  // namespace

std::shared_ptr<DeviceObject> MakeScsiPortDevice(std::shared_ptr<ScsiAdapter> adapter) {
  return std::make_shared<ScsiPortDevice>(std::move(adapter));
}

std::shared_ptr<DeviceObject> MakeGulpDevice(std::shared_ptr<BusSet> buses, const SystemInfo& system) {
  return std::make_shared<GulpDevice>(std::move(buses), system);
}

void Replace(DevicePaths& paths, std::string_view name, std::shared_ptr<DeviceObject> device) {
  const uint32_t saved = GetLastError();
  paths.Unregister(name);  // nothing to take over is the usual case
  paths.Register(name, std::move(device));
  SetLastError(saved);
}

}  // namespace platform::aspi_internal
