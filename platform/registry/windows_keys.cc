#include "platform/registry/windows_keys.h"

#include <string>
#include <utility>
#include <vector>

#include "platform/files/winpath.h"
#include "platform/system/errors.h"
#include "platform/system/system.h"

namespace platform {

long RegDeleteKey(Registry& registry, const SystemInfo& system, RegKey parent,
                  std::string_view subKey) {
  if (subKey.empty()) return kErrorBadPathname;  // RegDeleteKey never deletes its parent
  if (!system.IsNt()) return registry.DeleteTree(parent, subKey);
  return registry.DeleteKey(parent, subKey);
}

namespace {
using Values = std::vector<std::pair<std::string, std::string>>;

// The user profile folder of each family: 9x keeps the user's folders in the Windows folder.
std::string ProfileFolder(const SystemInfo& system, std::string_view user) {
  if (system.version() == WindowsVersion::kWin2000) {
    return std::string("C:\\Documents and Settings\\") + std::string(user);
  }
  if (system.IsNt()) return JoinWindowsPath(system.WindowsFolder(), "Profiles\\" + std::string(user));
  return system.WindowsFolder();
}

Values UserFolders(const SystemInfo& system) {
  const std::string home = ProfileFolder(system, "Administrator");
  const std::string start = home + "\\Start Menu";
  Values values = {
      {"Desktop", home + "\\Desktop"},
      {"Programs", start + "\\Programs"},
      {"Start Menu", start},
      {"Startup", start + "\\Programs\\StartUp"},
      {"Recent", home + "\\Recent"},
      {"SendTo", home + "\\SendTo"},
      {"Favorites", home + "\\Favorites"},
      {"NetHood", home + "\\NetHood"},
      {"Templates", system.IsNt() ? home + "\\Templates" : system.WindowsFolder() + "\\ShellNew"},
      {"Fonts", system.WindowsFolder() + "\\Fonts"},
      {"Personal", system.IsNt() ? home + "\\Personal" : std::string("C:\\My Documents")},
  };
  if (system.version() == WindowsVersion::kWin2000) values.back().second = home + "\\My Documents";
  return values;
}

Values CommonFolders(const SystemInfo& system) {
  if (!system.IsNt()) return {};
  const std::string all = ProfileFolder(system, "All Users") + "\\Start Menu";
  return {
      {"Common Start Menu", all},
      {"Common Programs", all + "\\Programs"},
      {"Common Startup", all + "\\Programs\\Startup"},
      {"Common Desktop", ProfileFolder(system, "All Users") + "\\Desktop"},
  };
}

long Provision(Registry& registry, RegKey root, const Values& values) {
  if (values.empty()) return kErrorSuccess;
  RegKey key = 0;
  long rc = registry.CreateKey(root, kShellFoldersKey, &key);
  if (rc != kErrorSuccess) return rc;
  for (const auto& [name, folder] : values) {
    uint32_t type = 0;
    uint32_t size = 0;
    if (registry.QueryValue(key, name, &type, nullptr, &size) == kErrorSuccess) continue;
    rc = registry.SetString(key, name, folder);
    if (rc != kErrorSuccess) break;
  }
  registry.CloseKey(key);
  return rc;
}
}  // namespace

long ProvisionShellFolders(Registry& registry, const SystemInfo& system) {
  long rc = Provision(registry, kHkeyCurrentUser, UserFolders(system));
  if (rc != kErrorSuccess) return rc;
  return Provision(registry, kHkeyLocalMachine, CommonFolders(system));
}

}  // namespace platform
