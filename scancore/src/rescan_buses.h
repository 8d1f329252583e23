// Asking Windows to re-enumerate its buses, so that a scanner switched on late is found: the
// SCSI port rescan on Windows NT 4.0, the configuration manager on Windows 98 and the NT family
// after 4.0, the rescan driver (then the configuration manager) on Windows 95.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/devices/device_paths.h"
#include "platform/system/system.h"

namespace scancore {

// 95h, 98h, 40h (NT 4.0), 35h (NT 3.51), 50h (later NT), FFh (anything else).
uint8_t OsCodeFor(const platform::VersionRecord& v);

// 1 when a rescan was asked for, FFh when the configuration manager could not be reached, 0 on
// an unknown system (where every method is tried).
// `osCode` is worked out on the first call and kept (the library keeps it once per process).
int RescanBuses(const platform::SystemInfo& system, platform::DevicePaths& devices,
                std::optional<uint8_t>& osCode);

}  // namespace scancore
