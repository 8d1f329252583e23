// The device path of the USB scanner ("\\.\qusbdrv000"): what the USB kernel driver would publish
// for it. One write is one command packet, one read one reply or line. The port is the bus
// between the path and the scanner, and it applies the injected faults:
//  - an open fails when the host's fault switch "usb.open" fires for the port name (the switch's
//    error, else kErrorFileNotFound);
//  - the device faults Faults::Device("usb:" + port name, 0) shape each read by the command byte of
//    the packet whose reply or lines it reads: kShortData cuts it to `length` bytes, kNulData
//    blanks it, kNeverComplete fails it with kErrorSemTimeout.
#pragma once

#include <memory>
#include <string>

#include "platform/devices/device_paths.h"
#include "platform/faults/device_faults.h"
#include "usb_asic_scanner.h"

namespace platform {
class Faults;
}

namespace emulator {

inline constexpr std::string_view kUsbOpenFault = "usb.open";
inline constexpr uint32_t kErrorSemTimeout = 121;  // a bulk read that nothing answers

class UsbAsicPort : public platform::DeviceObject, public std::enable_shared_from_this<UsbAsicPort> {
 public:
  UsbAsicPort(std::string name, std::shared_ptr<UsbAsicScanner> scanner, platform::Faults& faults);

  std::unique_ptr<platform::DeviceFile> Open(const platform::DeviceOpen& how, uint32_t* error) override;

  const std::string& name() const { return name_; }
  UsbAsicScanner& scanner() { return *scanner_; }
  // The bus faults of this port.
  platform::DeviceFaults& BusFaults();

  platform::IoStatus Write(std::span<const uint8_t> data);
  platform::IoStatus Read(std::span<uint8_t> buffer);

 private:
  std::string name_;
  std::shared_ptr<UsbAsicScanner> scanner_;
  platform::Faults& faults_;
  std::mutex mutex_;
  uint8_t lastCommand_ = 0;  // the packet whose reply the next read carries
};

}  // namespace emulator
