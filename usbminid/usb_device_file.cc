#include "usb_device_file.h"

#include <algorithm>
#include <cstring>

#include "platform/clock/event.h"

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

// One request's own memory: the event it sets and the bytes it moves.
struct UsbDeviceFile::Transfer {
  explicit Transfer(platform::Clock& clock, uint32_t count)
      : event(clock, platform::Event::Reset::kManual), bytes(count) {}
  platform::Event event;
  std::vector<uint8_t> bytes;
  platform::Overlapped overlapped;
};

bool UsbDeviceFile::Run(bool write, const uint8_t* source, uint8_t* target, uint32_t count, uint32_t* moved) {
  auto t = std::make_shared<Transfer>(clock_, count);
  t->overlapped.event = &t->event;
  if (write && count) std::memcpy(t->bytes.data(), source, count);
  *moved = 0;
  bool done = write ? paths_.WriteOverlapped(handle_, t->bytes, t->overlapped, moved)
                    : paths_.ReadOverlapped(handle_, t->bytes, t->overlapped, moved);
  if (!done && platform::GetLastError() == platform::kErrorIoPending) {
    if (t->event.Wait(kTransferWaitMs) != platform::WaitResult::kSignaled) paths_.CancelIo(handle_);
    done = paths_.GetOverlappedResult(handle_, t->overlapped, moved, true);
  }
  // A request's outcome is visible a moment before its completion sets the event, whether it
  // completed at once or later: the event must outlive that.
  if (t->overlapped.request) t->event.Wait();
  if (!done) return false;
  if (!write) std::memcpy(target, t->bytes.data(), std::min(*moved, count));
  return true;
}

bool UsbDeviceFile::WriteRaw(const void* buffer, uint32_t count) {
  if (!isOpen()) return false;
  uint32_t moved = 0;
  return Run(true, static_cast<const uint8_t*>(buffer), nullptr, count, &moved) && moved == count;
}

bool UsbDeviceFile::ReadRaw(void* buffer, uint32_t* count) {
  if (!isOpen() || count == nullptr) return false;
  const uint32_t wanted = *count;
  uint32_t moved = 0;
  if (!Run(false, nullptr, static_cast<uint8_t*>(buffer), wanted, &moved)) return false;
  *count = moved;
  return moved == wanted;
}

}  // namespace usbminid
