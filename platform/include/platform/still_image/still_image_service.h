// The still-image service: creates a device's user-mode minidriver and runs its methods.
//
// CreateDevice finds the minidriver of a class by its registration (the class's InprocServer32
// path under HKEY_CLASSES_ROOT), loads that module with the host's module loader, asks its
// DllGetClassObject for the class factory, creates the component for IStiUSD and calls
// Initialize with a device control of the service's own, which names the device's port and the
// mode it is opened in. The device object holds the component and the module; destroying it
// releases the component and unloads the module once the module says it can unload.
//
// Threads: a device's methods may be called from several threads at once, as the service does;
// what that means for the device is the minidriver's business.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/com/com.h"
#include "platform/host/host.h"
#include "platform/modules/modules.h"
#include "platform/still_image/sti.h"

namespace platform::sti {

class StillImageDevice {
 public:
  ~StillImageDevice();
  StillImageDevice(const StillImageDevice&) = delete;
  StillImageDevice& operator=(const StillImageDevice&) = delete;

  IStiUSD& usd() { return *usd_; }
  ModuleHandle module() const { return module_; }
  // What the module's DllCanUnloadNow says now.
  com::HRESULT CanUnloadNow() const;

 private:
  friend class StillImageService;
  StillImageDevice(Modules& modules, ModuleHandle module, IStiUSD* usd, IStiDeviceControl* control);
  Modules& modules_;
  ModuleHandle module_;
  IStiUSD* usd_;
  IStiDeviceControl* control_;
};

class StillImageService : public HostService {
 public:
  explicit StillImageService(Host& host) : host_(host) {}
  // The service of `host`, made on first use.
  static StillImageService& Attach(Host& host);

  // Null with `*result` set when the class is not registered (REGDB_E_CLASSNOTREG), the module
  // does not load (its Win32 error as an HRESULT), or the factory, the creation or Initialize
  // fails (their HRESULT); otherwise `*result` is Initialize's result.
  std::unique_ptr<StillImageDevice> CreateDevice(const com::CLSID& clsid, std::string_view portName,
                                                 uint32_t openMode, com::HRESULT* result);

 private:
  Host& host_;
};

}  // namespace platform::sti
