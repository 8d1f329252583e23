#include "platform/host/hardware.h"

#include <mutex>
#include <utility>

namespace platform {

namespace {
std::mutex& DefaultMutex() {
  static std::mutex mutex;
  return mutex;
}
// Reached through a function so that a hardware library's registration, which runs while the
// process loads, never finds it unconstructed.
HardwareInstaller& DefaultInstaller() {
  static HardwareInstaller installer;
  return installer;
}
}  // namespace

void RegisterDefaultHardware(HardwareInstaller installer) {
  std::lock_guard lock(DefaultMutex());
  DefaultInstaller() = std::move(installer);
}

HardwareInstaller DefaultHardware() {
  std::lock_guard lock(DefaultMutex());
  return DefaultInstaller();
}

HardwareInstaller NoHardware() {
  return [](Host&) {};
}

}  // namespace platform
