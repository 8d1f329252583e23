// The overlapped forms of the device-path requests: a request may stay pending after the call
// returns; the handle remembers it so that CancelIo and Close can cancel it.
#include <algorithm>

#include "platform/clock/event.h"
#include "platform/devices/device_paths.h"

namespace platform {

namespace {

bool Outcome(const IoStatus& status, uint32_t* moved) {
  if (moved) *moved = status.information;
  if (status.error == kErrorSuccess) return true;
  SetLastError(status.error);
  return false;
}

bool Fail(uint32_t error) {
  SetLastError(error);
  return false;
}

void ForgetFinished(std::vector<std::weak_ptr<PendingRequest>>& pending) {
  std::erase_if(pending, [](const std::weak_ptr<PendingRequest>& weak) {
    std::shared_ptr<PendingRequest> request = weak.lock();
    return !request || request->Completed();
  });
}

}  // namespace

bool DevicePaths::StartOverlapped(DeviceHandle handle, Overlapped& overlapped, size_t capacity,
                                  uint32_t* moved, const Starter& start) {
  if (moved) *moved = 0;
  std::shared_ptr<PendingRequest> request;
  std::shared_ptr<DeviceFile> file;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = handles_.find(handle);
    if (it == handles_.end()) return Fail(kErrorInvalidHandle);
    file = it->second.file;
    if (overlapped.event) overlapped.event->ResetEvent();
    request = std::make_shared<PendingRequest>(overlapped.event, file, capacity);
    ForgetFinished(it->second.pending);
    it->second.pending.push_back(request);
  }
  overlapped.request = request;
  // The device runs outside the lock: it may complete from its own thread at any moment.
  start(*file, request);
  if (std::optional<IoStatus> status = request->Result()) return Outcome(*status, moved);
  return Fail(kErrorIoPending);
}

bool DevicePaths::ReadOverlapped(DeviceHandle handle, std::span<uint8_t> buffer,
                                 Overlapped& overlapped, uint32_t* moved) {
  return StartOverlapped(handle, overlapped, buffer.size(), moved,
                         [buffer](DeviceFile& file, std::shared_ptr<PendingRequest> request) {
                           file.StartRead(buffer, std::move(request));
                         });
}

bool DevicePaths::WriteOverlapped(DeviceHandle handle, std::span<const uint8_t> data,
                                  Overlapped& overlapped, uint32_t* moved) {
  return StartOverlapped(handle, overlapped, data.size(), moved,
                         [data](DeviceFile& file, std::shared_ptr<PendingRequest> request) {
                           file.StartWrite(data, std::move(request));
                         });
}

bool DevicePaths::ControlOverlapped(DeviceHandle handle, uint32_t code,
                                    std::span<const uint8_t> in, std::span<uint8_t> out,
                                    Overlapped& overlapped, uint32_t* moved) {
  return StartOverlapped(handle, overlapped, out.size(), moved,
                         [code, in, out](DeviceFile& file, std::shared_ptr<PendingRequest> request) {
                           file.StartControl(code, in, out, std::move(request));
                         });
}

bool DevicePaths::GetOverlappedResult(DeviceHandle, Overlapped& overlapped, uint32_t* moved,
                                      bool wait) {
  if (moved) *moved = 0;
  if (!overlapped.request) return Fail(kErrorInvalidParameter);
  if (wait) return Outcome(overlapped.request->Wait(), moved);
  std::optional<IoStatus> status = overlapped.request->Result();
  if (!status) return Fail(kErrorIoIncomplete);
  return Outcome(*status, moved);
}

bool DevicePaths::CancelIo(DeviceHandle handle) {
  std::vector<std::weak_ptr<PendingRequest>> pending;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = handles_.find(handle);
    if (it == handles_.end()) return Fail(kErrorInvalidHandle);
    ForgetFinished(it->second.pending);
    pending = it->second.pending;
  }
  // Cancel routines run outside the lock: they may complete the request, which may close files.
  for (const std::weak_ptr<PendingRequest>& weak : pending) {
    if (std::shared_ptr<PendingRequest> request = weak.lock()) request->Cancel();
  }
  return true;
}

size_t DevicePaths::PendingRequests(DeviceHandle handle) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = handles_.find(handle);
  if (it == handles_.end()) return 0;
  return static_cast<size_t>(
      std::count_if(it->second.pending.begin(), it->second.pending.end(), [](const auto& weak) {
        std::shared_ptr<PendingRequest> request = weak.lock();
        return request && !request->Completed();
      }));
}

}  // namespace platform
