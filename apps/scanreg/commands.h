// The scanreg commands, each over a registry and two streams, returning the exit code.
#pragma once

#include <iosfwd>

#include "command_line.h"
#include "platform/registry/registry.h"

namespace scanreg {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;    // the registry refused or a file could not be used
inline constexpr int kExitUsage = 2;     // the command line is wrong
inline constexpr int kExitBadStore = 3;  // the registry store is damaged or cannot be opened

struct Io {
  std::ostream& out;
  std::ostream& err;
};

// Runs line.command; an unknown command is a usage error.
int RunCommand(platform::Registry& registry, const CommandLine& line, Io io);

}  // namespace scanreg
