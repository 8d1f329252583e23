// The USB bus driver of a host's kernel: one physical device object per plugged device, taking
// URBs through IOCTL_INTERNAL_USB_SUBMIT_URB and completing them on the bus's own thread at
// DISPATCH_LEVEL with the USB stack's statuses:
//  - control transfers end within USB's 5-second limit (USBD_STATUS_TIMEOUT, STATUS_IO_TIMEOUT),
//    so a synchronous request never hangs;
//  - a bulk or interrupt IN transfer waits while the device has nothing to send, until data
//    arrives, its pipe is aborted (USBD_STATUS_CANCELED, STATUS_CANCELLED) or the device goes
//    (USBD_STATUS_DEVICE_GONE, STATUS_DEVICE_NOT_CONNECTED);
//  - an IN transfer that ends short without USBD_SHORT_TRANSFER_OK reports
//    USBD_STATUS_ERROR_SHORT_TRANSFER with the bytes moved and halts its pipe, as a stall does:
//    the pipe's later transfers fail with USBD_STATUS_ENDPOINT_HALTED until it is reset;
//  - invalid URBs (unknown function, short header, unknown pipe handle, missing buffer) fail with
//    USBD_STATUS_INVALID_* and STATUS_INVALID_PARAMETER.
// Faults of the device on port N are the host's Device("usb", N) faults, applied by the bus to
// every transfer (the fault's opcode is the endpoint address, 0 for the control pipe): kHostStatus
// stalls, kShortData moves at most `length` bytes, kNeverComplete never ends (a control transfer
// then times out), kNulData delivers zeros.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/kernel/kernel.h"
#include "platform/usb/usb.h"
#include "platform/usb/usb_device.h"

namespace platform {

// The USB devices on a host's desk: whoever plugs in hardware (the emulated machine) attaches one
// to the host; the bus plugs its devices in when it is first made, so that a host whose kernel
// is never used runs no bus.
class UsbHardware : public HostService {
 public:
  virtual std::vector<std::shared_ptr<UsbDevice>> Devices() = 0;
};

class UsbBus : public KernelPart {
 public:
  static constexpr uint32_t kControlTimeoutMs = 5000;

  // The bus of `kernel`, made on first use with the host's USB hardware plugged in.
  static UsbBus& Of(Kernel& kernel);

  // Plugs a device into the next port: its physical device object, announced to the PnP manager.
  virtual DEVICE_OBJECT* Plug(std::shared_ptr<UsbDevice> device) = 0;
  // Disconnects the device: its transfers end with USBD_STATUS_DEVICE_GONE, new ones fail, and
  // the PnP manager removes its stack.
  virtual void Unplug(DEVICE_OBJECT* physicalDevice) = 0;
  virtual std::vector<DEVICE_OBJECT*> Devices() const = 0;
  virtual std::string HardwareId(DEVICE_OBJECT* physicalDevice) const = 0;
  virtual int Port(DEVICE_OBJECT* physicalDevice) const = 0;
  // URBs the bus has taken and not yet completed (tests wait for quiet with it).
  virtual size_t Outstanding() const = 0;
};

}  // namespace platform
