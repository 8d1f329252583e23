// The program manager's DDE command language, as the shell of the time accepted it on the
// "PROGMAN" topic: one or more bracketed commands per execute string, for example
//   [CreateGroup(Orvex Scanner)][AddItem(control.exe x.cpl,Setup,C:\WINDOWS\x.cpl)]
// Arguments are separated by commas; an argument may be quoted with double quotes to hold
// commas or brackets. Groups become menu groups (desktop_menu.h) as soon as a command changes
// them.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/shell/desktop_menu.h"

namespace platform {

struct ProgmanCommand {
  std::string name;               // "CreateGroup", as written
  std::vector<std::string> args;  // unquoted, blanks around them trimmed
};

// Empty when the string is not a sequence of well-formed commands (then nothing is done).
std::optional<std::vector<ProgmanCommand>> ParseProgmanCommands(std::string_view text);

class ProgramManager {
 public:
  explicit ProgramManager(DesktopMenu menu) : menu_(std::move(menu)) {}
  // Runs every command of the string; false when the string does not parse, a command is
  // unknown or has the wrong arguments, or the menu cannot be written. Commands are carried out
  // in order up to the first that fails.
  bool Execute(std::string_view text);
  // Adds items to a group, making the group when there is none of that name (any case), and
  // writes it: the way the shell's group converter fills groups. False when the menu cannot be
  // written or the name is empty.
  bool AddItems(std::string_view group, const std::vector<ProgramItem>& items);
  const std::map<std::string, ProgramGroup>& groups() const { return groups_; }

 private:
  bool Run(const ProgmanCommand& command);
  ProgramGroup* Group(const std::string& name);

  DesktopMenu menu_;
  std::map<std::string, ProgramGroup> groups_;  // by lower-case name
  std::string current_;                      // lower-case name of the group items go into
};

}  // namespace platform
