// Linking this library makes the emulated machine the hardware of every host that is not handed
// other hardware: the registration runs as the library is loaded.
#include "machine.h"
#include "platform/host/hardware.h"

namespace emulator {
namespace {
const bool registered = [] {
  platform::RegisterDefaultHardware(&InstallMachine);
  return true;
}();
}  // namespace
}  // namespace emulator
