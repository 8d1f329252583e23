// The hardware on a host's desk is an input of the host, not a part of it. Whoever builds a host
// (a program's main, a test, a benchmark, a fuzz target) may hand it an installer; otherwise the
// host takes the process's default hardware, which a hardware library registers when it is
// linked in, the way a storage library picks its default environment at link time. The
// emulated machine is one such library; a backend for real devices would be another, plugging
// its devices into the same contracts (SCSI adapters, device paths).
#pragma once

#include <functional>

namespace platform {

class Host;

// Plugs devices into a host's services. Called once, at the end of the host's construction,
// when every built-in service exists.
using HardwareInstaller = std::function<void(Host& host)>;

// Makes `installer` the default hardware of the process (the last registration wins). Called
// by a hardware library as it is loaded.
void RegisterDefaultHardware(HardwareInstaller installer);
// The registered default; empty when no hardware library registered one.
HardwareInstaller DefaultHardware();
// An installer that plugs nothing in: a machine with no devices.
HardwareInstaller NoHardware();

}  // namespace platform
