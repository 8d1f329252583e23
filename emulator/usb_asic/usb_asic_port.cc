#include "usb_asic_port.h"

#include <algorithm>

#include "platform/faults/faults.h"

namespace emulator {

namespace {
class PortFile final : public platform::DeviceFile {
 public:
  explicit PortFile(std::shared_ptr<UsbAsicPort> port) : port_(std::move(port)) {}
  platform::IoStatus Read(std::span<uint8_t> buffer) override { return port_->Read(buffer); }
  platform::IoStatus Write(std::span<const uint8_t> data) override { return port_->Write(data); }

 private:
  std::shared_ptr<UsbAsicPort> port_;
};
}  // namespace

UsbAsicPort::UsbAsicPort(std::string name, std::shared_ptr<UsbAsicScanner> scanner, platform::Faults& faults)
    : name_(std::move(name)), scanner_(std::move(scanner)), faults_(faults) {}

std::unique_ptr<platform::DeviceFile> UsbAsicPort::Open(const platform::DeviceOpen& how, uint32_t* error) {
  if (auto fault = faults_.Check(kUsbOpenFault, name_)) {
    *error = *fault ? static_cast<uint32_t>(*fault) : platform::kErrorFileNotFound;
    return nullptr;
  }
  return std::make_unique<PortFile>(shared_from_this());
}

platform::DeviceFaults& UsbAsicPort::BusFaults() { return faults_.Device("usb:" + name_, 0); }

platform::IoStatus UsbAsicPort::Write(std::span<const uint8_t> data) {
  std::lock_guard lock(mutex_);
  if (!scanner_->Command(data)) return {platform::kErrorInvalidParameter, 0};
  lastCommand_ = data[0];
  return {platform::kErrorSuccess, static_cast<uint32_t>(data.size())};
}

platform::IoStatus UsbAsicPort::Read(std::span<uint8_t> buffer) {
  std::lock_guard lock(mutex_);
  std::optional<platform::DeviceFault> fault = BusFaults().Take(lastCommand_);
  if (fault && fault->kind == platform::DeviceFault::Kind::kNeverComplete) return {kErrorSemTimeout, 0};
  size_t n = scanner_->Read(buffer);
  if (n == 0) return {kErrorSemTimeout, 0};
  if (fault && fault->kind == platform::DeviceFault::Kind::kShortData) n = std::min<size_t>(n, fault->length);
  if (fault && fault->kind == platform::DeviceFault::Kind::kNulData) std::fill_n(buffer.begin(), n, uint8_t{0});
  return {platform::kErrorSuccess, static_cast<uint32_t>(n)};
}

}  // namespace emulator
