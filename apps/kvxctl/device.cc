#include "device.h"

#include <cstdio>
#include <iostream>

#include "platform/kernel/kernel.h"
#include "platform/kernel/pnp_manager.h"
#include "platform/registry/registry.h"
#include "platform/system/errors.h"
#include "platform/ui/ui.h"
#include "platform/usb/usb_bus.h"

namespace kvxctl {

Session::Session() {
  platform::Host::Options options;
  options.root = platform::Host::DefaultRoot();
  if (const char* root = std::getenv("SCANSUITE_ROOT")) options.root = root;
  host_ = std::make_unique<platform::Host>(std::move(options));
  platform::Host::Install(host_.get());
  // Bringing the bus up plugs the scanners in; the PnP manager starts the installed driver.
  platform::UsbBus::Of(platform::Kernel::Of(*host_));
}

Session::~Session() {
  host_.reset();
  platform::Host::Install(nullptr);
}

std::string Session::PublishedPath(int port) {
  platform::RegKey key = 0;
  if (host_->registry().OpenKey(platform::kHkeyLocalMachine, platform::DriverKeyPath(port), &key) != 0) return {};
  std::string value;
  host_->registry().GetString(key, "CreateFileName", &value);
  host_->registry().CloseKey(key);
  return value;
}

platform::DeviceHandle Session::Open(const std::string& file) {
  std::string path = PublishedPath();
  if (path.empty()) {
    std::cerr << "kvxctl: no KvxScan device (is the driver installed? kvxctl install)\n";
    return platform::kInvalidDeviceHandle;
  }
  platform::DeviceHandle h = paths().Open(path + file);
  if (h == platform::kInvalidDeviceHandle) {
    std::cerr << "kvxctl: cannot open " << path + file << ": " << ErrorText(platform::GetLastError()) << "\n";
  }
  return h;
}

bool Session::Control(platform::DeviceHandle h, uint32_t code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out,
                      uint32_t* returned) {
  if (paths().Control(h, code, in, out, returned)) return true;
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08X", code);
  std::cerr << "kvxctl: request " << hex << " failed: " << ErrorText(platform::GetLastError()) << "\n";
  return false;
}

std::string Hex(const uint8_t* data, size_t n) {
  std::string out;
  char b[4];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, i ? " %02x" : "%02x", data[i]);
    out += b;
  }
  return out;
}

std::string ErrorText(uint32_t error) {
  switch (error) {
    case 2: return "not found (2)";
    case 6: return "device stopped (6)";
    case 8: return "no memory, or device stopped (8)";
    case 31: return "the device failed the request (31)";
    case 87: return "invalid parameter (87)";
    case 122: return "buffer too small (122)";
    case 995: return "cancelled (995)";
    case 998: return "bad data address (998)";
    case 1117: return "device descriptors do not fit (1117)";
    case 1167: return "device not connected (1167)";
    default: return "error " + std::to_string(error);
  }
}

}  // namespace kvxctl
