// The device path of the USB scanner ("\\.\qusbdrv000"): what the USB kernel driver would publish
// for it. One write is one command packet, one read one reply or line. The port is the bus
// between the path and the scanner, and it applies the injected faults:
//  - an open fails when the host's fault switch "usb.open" fires for the port name (the switch's
//    error, else kErrorFileNotFound);
//  - the device faults Faults::Device("usb:" + port name, 0) shape each read by the command byte of
//    the packet whose reply or lines it reads: kShortData cuts it to `length` bytes, kNulData
//    blanks it, kNeverComplete leaves it pending until it is cancelled (a synchronous read fails
//    with kErrorSemTimeout instead).
// Overlapped requests complete at once, or, with `completeLater`, from the port's own worker
// thread, in the order they were started, as a USB driver completes its bulk transfers.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <string>

#include "platform/devices/device_paths.h"
#include "platform/faults/device_faults.h"
#include "usb_asic_scanner.h"

namespace platform {
class Faults;
}

namespace emulator {

inline constexpr std::string_view kUsbOpenFault = "usb.open";
inline constexpr uint32_t kErrorSemTimeout = 121;  // a bulk read that nothing answers

class UsbAsicPort : public platform::DeviceObject, public std::enable_shared_from_this<UsbAsicPort> {
 public:
  UsbAsicPort(std::string name, std::shared_ptr<UsbAsicScanner> scanner, platform::Faults& faults,
              bool completeLater = false);
  ~UsbAsicPort() override;

  std::unique_ptr<platform::DeviceFile> Open(const platform::DeviceOpen& how, uint32_t* error) override;

  const std::string& name() const { return name_; }
  UsbAsicScanner& scanner() { return *scanner_; }
  // The bus faults of this port.
  platform::DeviceFaults& BusFaults();

  platform::IoStatus Write(std::span<const uint8_t> data);
  // Empty for a read that never completes.
  std::optional<platform::IoStatus> Read(std::span<uint8_t> buffer);
  bool completeLater() const { return completeLater_; }
  // Runs `job` on the port's worker thread after the jobs before it.
  void Later(std::function<void()> job);

 private:
  std::string name_;
  std::shared_ptr<UsbAsicScanner> scanner_;
  platform::Faults& faults_;
  std::mutex mutex_;
  uint8_t lastCommand_ = 0;  // the packet whose reply the next read carries
  const bool completeLater_;
  // The worker's queue is shared with the worker thread: a job may drop the last reference to
  // the port, which then ends on the worker itself and leaves the thread to finish alone.
  struct Jobs {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<std::function<void()>> queue;
    bool stopping = false;
  };
  std::shared_ptr<Jobs> jobs_ = std::make_shared<Jobs>();
  std::thread worker_;
};

}  // namespace emulator
