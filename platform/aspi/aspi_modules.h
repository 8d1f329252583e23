// The three ASPI modules as built-in providers of the host's Modules.
#pragma once

#include "platform/aspi/aspi_service.h"
#include "platform/modules/modules.h"

namespace platform::aspi_internal {

// Registers the modules `present` names, each with its own pair of exports.
void RegisterModules(Modules& modules, const AspiModules& present);

}  // namespace platform::aspi_internal
