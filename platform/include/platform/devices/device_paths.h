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
//  - Read, Write and Control complete before the call returns. Their overlapped forms may
//    return while the request is still pending (kErrorIoPending); the device completes it later,
//    from any thread, and the caller learns the outcome from GetOverlappedResult or its event.
//  - Closing a handle cancels the requests still pending on it; the file object lives until the
//    last of them has completed.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/errors.h"

namespace platform {

inline constexpr uint32_t kErrorInvalidFunction = 1;  // the device does not take this request
inline constexpr uint32_t kErrorOperationAborted = 995;
inline constexpr uint32_t kErrorIoIncomplete = 996;
inline constexpr uint32_t kErrorIoPending = 997;

class Event;
class DeviceFile;

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

// One overlapped request as a device sees it. The device completes it exactly once, from any
// thread, before or after its Start call returns; a later completion is ignored and returns
// false. A caller's cancel runs the routine the device set, outside every lock and at most
// once; the device then completes the request (normally with kErrorOperationAborted).
class PendingRequest {
 public:
  // `capacity` bounds the bytes a completion may report (the caller's buffer).
  PendingRequest(Event* event, std::shared_ptr<DeviceFile> file, size_t capacity);
  PendingRequest(const PendingRequest&) = delete;
  PendingRequest& operator=(const PendingRequest&) = delete;

  // Completing may release the last reference to the handle's file object: a device must not
  // complete from a thread that the file object's destructor joins.
  bool Complete(IoStatus status);
  // When the request is already cancelled the routine runs at once and the call returns false.
  // Null clears it; completing clears it too.
  bool SetCancelRoutine(std::function<void()> routine);
  bool CancelRequested() const;
  bool Completed() const;

  // The caller's side.
  void Cancel();
  IoStatus Wait();
  std::optional<IoStatus> Result() const;  // empty while pending

 private:
  mutable std::mutex mutex_;
  std::condition_variable done_;
  Event* event_;
  std::shared_ptr<DeviceFile> file_;  // the handle's file object stays until completion
  const size_t capacity_;
  std::function<void()> cancelRoutine_;
  bool cancelRequested_ = false;
  std::optional<IoStatus> status_;
};

// One open handle's view of a device. Every request it does not take fails with
// kErrorInvalidFunction, as a driver without that dispatch routine does.
class DeviceFile {
 public:
  virtual ~DeviceFile() = default;
  virtual IoStatus Read(std::span<uint8_t> buffer);
  virtual IoStatus Write(std::span<const uint8_t> data);
  virtual IoStatus Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out);

  // The overlapped forms. A device that can leave requests pending overrides these; the
  // defaults run the synchronous form and complete at once.
  virtual void StartRead(std::span<uint8_t> buffer, std::shared_ptr<PendingRequest> request);
  virtual void StartWrite(std::span<const uint8_t> data, std::shared_ptr<PendingRequest> request);
  virtual void StartControl(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out,
                            std::shared_ptr<PendingRequest> request);
};

// The caller's OVERLAPPED. The request's state is shared, so a completion never writes into a
// freed Overlapped; the buffers, as on Windows, must stay valid until the request completes,
// and so must the event.
struct Overlapped {
  Event* event = nullptr;  // reset when the request starts, set when it completes (may be null)
  std::shared_ptr<PendingRequest> request;  // set by the call
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

  // The overlapped forms: true when the request completed at once (the bytes moved in *moved);
  // false with kErrorIoPending while it runs, or with the request's own error.
  bool ReadOverlapped(DeviceHandle handle, std::span<uint8_t> buffer, Overlapped& overlapped,
                      uint32_t* moved);
  bool WriteOverlapped(DeviceHandle handle, std::span<const uint8_t> data, Overlapped& overlapped,
                       uint32_t* moved);
  bool ControlOverlapped(DeviceHandle handle, uint32_t code, std::span<const uint8_t> in,
                         std::span<uint8_t> out, Overlapped& overlapped, uint32_t* moved);
  // The outcome of an overlapped request: kErrorIoIncomplete while it runs and `wait` is false;
  // with `wait` it blocks until the request completes. kErrorInvalidParameter for an Overlapped
  // that never started a request.
  bool GetOverlappedResult(DeviceHandle handle, Overlapped& overlapped, uint32_t* moved,
                           bool wait);
  // Cancels every request pending on the handle, from any thread (CancelIoEx on the handle).
  bool CancelIo(DeviceHandle handle);
  size_t PendingRequests(DeviceHandle handle) const;

 private:
  struct OpenFile {
    std::shared_ptr<DeviceFile> file;
    std::vector<std::weak_ptr<PendingRequest>> pending;
  };
  using Starter = std::function<void(DeviceFile&, std::shared_ptr<PendingRequest>)>;

  std::shared_ptr<DeviceFile> FileOf(DeviceHandle handle) const;
  bool StartOverlapped(DeviceHandle handle, Overlapped& overlapped, size_t capacity,
                       uint32_t* moved, const Starter& start);

  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<DeviceObject>> devices_;  // by lower-case name
  std::map<DeviceHandle, OpenFile> handles_;
  DeviceHandle nextHandle_ = 4;
};

}  // namespace platform
