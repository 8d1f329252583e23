// The USB scanners of the still-image minidriver on a machine, read from the [usbasic] section
// of machine.ini and published as device paths:
//
//   [usbasic]
//   port=qusbdrv000        ; the device path's name; empty: no scanner
//   identity=0xA5          ; what the identity register holds
//   carriagereply=0x01     ; the byte a carriage move answers with
//   bankstuck=0            ; 1: the memory bank counter ignores the reset
//   homesensor=1           ; 0: the home sensor never reports home
//   papertop=170           ; carriage step of the page's top edge
//   picture=               ; a PNG at 300 dpi on the glass instead of the test chart
//   completion=later       ; overlapped requests complete from the port's worker, or immediate
//
// A machine.ini without the section has the scanner with these defaults.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "usb_asic_port.h"

namespace emulator {

class UsbAsics : public platform::HostService {
 public:
  // Reads the section of `machineIni` (a host path) once; later calls return the same object.
  static UsbAsics& Install(platform::Host& host, const std::string& machineIni);

  // The port of that name (without "\\.\"), or null.
  UsbAsicPort* Port(std::string_view name) const;
  UsbAsicPort* First() const { return ports_.empty() ? nullptr : ports_.front().get(); }
  const std::vector<std::string>& problems() const { return problems_; }

 private:
  UsbAsics(platform::Host& host, const std::string& machineIni);
  std::vector<std::shared_ptr<UsbAsicPort>> ports_;
  std::vector<std::string> problems_;
};

}  // namespace emulator
