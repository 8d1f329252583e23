// SETUP32.INI of any content: every section reads within its buffer, every copy line gets a
// result, shortcut lines give file names that stay in their folders, and the group-converter
// file has one entry per shortcut.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config_sys.h"
#include "copy_list.h"
#include "script.h"
#include "shortcuts.h"

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}

size_t Bytes(const std::vector<std::string>& lines) {
  size_t total = 1;
  for (const auto& l : lines) total += l.size() + 1;
  return total;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace hbasetup;
  const SetupScript script(std::string(reinterpret_cast<const char*>(data), size));
  const CopyPaths paths{"A:\\", "C:\\WINDOWS"};
  for (InstallType type : {InstallType::kWin95, InstallType::kNt}) {
    int reported = 0;
    auto list = BuildCopyList(script, type, paths, [&](const CopyListMessage& m) {
      Check(m.code >= 101 && m.code <= 103);
      ++reported;
    });
    for (const CopyItem& item : list) Check(item.source.size() + item.destination.size() < 4096);
  }
  for (const char* section : {"ShortCut", "Modify", "UnInstall", "NT Execute", "Win95 Driver Files"}) {
    Check(Bytes(script.Lines(section)) <= kSectionBuffer);
  }
  std::vector<Shortcut> shortcuts;
  std::vector<std::string> targets;
  for (const std::string& line : script.Lines("ShortCut")) {
    Shortcut s;
    if (!ParseShortcutLine(line, &s)) continue;
    const std::string group = SafeName(s.group);
    Check(group.find_first_of("\\/:") == std::string::npos);
    const std::string grp = GroupFilePath("C:\\WINDOWS", s.group);
    Check(grp.rfind('\\') == 10 && grp.size() <= 10 + 1 + 8 + 4);
    s.group = group;
    shortcuts.push_back(s);
    targets.push_back("C:\\WINDOWS\\" + s.file);
    (void)KeyedValue(line);
  }
  const std::string text = GroupConverterText(shortcuts, targets);
  Check(text.rfind("[progman.groups]\r\n", 0) == 0);
  size_t bytes = 0;
  const auto values = CollectModifyValues(script, &bytes);
  Check(bytes <= kModifyBuffer - 1);
  for (const std::string& name : NamesToRemove(values)) Check(!name.empty());
  return 0;
}
