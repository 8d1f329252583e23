// Puts the minidriver module built beside this program into the host's system folder, where the
// still-image service loads it from by its registration.
#pragma once

#include <string>

namespace platform {
class Host;
}

namespace stidiag {

// The module's Windows path ("C:\WINDOWS\SYSTEM\USBMINID.DLL"), or empty with `error` set.
std::string InstallModule(platform::Host& host, std::string* error);

}  // namespace stidiag
