#include "command_line.h"

#include "platform/registry/regedit4.h"

namespace scanreg {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// Options are taken with '/' as on Windows, or with '-' as a Linux shell user would type them.
// Only the known ones count, so that a file name such as /tmp/keys.reg stays an operand.
bool IsOption(const std::string& arg) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return false;
  std::string name = Lower(arg.substr(1));
  return name == "v" || name == "ve" || name == "t" || name == "d";
}

}  // namespace

std::string ParseCommandLine(const std::vector<std::string>& args, CommandLine* line) {
  if (args.empty()) return "no command given";
  line->command = Lower(args[0]);
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!IsOption(arg)) {
      line->operands.push_back(arg);
      continue;
    }
    std::string option = Lower(arg.substr(1));
    if (option == "ve") {
      if (line->valueName) return "the value is named twice";
      line->valueName = "";
      continue;
    }
    std::optional<std::string>* target = option == "v"   ? &line->valueName
                                         : option == "t" ? &line->type
                                                         : &line->data;
    if (*target) return "option " + arg + " given twice";
    if (i + 1 == args.size()) return "option " + arg + " needs an argument";
    *target = args[++i];
  }
  return "";
}

std::string ParseKeyArgument(const std::string& text, platform::RegKey* root, std::string* path) {
  std::string_view subKey;
  if (!platform::SplitRootedPath(text, root, &subKey)) {
    return "\"" + text + "\" does not start with a root key (HKLM, HKCU or HKCR)";
  }
  *path = subKey;
  return "";
}

}  // namespace scanreg
