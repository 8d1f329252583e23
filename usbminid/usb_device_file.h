// The device file: the scanner's port (a "\\.\NAME" path of the USB kernel driver) opened for
// overlapped I/O. One write carries one command packet, one read returns reply or line bytes.
// Every transfer is synchronous for its caller: it starts an overlapped request and waits for
// its own private event. A request still pending after kTransferWaitMs is cancelled and then
// waited for: a request that was only slow still brings its bytes, one that would never
// complete ends as aborted, and no completion comes after the call has returned.
//
// The port name must fit the 139-character name buffer; a longer one is refused
// (kErrorFilenameExcedRange), never cut. A transfer is successful only when exactly the
// requested number of bytes moved, whether it completed at once or later.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/devices/device_paths.h"

namespace platform {
class Clock;
}

namespace usbminid {

inline constexpr uint32_t kErrorFilenameExcedRange = 206;

class UsbDeviceFile {
 public:
  static constexpr size_t kNameBuffer = 140;  // 139 characters and the terminator
  static constexpr uint32_t kTransferWaitMs = 10000;

  UsbDeviceFile(platform::DevicePaths& paths, platform::Clock& clock);
  ~UsbDeviceFile();
  UsbDeviceFile(const UsbDeviceFile&) = delete;
  UsbDeviceFile& operator=(const UsbDeviceFile&) = delete;

  // Closes an open handle first. False with the thread's last error set when the name is too
  // long or the open fails.
  bool OpenDevice(const char* portName);
  bool CloseDevice();  // false when nothing is open
  bool WriteRaw(const void* buffer, uint32_t count);
  // `*count` in: bytes wanted; out: bytes that arrived.
  bool ReadRaw(void* buffer, uint32_t* count);

  const char* deviceName() const { return deviceName_; }

  bool isOpen() const { return handle_ != platform::kInvalidDeviceHandle; }

 private:
  platform::DevicePaths& paths_;
  struct Transfer;
  bool Run(bool write, const uint8_t* source, uint8_t* target, uint32_t count, uint32_t* moved);

  platform::Clock& clock_;
  char deviceName_[kNameBuffer] = "\\\\.\\qusbdrv000";
  platform::DeviceHandle handle_ = platform::kInvalidDeviceHandle;
};

}  // namespace usbminid
