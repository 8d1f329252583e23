#include "platform/shell/desktop_menu.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <system_error>

namespace platform {
namespace {

namespace fs = std::filesystem;

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Through a temporary file beside it, so that a menu never reads half an entry. Its folders are
// made only when the first open finds them missing (a group's files share them).
bool WriteText(const fs::path& path, const std::string& text) {
  const std::string temp = path.native() + ".tmp";
  auto open = [&] { return ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666); };
  int fd = open();
  if (fd < 0 && errno == ENOENT) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    fd = open();
  }
  if (fd < 0) return false;
  const bool written = WriteAll(fd, text);
  if (::close(fd) == 0 && written && ::rename(temp.c_str(), path.c_str()) == 0) return true;
  // A file that could not be put in place is not left beside it.
  ::unlink(temp.c_str());
  return false;
}

std::string XmlEscape(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// Exec arguments with any of these characters are quoted, as desktop entries require.
bool NeedsQuotes(std::string_view word) {
  return word.empty() || word.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string_view::npos;
}

// One Exec argument: quoted when it must be, a literal percent sign written twice (no field
// codes are ever produced).
std::string QuoteArgument(std::string_view word) {
  std::string out;
  const bool quote = NeedsQuotes(word);
  if (quote) out += '"';
  for (char c : word) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    out += c;
    if (c == '%') out += '%';
  }
  if (quote) out += '"';
  return out;
}

std::string Category(std::string_view group) { return "X-Scansuite-" + DesktopMenu::Slug(group); }

// Names and comments are single lines without control characters.
std::string Line(const std::string& s) {
  std::string out = s.empty() ? std::string("-") : s;
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20) c = ' ';
  }
  return out;
}

}  // namespace

std::string DesktopMenu::Slug(std::string_view name) {
  std::string out;
  for (unsigned char c : name) out += std::isalnum(c) ? static_cast<char>(c) : '-';
  return out.empty() ? std::string("-") : out.substr(0, 100);
}

std::string DesktopMenu::EscapeString(std::string_view value) {
  std::string out;
  for (char c : value) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string DesktopMenu::ExecLine(std::string_view commandLine, const fs::path& root) {
  std::string exec = "env " + QuoteArgument("SCANSUITE_ROOT=" + root.string()) + " scanhost start";
  size_t i = 0;
  while (i < commandLine.size()) {
    while (i < commandLine.size() && (commandLine[i] == ' ' || commandLine[i] == '\t')) ++i;
    size_t end = i;
    while (end < commandLine.size() && commandLine[end] != ' ' && commandLine[end] != '\t') ++end;
    if (end > i) exec += " " + QuoteArgument(commandLine.substr(i, end - i));
    i = end;
  }
  return exec;
}

fs::path DesktopMenu::MenuFile(std::string_view group) const {
  return folder_ / "menus" / "applications-merged" / ("scansuite-" + Slug(group) + ".menu");
}

fs::path DesktopMenu::DirectoryFile(std::string_view group) const {
  return folder_ / "desktop-directories" / ("scansuite-" + Slug(group) + ".directory");
}

fs::path DesktopMenu::DesktopFile(std::string_view group, size_t item) const {
  return folder_ / "applications" /
         ("scansuite-" + Slug(group) + "-" + std::to_string(item + 1) + ".desktop");
}

bool DesktopMenu::WriteGroup(const ProgramGroup& group) const {
  bool ok = WriteText(DirectoryFile(group.name),
                      "[Desktop Entry]\nType=Directory\nName=" +
                          EscapeString(Line(group.name)) + "\n");
  ok = WriteText(MenuFile(group.name),
                 "<!DOCTYPE Menu PUBLIC \"-//freedesktop//DTD Menu 1.0//EN\"\n"
                 " \"http://www.freedesktop.org/standards/menu-spec/1.0/menu.dtd\">\n"
                 "<Menu>\n  <Name>Applications</Name>\n  <Menu>\n    <Name>" +
                     XmlEscape(Line(group.name)) + "</Name>\n    <Directory>" +
                     DirectoryFile(group.name).filename().string() +
                     "</Directory>\n    <Include>\n      <Category>" + Category(group.name) +
                     "</Category>\n    </Include>\n  </Menu>\n</Menu>\n") &&
       ok;
  for (size_t i = 0; i < group.items.size(); ++i) {
    const ProgramItem& item = group.items[i];
    std::string text = "[Desktop Entry]\nType=Application\nName=" +
                       EscapeString(Line(item.name)) + "\nComment=" +
                       EscapeString(Line(item.commandLine)) + "\nExec=" +
                       EscapeString(ExecLine(item.commandLine, root_)) +
                       "\nTerminal=false\nCategories=" + Category(group.name) + ";\n";
    if (!item.icon.empty()) text += "X-Scansuite-Icon=" + EscapeString(Line(item.icon)) + "\n";
    ok = WriteText(DesktopFile(group.name, i), text) && ok;
  }
  // Items a group had before and has no more.
  std::error_code ec;
  for (size_t i = group.items.size(); fs::exists(DesktopFile(group.name, i), ec); ++i) {
    fs::remove(DesktopFile(group.name, i), ec);
  }
  return ok;
}

bool DesktopMenu::RemoveGroup(std::string_view name) const {
  std::error_code ec;
  fs::remove(MenuFile(name), ec);
  fs::remove(DirectoryFile(name), ec);
  for (size_t i = 0; fs::exists(DesktopFile(name, i), ec); ++i) {
    fs::remove(DesktopFile(name, i), ec);
  }
  return true;
}

}  // namespace platform
