#include "usb_asic_port.h"

#include <algorithm>

#include "platform/faults/faults.h"

namespace emulator {

namespace {
class PortFile final : public platform::DeviceFile {
 public:
  explicit PortFile(std::shared_ptr<UsbAsicPort> port) : port_(std::move(port)) {}
  platform::IoStatus Read(std::span<uint8_t> buffer) override {
    return port_->Read(buffer).value_or(platform::IoStatus{kErrorSemTimeout, 0});
  }
  platform::IoStatus Write(std::span<const uint8_t> data) override { return port_->Write(data); }

  void StartRead(std::span<uint8_t> buffer, std::shared_ptr<platform::PendingRequest> request) override {
    auto run = [port = port_.get(), buffer, request] {
      std::optional<platform::IoStatus> status = port->Read(buffer);
      if (status) {
        request->Complete(*status);
        return;
      }
      // Pending until somebody cancels it.
      std::weak_ptr<platform::PendingRequest> weak = request;
      request->SetCancelRoutine([weak] {
        if (auto r = weak.lock()) r->Complete({platform::kErrorOperationAborted, 0});
      });
    };
    if (port_->completeLater()) port_->Later(run);
    else run();
  }
  void StartWrite(std::span<const uint8_t> data, std::shared_ptr<platform::PendingRequest> request) override {
    auto run = [port = port_.get(), data, request] { request->Complete(port->Write(data)); };
    if (port_->completeLater()) port_->Later(run);
    else run();
  }

 private:
  std::shared_ptr<UsbAsicPort> port_;
};
}  // namespace

UsbAsicPort::UsbAsicPort(std::string name, std::shared_ptr<UsbAsicScanner> scanner, platform::Faults& faults,
                         bool completeLater)
    : name_(std::move(name)), scanner_(std::move(scanner)), faults_(faults), completeLater_(completeLater) {
  if (!completeLater_) return;
  worker_ = std::thread([jobs = jobs_] {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock lock(jobs->mutex);
        jobs->ready.wait(lock, [&] { return jobs->stopping || !jobs->queue.empty(); });
        if (jobs->queue.empty()) return;
        job = std::move(jobs->queue.front());
        jobs->queue.pop_front();
      }
      job();  // and its captures go here, outside the lock
    }
  });
}

UsbAsicPort::~UsbAsicPort() {
  {
    std::lock_guard lock(jobs_->mutex);
    jobs_->stopping = true;
  }
  jobs_->ready.notify_all();
  if (!worker_.joinable()) return;
  if (worker_.get_id() == std::this_thread::get_id()) worker_.detach();
  else worker_.join();
}

void UsbAsicPort::Later(std::function<void()> job) {
  {
    std::lock_guard lock(jobs_->mutex);
    jobs_->queue.push_back(std::move(job));
  }
  jobs_->ready.notify_one();
}

std::unique_ptr<platform::DeviceFile> UsbAsicPort::Open(const platform::DeviceOpen& how, uint32_t* error) {
  if (auto fault = faults_.Check(kUsbOpenFault, name_)) {
    *error = *fault ? static_cast<uint32_t>(*fault) : platform::kErrorFileNotFound;
    return nullptr;
  }
  return std::make_unique<PortFile>(shared_from_this());
}

platform::DeviceFaults& UsbAsicPort::BusFaults() { return faults_.Device("usb:" + name_, 0); }

platform::IoStatus UsbAsicPort::Write(std::span<const uint8_t> data) {
  std::lock_guard lock(mutex_);
  if (!scanner_->Command(data)) return {platform::kErrorInvalidParameter, 0};
  lastCommand_ = data[0];
  return {platform::kErrorSuccess, static_cast<uint32_t>(data.size())};
}

std::optional<platform::IoStatus> UsbAsicPort::Read(std::span<uint8_t> buffer) {
  std::lock_guard lock(mutex_);
  std::optional<platform::DeviceFault> fault = BusFaults().Take(lastCommand_);
  if (fault && fault->kind == platform::DeviceFault::Kind::kNeverComplete) return std::nullopt;
  size_t n = scanner_->Read(buffer);
  if (n == 0) return platform::IoStatus{kErrorSemTimeout, 0};
  if (fault && fault->kind == platform::DeviceFault::Kind::kShortData) n = std::min<size_t>(n, fault->length);
  if (fault && fault->kind == platform::DeviceFault::Kind::kNulData) std::fill_n(buffer.begin(), n, uint8_t{0});
  return platform::IoStatus{platform::kErrorSuccess, static_cast<uint32_t>(n)};
}

}  // namespace emulator
