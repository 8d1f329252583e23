// The Startup folder as freedesktop autostart entries: one .desktop file per program, under the
// host root's menu folder (<root>/menu/autostart), never in the user's own autostart folder.
// Each entry runs the program on its host root as the menu entries do (DesktopMenu::ExecLine)
// and passes desktop-file-validate.
#pragma once

#include <filesystem>
#include <string_view>

#include "platform/shell/desktop_menu.h"

namespace platform {

class AutostartEntries {
 public:
  AutostartEntries(std::filesystem::path folder, std::filesystem::path root)
      : folder_(std::move(folder)), root_(std::move(root)) {}

  // Writes (or rewrites) the program's entry, named after its title; false when it cannot be
  // written.
  bool Write(const ProgramItem& item) const;
  std::filesystem::path EntryFile(std::string_view name) const;

 private:
  std::filesystem::path folder_;
  std::filesystem::path root_;
};

}  // namespace platform
