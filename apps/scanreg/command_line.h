// The arguments of one scanreg command: the key and the /v, /ve, /t and /d options.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/registry/registry.h"

namespace scanreg {

struct CommandLine {
  std::string command;                   // "query", "add", ... in lower case
  std::vector<std::string> operands;     // arguments that are not options, in order
  std::optional<std::string> valueName;  // /v NAME, or "" for /ve
  std::optional<std::string> type;       // /t TYPE
  std::optional<std::string> data;       // /d DATA
};

// Reads argv (without the program name). Returns an error message for a person, or "".
std::string ParseCommandLine(const std::vector<std::string>& args, CommandLine* line);

// "HKLM\Software\X" to a root and the path below it; an error message, or "".
std::string ParseKeyArgument(const std::string& text, platform::RegKey* root, std::string* path);

}  // namespace scanreg
