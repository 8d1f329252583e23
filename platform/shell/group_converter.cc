#include "platform/shell/group_converter.h"

#include <array>
#include <cctype>

#include "platform/files/files.h"
#include "platform/files/winpath.h"
#include "platform/host/host.h"
#include "platform/registry/registry.h"
#include "platform/registry/windows_keys.h"
#include "platform/shell/autostart.h"
#include "platform/shell/program_manager.h"
#include "platform/shell/shell_link.h"
#include "platform/system/errors.h"
#include "platform/system/system.h"

namespace platform {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// The lines of every section, by section name as written.
struct Section {
  std::string name;
  std::vector<std::string_view> lines;
};

std::vector<Section> Sections(std::string_view text) {
  std::vector<Section> sections;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(at, end - at));
    at = end + 1;
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      sections.push_back(Section{std::string(Trim(line.substr(1, close == std::string_view::npos
                                                                     ? std::string_view::npos
                                                                     : close - 1))),
                                 {}});
    } else if (!sections.empty()) {
      sections.back().lines.push_back(line);
    }
  }
  return sections;
}

const Section* Find(const std::vector<Section>& sections, std::string_view name) {
  for (const Section& s : sections) {
    if (EqualsNoCase(s.name, name)) return &s;
  }
  return nullptr;
}

// Values of one shell-folders key, read with one opening of it (an empty string for each that is
// not there).
template <size_t N>
std::array<std::string, N> ShellFolders(Registry& registry, RegKey root,
                                        const std::array<std::string_view, N>& names) {
  std::array<std::string, N> values;
  RegKey key = 0;
  if (registry.OpenKey(root, kShellFoldersKey, &key) != kErrorSuccess) return values;
  for (size_t i = 0; i < N; ++i) {
    if (registry.GetString(key, names[i], &values[i]) != kErrorSuccess) values[i].clear();
  }
  registry.CloseKey(key);
  return values;
}

std::string LastPart(std::string_view path) {
  const size_t slash = path.find_last_of('\\');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// The user's Programs folder and the user's and the machine's startup folders, read once a run
// (registry reads for every group were a tenth of a conversion).
struct ShellFolderSet {
  std::string programs, user, common;
  explicit ShellFolderSet(Registry& registry) {
    auto mine = ShellFolders<2>(registry, kHkeyCurrentUser, {"Programs", "Startup"});
    programs = std::move(mine[0]);
    user = std::move(mine[1]);
    common = std::move(ShellFolders<1>(registry, kHkeyLocalMachine, {"Common Startup"})[0]);
  }
  bool StartupNamed(std::string_view group) const {
    for (const std::string* folder : {&user, &common}) {
      if (!folder->empty() && EqualsNoCase(LastPart(*folder), group)) return true;
    }
    return false;
  }
};

bool WriteShortcut(FileSystem& files, const std::string& programs, const std::string& group,
                   const ConverterItem& item) {
  const std::string folder = programs + "\\" + ShortcutFileName(group);
  if (!files.CreateDirectories(folder)) return false;
  ShellLinkData link;
  link.description = item.title;
  SplitCommandLine(item.commandLine, &link.target, &link.arguments);
  link.workingFolder = item.workingFolder;
  link.icon = item.icon;
  return files.WriteFileAtomic(folder + "\\" + ShortcutFileName(item.title) + ".LNK",
                               ShellLinkBytes(link));
}

}  // namespace

std::vector<std::string> SplitItemLine(std::string_view line) {
  std::vector<std::string> fields;
  std::string current;
  bool quoted = false;
  bool wasQuoted = false;
  for (char c : line) {
    if (quoted) {
      if (c == '"') quoted = false; else current += c;
    } else if (c == '"') {
      if (!wasQuoted) current.clear();  // blanks before the opening quote
      quoted = wasQuoted = true;
    } else if (c == ',') {
      fields.push_back(wasQuoted ? current : std::string(Trim(current)));
      current.clear();
      wasQuoted = false;
    } else if (!wasQuoted) {
      current += c;
    }
  }
  fields.push_back(wasQuoted ? current : std::string(Trim(current)));
  return fields;
}

std::vector<ConverterGroup> ParseGroupConverterFile(std::string_view text) {
  const std::vector<Section> sections = Sections(text);
  std::vector<ConverterGroup> groups;
  const Section* list = Find(sections, "progman.groups");
  if (!list) return groups;
  for (std::string_view entry : list->lines) {
    const size_t equals = entry.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view key = Trim(entry.substr(0, equals));
    const std::string_view name = Trim(entry.substr(equals + 1));
    if (key.empty() || name.empty()) continue;
    ConverterGroup* group = nullptr;
    for (ConverterGroup& g : groups) {
      if (EqualsNoCase(g.name, name)) group = &g;
    }
    if (!group) group = &groups.emplace_back(ConverterGroup{std::string(name), {}});
    const Section* items = Find(sections, key);
    if (!items) continue;
    for (std::string_view line : items->lines) {
      std::vector<std::string> fields = SplitItemLine(line);
      fields.resize(6);
      if (Trim(fields[1]).empty()) continue;
      ConverterItem item{fields[0], fields[1], fields[2], fields[5]};
      if (item.title.empty()) {
        std::string program, arguments;
        SplitCommandLine(item.commandLine, &program, &arguments);
        item.title = LastPart(program);
      }
      group->items.push_back(std::move(item));
    }
  }
  return groups;
}

std::string ShortcutFileName(std::string_view name) {
  std::string out;
  for (unsigned char c : name) {
    const bool refused =
        c < 0x20 || std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos;
    out += refused ? '_' : static_cast<char>(c);
  }
  // "." and ".." would name the folder itself or its parent.
  if (!out.empty() && out.find_first_not_of('.') == std::string::npos) out.assign(out.size(), '_');
  return out;
}

int RunGroupConverter(Host& host, ProgramManager& programManager,
                      const std::vector<std::string>& args) {
  if (args.size() != 1 || !(EqualsNoCase(args[0], "-o") || EqualsNoCase(args[0], "/o"))) {
    return kGroupConverterUsage;
  }
  FileSystem& files = host.files();
  const std::optional<std::string> text =
      files.ReadFile(host.system().WindowsFolder() + "\\SETUP.INI");
  if (!text) return kGroupConverterNoFile;

  const ShellFolderSet folders(host.registry());
  const std::string& programs = folders.programs;
  const AutostartEntries autostart(host.root() / "menu" / "autostart", host.root());
  bool ok = true;
  for (const ConverterGroup& group : ParseGroupConverterFile(*text)) {
    std::vector<ProgramItem> items;
    for (const ConverterItem& item : group.items) {
      items.push_back(ProgramItem{item.title, item.commandLine, item.icon});
      // Without a Programs folder there is nowhere for shortcut files to go.
      if (!programs.empty()) ok = WriteShortcut(files, programs, group.name, item) && ok;
    }
    if (folders.StartupNamed(group.name)) {
      for (const ProgramItem& item : items) ok = autostart.Write(item) && ok;
    } else {
      ok = programManager.AddItems(group.name, items) && ok;
    }
  }
  return ok ? kGroupConverterDone : kGroupConverterWriteFailed;
}

}  // namespace platform
