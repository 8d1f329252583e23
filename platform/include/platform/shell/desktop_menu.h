// A freedesktop menu written from program-manager groups: for each group a .directory file and a
// .menu file that merges into the applications menu, and one .desktop file per item whose Exec
// line runs `scanhost start` with the item's Windows command line. Everything goes under one
// folder of the host root (<root>/menu/{menus/applications-merged,desktop-directories,
// applications}), never into the user's own menu, and every file passes desktop-file-validate.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct ProgramItem {
  std::string name;         // what the menu shows
  std::string commandLine;  // the Windows command line ("control.exe kvctrl32.cpl")
  std::string icon;         // icon file as given; may be empty
};

struct ProgramGroup {
  std::string name;
  std::vector<ProgramItem> items;
};

class DesktopMenu {
 public:
  // `root` is the host root the entries' programs run on (SCANSUITE_ROOT of their Exec line).
  DesktopMenu(std::filesystem::path folder, std::filesystem::path root)
      : folder_(std::move(folder)), root_(std::move(root)) {}

  // Writes (or rewrites) the files of one group; items of an earlier write that the group no
  // longer has are removed. False when a file cannot be written.
  bool WriteGroup(const ProgramGroup& group) const;
  bool RemoveGroup(std::string_view name) const;

  std::filesystem::path MenuFile(std::string_view group) const;
  std::filesystem::path DirectoryFile(std::string_view group) const;
  std::filesystem::path DesktopFile(std::string_view group, size_t item) const;

  // The Exec value (before the file's own escaping) that runs a Windows command line on the host
  // root `root`: "env SCANSUITE_ROOT=<root> scanhost start <words>".
  static std::string ExecLine(std::string_view commandLine, const std::filesystem::path& root);
  // A value escaped as a desktop-entry string (backslash, newline, tab, CR).
  static std::string EscapeString(std::string_view value);
  // A name safe in a file name: letters and digits kept, everything else '-'.
  static std::string Slug(std::string_view name);

 private:
  std::filesystem::path folder_;
  std::filesystem::path root_;
};

}  // namespace platform
