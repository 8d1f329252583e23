// The shell's group converter, GRPCONV.EXE in the Windows folder, as setup programs start it:
//
//   grpconv -o      converts the groups SETUP.INI of the Windows folder lists
//
// SETUP.INI lists its groups in section "[progman.groups]" (KEY=GROUP NAME, one line a group);
// each KEY names the section holding that group's items, one a line:
//   "TITLE","COMMAND LINE",ICON FILE,ICON INDEX,,"WORKING FOLDER"
// (fields separated by commas, a field in double quotes may hold commas; missing fields are
// empty). A group named like the Startup folder (the last part of the user's "Startup" or the
// common "Common Startup" shell folder, any case) becomes autostart entries (autostart.h); any
// other group becomes a menu group through the program manager (program_manager.h). Every item
// also gets its shortcut file <Programs>\<GROUP>\<TITLE>.LNK (shell_link.h) in the user's Programs
// folder, so that the paths a setup records for its uninstaller exist. Group and title become
// file-name parts that stay inside their folders whatever characters they hold.
//
// Exit codes: 0 converted, 1 no SETUP.INI, 2 bad arguments, 3 an entry or shortcut could not be
// written (the others were).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

class Host;
class ProgramManager;

inline constexpr std::string_view kGroupConverterFile = "GRPCONV.EXE";
inline constexpr int kGroupConverterDone = 0;
inline constexpr int kGroupConverterNoFile = 1;
inline constexpr int kGroupConverterUsage = 2;
inline constexpr int kGroupConverterWriteFailed = 3;

struct ConverterItem {
  std::string title;
  std::string commandLine;
  std::string icon;
  std::string workingFolder;
};

struct ConverterGroup {
  std::string name;
  std::vector<ConverterItem> items;
};

// The fields of one item line, quotes removed and blanks around unquoted fields trimmed.
std::vector<std::string> SplitItemLine(std::string_view line);
// The groups of a SETUP.INI text in the order "[progman.groups]" lists them. A group listed
// twice (any case) gathers the items of both sections; a line without a command line is skipped;
// an item without a title takes its program's file name.
std::vector<ConverterGroup> ParseGroupConverterFile(std::string_view text);
// A group or title as one file-name part: '\' '/' ':' '*' '?' '"' '<' '>' '|' and control
// characters become '_', and a name of dots only becomes as many underscores. Setups that record
// shortcut paths form them with the same rule.
std::string ShortcutFileName(std::string_view name);

// The program itself (the shell runs it for "grpconv").
int RunGroupConverter(Host& host, ProgramManager& programManager,
                      const std::vector<std::string>& args);

}  // namespace platform
