// Shortcuts of section "ShortCut" (KEY=FILE,GROUP,TITLE) made through the shell's group
// converter: its input file SETUP.INI in the Windows directory, "grpconv -o" started, the
// shortcut and group paths recorded for the uninstaller, and the group files to delete later.
//
// Names from the script become file names (group files, shortcut folders and files): the
// characters a file name cannot hold ('\' '/' ':' '*' '?' '"' '<' '>' '|' and control characters)
// become '_', so every name stays inside its folder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "install_type.h"

namespace hbasetup {

struct SetupContext;
class SetupScript;
class UninstallRecord;

inline constexpr size_t kMaxShortcuts = 40;
inline constexpr size_t kMaxGroupFiles = 40;

struct Shortcut {
  std::string file;   // relative to the Windows directory
  std::string group;  // the program group, or the Startup folder's name
  std::string title;
  bool startup = false;
};

// True when the field matches "Startup" over its whole length, in any case: the full word, a
// leading part of it, or nothing.
bool IsStartupField(std::string_view field);
// FILE, GROUP and TITLE of a line (missing fields are empty); false for a line without '='.
bool ParseShortcutLine(std::string_view line, Shortcut* shortcut);
// A script name made safe as one file-name component.
std::string SafeName(std::string_view name);
// The group file: the Windows directory, the group name without spaces cut to 8 characters,
// ".GRP".
std::string GroupFilePath(std::string_view windowsDirectory, std::string_view group);
// SETUP.INI's text for the group converter; `shortTargets` holds each shortcut's target in its
// short form.
std::string GroupConverterText(const std::vector<Shortcut>& shortcuts,
                               const std::vector<std::string>& shortTargets);

// The whole step; returns the group files formed (at most 40).
std::vector<std::string> MakeShortcuts(const SetupContext& context, const SetupScript& script,
                                       InstallType type, UninstallRecord& record);

}  // namespace hbasetup
