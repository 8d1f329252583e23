#include "usb_device_file.h"

#include <cstring>

#include "platform/system/errors.h"

namespace usbminid {

UsbDeviceFile::UsbDeviceFile(platform::DevicePaths& paths, platform::Clock& clock) : paths_(paths), clock_(clock) {}

UsbDeviceFile::~UsbDeviceFile() { CloseDevice(); }

bool UsbDeviceFile::OpenDevice(const char* portName) {
  CloseDevice();
  size_t length = portName ? std::strlen(portName) : 0;
  if (length >= kNameBuffer) {
    platform::SetLastError(kErrorFilenameExcedRange);
    return false;
  }
  std::memcpy(deviceName_, portName, length + 1);
  platform::DeviceOpen how{.access = platform::kGenericRead | platform::kGenericWrite,
                           .share = platform::kFileShareRead | platform::kFileShareWrite,
                           .creation = platform::kOpenExisting,
                           .flags = platform::kFileFlagOverlapped};
  handle_ = paths_.Open(deviceName_, how);
  return isOpen();
}

bool UsbDeviceFile::CloseDevice() {
  if (!isOpen()) return false;
  bool closed = paths_.Close(handle_);
  handle_ = platform::kInvalidDeviceHandle;
  return closed;
}

bool UsbDeviceFile::WriteRaw(const void* buffer, uint32_t count) {
  if (!isOpen()) return false;
  uint32_t moved = 0;
  if (!paths_.Write(handle_, {static_cast<const uint8_t*>(buffer), count}, &moved)) return false;
  return moved == count;
}

bool UsbDeviceFile::ReadRaw(void* buffer, uint32_t* count) {
  if (!isOpen() || count == nullptr) return false;
  const uint32_t wanted = *count;
  uint32_t moved = 0;
  if (!paths_.Read(handle_, {static_cast<uint8_t*>(buffer), wanted}, &moved)) return false;
  *count = moved;
  return moved == wanted;
}

}  // namespace usbminid
