// The I/O manager's side of user-mode handles: the device object a symbolic link registers in
// the host's device paths, whose handles turn reads, writes and device-control requests into
// IRPs for the top of the linked device's stack.
#pragma once

#include <memory>
#include <string>

namespace platform {

class DeviceObject;
class Kernel;

std::shared_ptr<DeviceObject> MakeKernelLink(Kernel& kernel, std::string link);

}  // namespace platform
