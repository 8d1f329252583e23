#include "platform/devices/device_paths.h"

#include <algorithm>

#include "platform/files/winpath.h"

namespace platform {

namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\";

// Win32 sets the last error only on failure; a successful call leaves it alone.
bool Finish(const IoStatus& status, size_t capacity, uint32_t* moved) {
  if (moved) *moved = static_cast<uint32_t>(std::min<size_t>(status.information, capacity));
  if (status.error == kErrorSuccess) return true;
  SetLastError(status.error);
  return false;
}

bool Fail(uint32_t error) {
  SetLastError(error);
  return false;
}

// Forwards one handle's requests to a device that keeps no per-handle state.
class ForwardingFile final : public DeviceFile {
 public:
  explicit ForwardingFile(std::shared_ptr<DeviceFile> device) : device_(std::move(device)) {}
  IoStatus Read(std::span<uint8_t> buffer) override { return device_->Read(buffer); }
  IoStatus Write(std::span<const uint8_t> data) override { return device_->Write(data); }
  IoStatus Control(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out) override {
    return device_->Control(code, in, out);
  }
  void StartRead(std::span<uint8_t> buffer, std::shared_ptr<PendingRequest> request) override {
    device_->StartRead(buffer, std::move(request));
  }
  void StartWrite(std::span<const uint8_t> data, std::shared_ptr<PendingRequest> request) override {
    device_->StartWrite(data, std::move(request));
  }
  void StartControl(uint32_t code, std::span<const uint8_t> in, std::span<uint8_t> out,
                    std::shared_ptr<PendingRequest> request) override {
    device_->StartControl(code, in, out, std::move(request));
  }

 private:
  std::shared_ptr<DeviceFile> device_;
};

}  // namespace

IoStatus DeviceFile::Read(std::span<uint8_t>) { return {kErrorInvalidFunction, 0}; }
IoStatus DeviceFile::Write(std::span<const uint8_t>) { return {kErrorInvalidFunction, 0}; }
IoStatus DeviceFile::Control(uint32_t, std::span<const uint8_t>, std::span<uint8_t>) {
  return {kErrorInvalidFunction, 0};
}

std::unique_ptr<DeviceFile> StatelessDevice::Open(const DeviceOpen& how, uint32_t* error) {
  *error = Admit(how);
  if (*error != kErrorSuccess) return nullptr;
  std::shared_ptr<StatelessDevice> self = weak_from_this().lock();
  if (!self) {  // not owned by a shared_ptr: a handle could outlive it
    *error = kErrorInvalidHandle;
    return nullptr;
  }
  return std::make_unique<ForwardingFile>(std::move(self));
}

bool DevicePaths::Register(std::string_view name, std::shared_ptr<DeviceObject> device) {
  if (!device) return Fail(kErrorInvalidParameter);
  if (name.empty() || name.find('\\') != std::string_view::npos) return Fail(kErrorInvalidName);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!devices_.emplace(ToLowerAscii(name), std::move(device)).second) {
    return Fail(kErrorAlreadyExists);
  }
  return true;
}

bool DevicePaths::Unregister(std::string_view name) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (devices_.erase(ToLowerAscii(name)) == 0) return Fail(kErrorFileNotFound);
  return true;
}

bool DevicePaths::Exists(std::string_view name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return devices_.count(ToLowerAscii(name)) != 0;
}

DeviceHandle DevicePaths::Open(std::string_view path, const DeviceOpen& how) {
  std::shared_ptr<DeviceObject> device;
  std::string fileName;
  if (path.size() > kDevicePrefix.size() && path.substr(0, kDevicePrefix.size()) == kDevicePrefix) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string_view name = path.substr(kDevicePrefix.size());
    auto it = devices_.find(ToLowerAscii(name));
    // "\\.\NAME\FILE": a file on the device, whose name the device's open receives.
    if (size_t slash = name.find('\\'); it == devices_.end() && slash != std::string_view::npos) {
      it = devices_.find(ToLowerAscii(name.substr(0, slash)));
      fileName = std::string(name.substr(slash));
    }
    if (it != devices_.end()) device = it->second;
  }
  if (!device) {
    SetLastError(kErrorFileNotFound);
    return kInvalidDeviceHandle;
  }
  // The device's open runs outside the lock: it may take its own time or register devices.
  uint32_t error = kErrorSuccess;
  DeviceOpen withFile = how;
  if (!fileName.empty()) withFile.fileName = fileName;
  std::unique_ptr<DeviceFile> file = device->Open(withFile, &error);
  if (!file) {
    SetLastError(error == kErrorSuccess ? kErrorAccessDenied : error);
    return kInvalidDeviceHandle;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  DeviceHandle handle = nextHandle_;
  nextHandle_ += 4;
  handles_.emplace(handle, OpenFile{std::move(file), {}});
  return handle;
}

std::shared_ptr<DeviceFile> DevicePaths::FileOf(DeviceHandle handle) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = handles_.find(handle);
  return it == handles_.end() ? nullptr : it->second.file;
}

bool DevicePaths::Control(DeviceHandle handle, uint32_t code, std::span<const uint8_t> in,
                          std::span<uint8_t> out, uint32_t* returned) {
  if (returned) *returned = 0;
  std::shared_ptr<DeviceFile> file = FileOf(handle);
  if (!file) return Fail(kErrorInvalidHandle);
  return Finish(file->Control(code, in, out), out.size(), returned);
}

bool DevicePaths::Read(DeviceHandle handle, std::span<uint8_t> buffer, uint32_t* read) {
  if (read) *read = 0;
  std::shared_ptr<DeviceFile> file = FileOf(handle);
  if (!file) return Fail(kErrorInvalidHandle);
  return Finish(file->Read(buffer), buffer.size(), read);
}

bool DevicePaths::Write(DeviceHandle handle, std::span<const uint8_t> data, uint32_t* written) {
  if (written) *written = 0;
  std::shared_ptr<DeviceFile> file = FileOf(handle);
  if (!file) return Fail(kErrorInvalidHandle);
  return Finish(file->Write(data), data.size(), written);
}

bool DevicePaths::Close(DeviceHandle handle) {
  OpenFile closing;  // destroyed after the lock is released
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = handles_.find(handle);
    if (it == handles_.end()) return Fail(kErrorInvalidHandle);
    closing = std::move(it->second);
    handles_.erase(it);
  }
  // As the cleanup request of a closing handle does: what is still pending is cancelled. Each
  // request keeps the file object until it completes.
  for (const std::weak_ptr<PendingRequest>& weak : closing.pending) {
    if (std::shared_ptr<PendingRequest> request = weak.lock()) request->Cancel();
  }
  return true;
}

size_t DevicePaths::OpenHandles() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return handles_.size();
}

}  // namespace platform
