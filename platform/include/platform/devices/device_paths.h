// Device objects reached by "\\.\NAME" paths, as CreateFile opens them on Windows: emulated
// devices and the kernel-mode layer register objects by name, and user mode opens a handle and
// reads, writes and sends control codes through it.
//
// Contract:
//  - Names are registered without the "\\.\" prefix ("SCSI0:", "gulp.VXD") and matched without
//    regard to case. A handle keeps its device alive after the name is unregistered.
//  - Each open makes a DeviceFile (the file object of the handle); closing the handle destroys
//    it once no request is running on it. Handles may be used from several threads.
//  - Failures return false (or kInvalidDeviceHandle) and set the thread's last error (errors.h).
//  - Requests complete before the call returns. Overlapped completion will come as a fourth
//    request form beside Read, Write and Control, carrying an event to set; IoStatus already
//    has the shape a pending request completes with.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "platform/system/errors.h"

namespace platform {

inline constexpr uint32_t kErrorInvalidFunction = 1;  // the device does not take this request

// CreateFile's access, share, creation and flag values; the device decides what they mean.
inline constexpr uint32_t kGenericRead = 0x80000000u;
inline constexpr uint32_t kGenericWrite = 0x40000000u;
inline constexpr uint32_t kFileShareRead = 0x1;
inline constexpr uint32_t kFileShareWrite = 0x2;
inline constexpr uint32_t kCreateNew = 1;
inline constexpr uint32_t kOpenExisting = 3;
inline constexpr uint32_t kFileFlagDeleteOnClose = 0x04000000u;
inline constexpr uint32_t kFileFlagOverlapped = 0x40000000u;

struct DeviceOpen {
  uint32_t access = 0;
  uint32_t share = 0;
  uint32_t creation = kOpenExisting;
  uint32_t flags = 0;
  // "\\.\NAME\FILE" opens device NAME with the file name "\FILE"; empty for "\\.\NAME".
  std::string fileName;
};

// What one request came to: a Win32 error code and the number of bytes moved.
struct IoStatus {
  uint32_t error = kErrorSuccess;
  uint32_t information = 0;
};

// One open handle's view of a device. Every request it does not take fails with
// kErrorInvalidFunction, as a driver without that dispatch routine does.
class DeviceFile {
 public:
  virtual ~DeviceFile() = default;
  virtual IoStatus Read(std::span<uint8_t> buffer);
  virtual IoStatus Write(std::span<const uint8_t> data);
  virtual IoStatus Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out);
};

class DeviceObject {
 public:
  virtual ~DeviceObject() = default;
  // The file object for a new handle, or null with `*error` set to refuse the open.
  virtual std::unique_ptr<DeviceFile> Open(const DeviceOpen& how, uint32_t* error) = 0;
};

// A device whose handles hold no state of their own: each handle forwards to the device, which
// it keeps alive. Make it with std::make_shared.
class StatelessDevice : public DeviceObject,
                        public DeviceFile,
                        public std::enable_shared_from_this<StatelessDevice> {
 public:
  std::unique_ptr<DeviceFile> Open(const DeviceOpen& how, uint32_t* error) override;

 protected:
  // Refuses an open with an error code; kErrorSuccess admits it.
  virtual uint32_t Admit(const DeviceOpen& how) { return kErrorSuccess; }
};

using DeviceHandle = uintptr_t;
inline constexpr DeviceHandle kInvalidDeviceHandle = ~DeviceHandle{0};

class DevicePaths {
 public:
  // False with kErrorAlreadyExists when the name is taken, kErrorInvalidName when it is empty
  // or holds a backslash, kErrorInvalidParameter for a null device.
  bool Register(std::string_view name, std::shared_ptr<DeviceObject> device);
  bool Unregister(std::string_view name);  // false with kErrorFileNotFound
  bool Exists(std::string_view name) const;

  // "\\.\NAME"; anything else, or an unknown name, fails with kErrorFileNotFound.
  DeviceHandle Open(std::string_view path, const DeviceOpen& how = {});
  bool Control(DeviceHandle handle, uint32_t code, std::span<const uint8_t> in,
               std::span<uint8_t> out, uint32_t* returned);
  bool Read(DeviceHandle handle, std::span<uint8_t> buffer, uint32_t* read);
  bool Write(DeviceHandle handle, std::span<const uint8_t> data, uint32_t* written);
  bool Close(DeviceHandle handle);  // false with kErrorInvalidHandle
  size_t OpenHandles() const;

 private:
  std::shared_ptr<DeviceFile> FileOf(DeviceHandle handle) const;

  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<DeviceObject>> devices_;  // by lower-case name
  std::map<DeviceHandle, std::shared_ptr<DeviceFile>> handles_;
  DeviceHandle nextHandle_ = 4;
};

}  // namespace platform
