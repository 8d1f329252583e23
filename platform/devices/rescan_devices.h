// Construction of the bus-rescan device objects (bus_rescan.h says what they answer).
#pragma once

#include <memory>
#include <string_view>

#include "bus.h"
#include "platform/devices/bus_rescan.h"
#include "platform/devices/device_paths.h"
#include "platform/system/system.h"

namespace platform::aspi_internal {

std::shared_ptr<DeviceObject> MakeScsiPortDevice(std::shared_ptr<ScsiAdapter> adapter);
// `system` must outlive the device's handles; the host's does, as services go first.
std::shared_ptr<DeviceObject> MakeGulpDevice(std::shared_ptr<BusSet> buses, const SystemInfo& system);

// Registers `device` under `name`, taking the name over from a device a former service left.
void Replace(DevicePaths& paths, std::string_view name, std::shared_ptr<DeviceObject> device);

}  // namespace platform::aspi_internal
