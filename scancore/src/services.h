// The platform services the library uses. They are taken from the host once, where the library
// meets it (CScanCore's constructor, through the library's per-process state), and handed down
// from there: each class below receives only the ones it uses.
#pragma once

#include "scancore/interface.h"

namespace platform {
class DevicePaths;
class FileSystem;
class ProfileFiles;
class UserInterface;
class WorkMemory;
}  // namespace platform

namespace scancore {

struct ScanCoreServices {
  TransportServices transport;         // modules, clock, Windows version, registry
  platform::FileSystem& files;         // markers, Model.ini and firmware images, message file
  platform::ProfileFiles& profiles;    // Model.ini
  platform::UserInterface& ui;         // the not-found message, the selection dialog
  platform::WorkMemory& memory;        // the firmware image's buffer
  platform::DevicePaths& devices;      // the bus rescan's device paths
};

}  // namespace scancore
