// What the adapter setup uses of the machine, handed down from the program's edge.
#pragma once

#include <string>

#include "platform/modules/resources.h"

namespace platform {
class Clock;
class Faults;
class FileSystem;
class ProfileFiles;
class Registry;
class SystemInfo;
class UserInterface;
}  // namespace platform

namespace hbasetup {

class SetupShell;

struct SetupContext {
  platform::FileSystem& files;
  platform::Registry& registry;
  platform::SystemInfo& system;
  platform::UserInterface& ui;
  platform::Clock& clock;
  platform::Faults* faults;  // may be null: nothing is made to fail
  SetupShell& shell;
  const platform::ResourceScript& resources;
  std::string setupDirectory;  // the current directory at start: "A:\" or "C:\DISK1"
};

// Exit codes of hbasetup.
inline constexpr int kExitInstalled = 0;     // the run went through (or nothing was installed)
inline constexpr int kExitLeft = 1;          // the person left the welcome dialog with Exit
inline constexpr int kExitFileSkipped = 3;   // the run went through, but a file was not copied
inline constexpr int kExitNoResources = 4;

}  // namespace hbasetup
