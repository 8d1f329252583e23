// The host kvxctl runs on, and the KvxScan device it talks to: the path published in the
// device's "CreateFileName", opened through the host's device paths.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/devices/device_paths.h"
#include "platform/host/host.h"

namespace kvxctl {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitNoDevice = 2;
inline constexpr int kExitRequestFailed = 3;
inline constexpr int kExitFile = 4;

inline constexpr const char* kService = "KvxScan";
inline constexpr const char* kHardwareId = "USB\\VID_1A2B&PID_0C01";

class Session {
 public:
  Session();
  ~Session();
  platform::Host& host() { return *host_; }
  // The published path of the device on bus port `port` (empty when none), and a handle to it.
  std::string PublishedPath(int port = 0);
  platform::DeviceHandle Open(const std::string& file = {});
  platform::DevicePaths& paths() { return host_->devices(); }
  // Sends a control request; prints the failure and returns false.
  bool Control(platform::DeviceHandle h, uint32_t code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out,
               uint32_t* returned);

 private:
  std::unique_ptr<platform::Host> host_;
};

std::string Hex(const uint8_t* data, size_t n);
std::string ErrorText(uint32_t error);

}  // namespace kvxctl
