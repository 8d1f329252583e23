// The process-wide state of the server: the counts that decide whether it may unload, its class
// registration, and the layers every component shares (one device file, one command channel,
// one ASIC, one scan engine). The layers are made from the current host when the first component
// is made and go with the last one.
#pragma once

#include <atomic>
#include <string>

#include "ga1015.h"
#include "platform/com/com_registration.h"
#include "scanner.h"
#include "sti_usd_adaptor.h"
#include "usb_device_file.h"
#include "usbminid.h"

namespace platform {
class Host;
}

namespace usbminid {


const platform::com::ClassRegistration& Registration();

struct Layers {
  explicit Layers(platform::Host& host);
  platform::Host& host;
  UsbDeviceFile file;
  StiUsdAdaptor channel;
  GA1015 asic;
  Scanner scanner;
};

class ServerState {
 public:
  static std::atomic<long> components;  // live components
  static std::atomic<long> locks;       // LockServer(true) not yet undone

  // The shared layers, made on the current host for the first holder.
  static Layers& Acquire();
  static void Release();
  // This module's Windows path as the host's module loader knows it; empty when it was not loaded
  // through the loader.
  static std::string ModulePath();
  // The folder of that path with its final backslash; empty when unknown.
  static std::string ModuleFolder();
};

}  // namespace usbminid
