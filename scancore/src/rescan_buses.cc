#include "rescan_buses.h"

#include <array>
#include <string>

#include "library_state.h"
#include "platform/devices/bus_rescan.h"
#include "platform/devices/config_manager.h"
#include "platform/devices/device_paths.h"

namespace scancore {

namespace {

constexpr int kScsiPorts = 10;
// What the rescan driver's reply block holds before the call.
constexpr std::array<uint8_t, 6> kGulpPreset = {0, 0, 0, 0, 0, 0};

void ScsiPortRescan(platform::DevicePaths& paths) {
  for (int n = 0; n < kScsiPorts; ++n) {
    const std::string path = "\\\\.\\SCSI" + std::to_string(n) + ":";
    platform::DeviceOpen how{platform::kGenericRead, platform::kFileShareRead,
                             platform::kOpenExisting, 0};
    const platform::DeviceHandle handle = paths.Open(path, how);
    if (handle == platform::kInvalidDeviceHandle) continue;
    uint32_t returned = 0;
    paths.Control(handle, platform::kIoctlScsiRescanBus, {}, {}, &returned);
    paths.Close(handle);
  }
}

bool GulpRescan(platform::DevicePaths& paths) {
  platform::DeviceOpen how{0, 0, platform::kCreateNew, platform::kFileFlagDeleteOnClose};
  const platform::DeviceHandle handle =
      paths.Open("\\\\.\\" + std::string(platform::kGulpDeviceName), how);
  if (handle == platform::kInvalidDeviceHandle) return false;
  bool ok = false;
  for (int attempt = 0; attempt < 2 && !ok; ++attempt) {
    std::array<uint8_t, 6> reply = kGulpPreset;
    uint32_t returned = 0;
    ok = paths.Control(handle, platform::kGulpRescanCode, platform::kGulpSignature, reply,
                       &returned);
  }
  paths.Close(handle);
  return ok;
}

int PlugAndPlayRescan() {
  platform::DevInst root = 0;
  if (platform::CM_Locate_DevNodeA(&root, nullptr, platform::CM_LOCATE_DEVNODE_NORMAL) !=
      platform::CR_SUCCESS) {
    return 0xFF;
  }
  platform::CM_Reenumerate_DevNode(root, platform::CM_REENUMERATE_SYNCHRONOUS);
  return 1;
}

}  // namespace

uint8_t OsCodeFor(const platform::VersionRecord& v) {
  if (v.platformId == platform::kPlatformWin32Windows) {
    if (v.minor == 0) return 0x95;
    if (v.minor == 10) return 0x98;
    return 0xFF;
  }
  if (v.platformId == platform::kPlatformWin32Nt) {
    if (v.major == 4 && v.minor == 0) return 0x40;
    if (v.major == 3 && v.minor == 51) return 0x35;
    return 0x50;
  }
  return 0xFF;
}

int RescanBuses(const platform::SystemInfo& system, platform::DevicePaths& devices,
                std::optional<uint8_t>& osCode) {
  if (!osCode) osCode = OsCodeFor(system.GetVersionEx());
  platform::DevicePaths* paths = &devices;
  switch (*osCode) {
    case 0x40:
      if (paths) ScsiPortRescan(*paths);
      return 1;
    case 0x50:
    case 0x98:
      return PlugAndPlayRescan();
    case 0x95:
      if (paths && GulpRescan(*paths)) return 1;
      return PlugAndPlayRescan();
    default:
      if (paths) {
        ScsiPortRescan(*paths);
        GulpRescan(*paths);
      }
      PlugAndPlayRescan();
      return 0;
  }
}

}  // namespace scancore
