// Root key names, long and short, as REGEDIT4 text and the command line write them.
#include <array>

#include "platform/registry/regedit4.h"
#include "registry_names.h"

namespace platform {

namespace {

struct RootNames {
  RegKey key;
  std::string_view longName;
  std::string_view shortName;
};

constexpr std::array<RootNames, 3> kRoots{{
    {kHkeyLocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
    {kHkeyCurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {kHkeyClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},
}};

}  // namespace

bool ParseRootName(std::string_view name, RegKey* root) {
  std::string folded = registry_internal::FoldName(name);
  for (const RootNames& r : kRoots) {
    if (folded == r.longName || folded == r.shortName) {
      *root = r.key;
      return true;
    }
  }
  return false;
}

std::string_view RootName(RegKey root) {
  for (const RootNames& r : kRoots) {
    if (r.key == root) return r.longName;
  }
  return {};
}

bool SplitRootedPath(std::string_view path, RegKey* root, std::string_view* subKey) {
  size_t slash = path.find('\\');
  if (!ParseRootName(path.substr(0, slash), root)) return false;
  *subKey = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
  return true;
}

}  // namespace platform
