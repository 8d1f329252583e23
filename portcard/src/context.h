// What the port-card programs use of the machine, handed down from the program's edge.
#pragma once

#include <string>

#include "platform/modules/resources.h"

namespace platform {
class Faults;
class FileSystem;
class ProfileFiles;
class Registry;
class SystemInfo;
class Shell;
class UserInterface;
}  // namespace platform

namespace portcard {

struct Context {
  platform::FileSystem& files;
  platform::ProfileFiles& profiles;
  platform::Registry& registry;
  platform::SystemInfo& system;
  platform::UserInterface& ui;
  platform::Faults* faults;         // may be null: nothing is made to fail
  std::string programFolder;        // the running program's folder, "A:\"
  const platform::ResourceScript& resources;
  // Where an accepted restart is recorded, under the program's name; null: only requested.
  platform::Shell* shell = nullptr;
  std::string programName;

  // A string resource; empty when the script lacks it.
  std::string String(uint32_t id) const {
    const std::string* s = resources.String(id);
    return s ? *s : std::string();
  }
};

// Exit codes of both programs.
inline constexpr int kExitDone = 0;       // settings written or removed (or nothing to do)
inline constexpr int kExitCancelled = 1;  // the person chose not to go on
inline constexpr int kExitNoLocation = 2; // Windows NT without a driver parameters key
inline constexpr int kExitNoResources = 3;

}  // namespace portcard
