// The machine's USB scanners for the kernel driver, from the [kvxusb] section of machine.ini:
//   scanners=N   how many are plugged in (1 when the section or the key is missing; 0 for none)
//   width=W      the scan width in pixels the scanners power up with (1024)
//   lines=L      the scan lines (1024)
// The bus plugs them in when the host's kernel first uses it (platform/usb/usb_bus.h).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "kvx_scanner.h"
#include "platform/host/host.h"
#include "platform/usb/usb_bus.h"

namespace emulator {

class KvxHardware final : public platform::UsbHardware {
 public:
  std::vector<std::shared_ptr<platform::UsbDevice>> Devices() override;
  const std::vector<std::shared_ptr<KvxScanner>>& scanners() const { return scanners_; }

  // The hardware of `host`, or null when the machine has none.
  static KvxHardware* Of(platform::Host& host);
  static void Attach(platform::Host& host, const std::string& machineIni);

 private:
  std::vector<std::shared_ptr<KvxScanner>> scanners_;
};

}  // namespace emulator
