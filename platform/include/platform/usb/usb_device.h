// A device on the USB bus as the bus driver sees it: a default control pipe and numbered
// endpoints. Emulated devices implement it; the bus driver (usb_bus.h) carries URBs to it on its
// own thread, through the faults of the device's port.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>

namespace platform {

struct UsbSetup {
  uint8_t requestType = 0;  // bit 7 device-to-host; bits 5-6 type; bits 0-4 recipient
  uint8_t request = 0;
  uint16_t value = 0;
  uint16_t index = 0;
  uint16_t length = 0;
};

// What a transaction came to: a USBD status, the bytes moved, or, for an IN endpoint with
// nothing to send yet, pending (the device NAKs; the bus asks again after the device wakes it).
struct UsbResult {
  int32_t status = 0;
  uint32_t length = 0;
  bool pending = false;

  static UsbResult Done(uint32_t length) { return UsbResult{0, length, false}; }
  static UsbResult Stall();
  static UsbResult Pending() { return UsbResult{0, 0, true}; }
};

class UsbDevice {
 public:
  virtual ~UsbDevice() = default;
  // "USB\VID_xxxx&PID_yyyy", what the PnP manager finds the driver by.
  virtual std::string HardwareId() const = 0;
  // A control transfer on the default pipe (standard requests such as GET_DESCRIPTOR included);
  // `data` is `setup.length` bytes, filled for device-to-host.
  virtual UsbResult Control(const UsbSetup& setup, std::span<uint8_t> data) = 0;
  // One transfer on endpoint `address` (bit 7 set for IN): IN fills `data` (possibly short);
  // OUT consumes it.
  virtual UsbResult Transfer(uint8_t address, std::span<uint8_t> data) = 0;
  // SET_CONFIGURATION (0 unconfigures) and the reset of a halted endpoint.
  virtual void Configure(uint8_t configuration) {}
  virtual void ResetEndpoint(uint8_t address) {}

  // The bus's wake-up: a device calls Wake() when an IN endpoint that answered pending may now
  // have data.
  void SetWakeup(std::function<void()> wake) {
    std::lock_guard lock(wakeMutex_);
    wake_ = std::move(wake);
  }

 protected:
  void Wake() {
    std::function<void()> wake;
    {
      std::lock_guard lock(wakeMutex_);
      wake = wake_;
    }
    if (wake) wake();
  }

 private:
  std::mutex wakeMutex_;
  std::function<void()> wake_;
};

}  // namespace platform
