#include "shortcuts.h"

#include <algorithm>

#include "platform/files/files.h"
#include "platform/files/short_name.h"
#include "platform/files/winpath.h"
#include "platform/registry/registry.h"
#include "platform/registry/windows_keys.h"
#include "platform/shell/group_converter.h"
#include "platform/system/errors.h"
#include "platform/system/system.h"
#include "script.h"
#include "setup_context.h"
#include "setup_shell.h"
#include "uninstall_record.h"

namespace hbasetup {

namespace {
std::string ShellFolder(platform::Registry& registry, platform::RegKey root, std::string_view name) {
  platform::RegKey key = 0;
  if (registry.OpenKey(root, platform::kShellFoldersKey, &key) != platform::kErrorSuccess) return {};
  std::string value;
  if (registry.GetString(key, name, &value) != platform::kErrorSuccess) value.clear();
  registry.CloseKey(key);
  return value;
}

std::string LastComponent(std::string_view path) {
  const size_t slash = path.rfind('\\');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ShortTarget(const SetupContext& context, const std::string& target) {
  return platform::GetShortPathName(context.files, target).value_or(target);
}
}  // namespace

bool IsStartupField(std::string_view field) {
  constexpr std::string_view kStartup = "Startup";
  return field.size() <= kStartup.size() &&
         platform::EqualsNoCase(field, kStartup.substr(0, field.size()));
}

bool ParseShortcutLine(std::string_view line, Shortcut* shortcut) {
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return false;
  std::string_view rest = line.substr(equals + 1);
  std::string* fields[] = {&shortcut->file, &shortcut->group, &shortcut->title};
  for (size_t i = 0; i < 3; ++i) {
    const size_t comma = i < 2 ? rest.find(',') : std::string_view::npos;
    *fields[i] = std::string(rest.substr(0, comma));
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
  }
  shortcut->startup = IsStartupField(shortcut->group);
  return true;
}

std::string SafeName(std::string_view name) {
  // The shell forms the shortcut files' names with the same rule, so the recorded paths exist.
  return platform::ShortcutFileName(name);
}

std::string GroupFilePath(std::string_view windowsDirectory, std::string_view group) {
  std::string name;
  for (char c : SafeName(group)) {
    if (c != ' ') name += c;
  }
  name.resize(std::min<size_t>(name.size(), 8));
  return std::string(windowsDirectory) + "\\" + name + ".GRP";
}

std::string GroupConverterText(const std::vector<Shortcut>& shortcuts,
                               const std::vector<std::string>& shortTargets) {
  std::string text = "[progman.groups]\r\n";
  for (size_t i = 0; i < shortcuts.size(); ++i) {
    text += "groupX" + std::to_string(i) + "=" + shortcuts[i].group + "\r\n";
  }
  for (size_t i = 0; i < shortcuts.size(); ++i) {
    const std::string& target = shortTargets[i];
    const size_t slash = target.rfind('\\');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash);
    text += "[groupX" + std::to_string(i) + "]\r\n\"" + shortcuts[i].title + "\",\"" + target +
            "\",,,,\"" + folder + "\"\r\n";
  }
  return text;
}

std::vector<std::string> MakeShortcuts(const SetupContext& context, const SetupScript& script,
                                       InstallType type, UninstallRecord& record) {
  const std::string& windows = context.system.WindowsFolder();
  const std::string startupFolder = LastComponent(
      type == InstallType::kNt
          ? ShellFolder(context.registry, platform::kHkeyLocalMachine, "Common Startup")
          : ShellFolder(context.registry, platform::kHkeyCurrentUser, "StartUp"));
  const std::string programs = ShellFolder(context.registry, platform::kHkeyCurrentUser, "Programs");

  std::vector<Shortcut> shortcuts;
  std::vector<std::string> groupFiles;
  std::vector<std::string> groups;  // named groups, each once, for the uninstaller
  for (const std::string& line : script.Lines("ShortCut")) {
    if (shortcuts.size() == kMaxShortcuts) break;  // the table is full: later lines are ignored
    Shortcut shortcut;
    if (!ParseShortcutLine(line, &shortcut)) continue;
    shortcut.title = SafeName(shortcut.title);
    if (shortcut.startup) {
      shortcut.group = startupFolder;
    } else {
      shortcut.group = SafeName(shortcut.group);
      if (std::find(groups.begin(), groups.end(), shortcut.group) == groups.end()) {
        groups.push_back(shortcut.group);
      }
      if (groupFiles.size() < kMaxGroupFiles) groupFiles.push_back(GroupFilePath(windows, shortcut.group));
    }
    shortcuts.push_back(std::move(shortcut));
  }
  if (shortcuts.empty()) return groupFiles;

  std::vector<std::string> shortTargets;
  for (const Shortcut& s : shortcuts) shortTargets.push_back(ShortTarget(context, windows + "\\" + s.file));
  context.files.WriteFileAtomic(windows + "\\SETUP.INI", GroupConverterText(shortcuts, shortTargets));
  context.shell.StartProgram("grpconv -o", kShowNoActivate);

  for (const Shortcut& s : shortcuts) record.Record(programs + "\\" + s.group + "\\" + s.title + ".LNK");
  for (const std::string& group : groups) record.Record(programs + "\\" + group);
  return groupFiles;
}

}  // namespace hbasetup
