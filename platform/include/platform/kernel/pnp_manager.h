// The Plug and Play manager's part for devices on the host's buses: it finds a device's driver
// by its hardware ID in the registry, loads the driver's module through the host's loader,
// calls DriverEntry once per driver and its AddDevice once per device, and sends the start,
// stop, remove and set-power requests down the device's stack.
//
// Registry (HKEY_LOCAL_MACHINE):
//   SYSTEM\CurrentControlSet\Enum\<hardware ID>      "Service"   = the service's name
//   SYSTEM\CurrentControlSet\Services\<service>      "ImagePath" = "System32\drivers\X.sys",
//                                                    relative to the Windows folder
//   SYSTEM\CurrentControlSet\Control\Class\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\NNNN
//       the driver key of the device on bus port NNNN (IoOpenDeviceRegistryKey)
//
// A device that leaves (a disconnect) gets the surprise-removal request at once and the remove
// request once its last handle is closed; a remove asked for while handles are open is carried
// out the same way. When a driver's last device is removed its unload routine runs and its
// module is freed; pool left behind then, other than the I/O manager's own, is a bug check.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/kernel/kernel.h"

namespace platform {

inline constexpr std::string_view kEnumKey = "SYSTEM\\CurrentControlSet\\Enum";
inline constexpr std::string_view kServicesKey = "SYSTEM\\CurrentControlSet\\Services";
inline constexpr std::string_view kImageClassKey =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}";

// The driver key of the device on bus port `port` ("...\{6BDD...}\0000").
std::string DriverKeyPath(int port);

class PnpManager : public KernelPart {
 public:
  // Installs a driver for the devices of `hardwareId`: copies `moduleFile` (a host path) to
  // "<Windows>\System32\drivers\<service>.sys", writes the service's key and the hardware ID's
  // service, and builds the stacks of such devices already present. False with `*error`.
  static bool InstallDriver(Host& host, std::string_view service, std::string_view hardwareId,
                            const std::string& moduleFile, std::string* error);
  // Removes the devices' stacks, the keys and the module file.
  static bool UninstallDriver(Host& host, std::string_view service, std::string_view hardwareId,
                              std::string* error);
  // Writes only the registry part of an installation.
  static bool InstallService(Host& host, std::string_view service, std::string_view hardwareId, std::string* error);
  // A driver linked into the program (benchmarks, fuzz targets): the service loads from `entry`
  // instead of its module file.
  void AddLinkedDriver(std::string_view service, DRIVER_INITIALIZE* entry);
  // The module's place, relative to the Windows folder.
  static std::string ImagePath(std::string_view service);

  explicit PnpManager(Kernel& kernel) : kernel_(kernel) {}
  static PnpManager& Of(Kernel& kernel);

  // A bus reports a new device; its stack is built and started when a driver is installed.
  void DeviceArrived(DEVICE_OBJECT* physicalDevice, const std::string& hardwareId);
  // A bus reports that a device is gone.
  void DeviceLeft(DEVICE_OBJECT* physicalDevice);
  // Looks again for the drivers of devices that have none (after an installation).
  void Enumerate();

  // Requests down a device's stack; STATUS_NO_SUCH_DEVICE when it has no driver.
  NTSTATUS Start(DEVICE_OBJECT* physicalDevice);
  NTSTATUS Stop(DEVICE_OBJECT* physicalDevice);
  NTSTATUS Remove(DEVICE_OBJECT* physicalDevice);
  NTSTATUS SetPower(DEVICE_OBJECT* physicalDevice, ULONG deviceState);

  // The top of the device's stack (the driver's device object), or null.
  DEVICE_OBJECT* FunctionDevice(DEVICE_OBJECT* physicalDevice) const;
  // What the last build of the device's stack came to (STATUS_SUCCESS when started).
  NTSTATUS LastStartStatus(DEVICE_OBJECT* physicalDevice) const;
  bool DriverLoaded(std::string_view service) const;
  int DriverEntryCalls(std::string_view service) const;

  void Shutdown() override;
  bool ShutsDownFirst() const override { return true; }

 private:
  struct Driver {
    std::string service;
    uintptr_t module = 0;
    DRIVER_OBJECT object;
    std::u16string registryPath;
    UNICODE_STRING registryPathString;
    int devices = 0;
    int entryCalls = 0;
  };
  struct Node {
    std::string hardwareId;
    Driver* driver = nullptr;
    bool removePending = false;
    bool gone = false;
    NTSTATUS startStatus = STATUS_SUCCESS;
  };

  // One PnP request: holds the manager's lock, and when the outermost request of the thread lets
  // go, finishes the unloads it left (see UnloadIfIdle).
  class Request {
   public:
    explicit Request(PnpManager& pnp);
    ~Request();
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

   private:
    PnpManager& pnp_;
  };

  void Build(DEVICE_OBJECT* physicalDevice);
  Driver* LoadDriver(const std::string& service, NTSTATUS* status);
  void UnloadIfIdle(Driver* driver);
  void FinishUnloads();
  void Unload(Driver& driver);
  NTSTATUS Send(DEVICE_OBJECT* physicalDevice, UCHAR major, UCHAR minor, ULONG argument = 0);
  NTSTATUS RemoveNow(DEVICE_OBJECT* physicalDevice);
  void LastHandleClosed(DEVICE_OBJECT* functionDevice);

  Kernel& kernel_;
  mutable std::recursive_mutex mutex_;  // PnP requests one at a time, as on Windows
  std::map<DEVICE_OBJECT*, Node> nodes_;
  std::map<std::string, std::unique_ptr<Driver>> drivers_;  // by lower-case service name
  std::map<std::string, DRIVER_INITIALIZE*> linked_;        // likewise
  std::vector<std::unique_ptr<Driver>> unloading_;          // idle, to be unloaded without the lock
};

}  // namespace platform
