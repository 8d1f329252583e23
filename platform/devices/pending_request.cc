#include <algorithm>

#include "platform/clock/event.h"
#include "platform/devices/device_paths.h"

namespace platform {

PendingRequest::PendingRequest(Event* event, std::shared_ptr<DeviceFile> file, size_t capacity)
    : event_(event), file_(std::move(file)), capacity_(capacity) {}

bool PendingRequest::Complete(IoStatus status) {
  std::shared_ptr<DeviceFile> file;  // released outside the lock
  std::function<void()> routine;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (status_) return false;
    // A device may not report more than the caller's buffer holds.
    status.information = static_cast<uint32_t>(std::min<size_t>(status.information, capacity_));
    status_ = status;
    routine = std::move(cancelRoutine_);
    file = std::move(file_);
    // Set before the status can be seen: a caller that has seen it may destroy the event.
    if (event_) event_->Set();
  }
  done_.notify_all();
  return true;
}

bool PendingRequest::SetCancelRoutine(std::function<void()> routine) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (status_) return true;  // nothing left to cancel
    if (!cancelRequested_) {
      cancelRoutine_ = std::move(routine);
      return true;
    }
  }
  if (routine) routine();
  return false;
}

bool PendingRequest::CancelRequested() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cancelRequested_;
}

bool PendingRequest::Completed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_.has_value();
}

void PendingRequest::Cancel() {
  std::function<void()> routine;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (status_ || cancelRequested_) return;
    cancelRequested_ = true;
    routine = std::move(cancelRoutine_);
  }
  if (routine) routine();
}

IoStatus PendingRequest::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return status_.has_value(); });
  return *status_;
}

std::optional<IoStatus> PendingRequest::Result() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

void DeviceFile::StartRead(std::span<uint8_t> buffer, std::shared_ptr<PendingRequest> request) {
  request->Complete(Read(buffer));
}

void DeviceFile::StartWrite(std::span<const uint8_t> data,
                            std::shared_ptr<PendingRequest> request) {
  request->Complete(Write(data));
}

void DeviceFile::StartControl(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out,
                              std::shared_ptr<PendingRequest> request) {
  request->Complete(Control(code, in, out));
}

}  // namespace platform
