#include "platform/shell/autostart.h"

#include <fstream>
#include <string>
#include <system_error>

namespace platform {

namespace fs = std::filesystem;

namespace {
// A name or comment is one line of printable text; an empty one would not validate.
std::string OneLine(std::string_view s) {
  std::string out = s.empty() ? std::string("-") : std::string(s);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return DesktopMenu::EscapeString(out);
}
}  // namespace

fs::path AutostartEntries::EntryFile(std::string_view name) const {
  return folder_ / ("scansuite-" + DesktopMenu::Slug(name) + ".desktop");
}

bool AutostartEntries::Write(const ProgramItem& item) const {
  const fs::path path = EntryFile(item.name);
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::string text = "[Desktop Entry]\nType=Application\nName=" + OneLine(item.name) +
                     "\nComment=" + OneLine(item.commandLine) +
                     "\nExec=" + DesktopMenu::EscapeString(DesktopMenu::ExecLine(item.commandLine, root_)) +
                     "\nTerminal=false\n";
  if (!item.icon.empty()) text += "X-Scansuite-Icon=" + OneLine(item.icon) + "\n";
  // Through a temporary name: a session starting meanwhile sees the old entry or the new one.
  const fs::path temp = path.string() + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out.flush()) return false;
  }
  fs::rename(temp, path, ec);
  return !ec;
}

}  // namespace platform
