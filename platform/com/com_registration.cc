#include "platform/com/com_registration.h"

#include "platform/registry/registry.h"

namespace platform::com {

namespace {
// Sets the default value of `path` under the classes root, making the key.
long SetDefault(Registry& registry, const std::string& path, std::string_view value) {
  RegKey key = 0;
  long error = registry.CreateKey(kHkeyClassesRoot, path, &key);
  if (error != 0) return error;
  error = registry.SetString(key, "", value);
  registry.CloseKey(key);
  return error;
}
}  // namespace

long RegisterInprocServer(Registry& registry, const ClassRegistration& e, std::string_view modulePath) {
  const std::string id = GuidToString(e.clsid);
  const std::string clsidKey = "CLSID\\" + id;
  const std::pair<std::string, std::string_view> entries[] = {
      {clsidKey, e.friendlyName},
      {clsidKey + "\\InprocServer32", modulePath},
      {clsidKey + "\\ProgID", e.progId},
      {clsidKey + "\\VersionIndependentProgID", e.versionIndependentProgId},
      {e.versionIndependentProgId, e.friendlyName},
      {e.versionIndependentProgId + "\\CLSID", id},
      {e.versionIndependentProgId + "\\CurVer", e.progId},
      {e.progId, e.friendlyName},
      {e.progId + "\\CLSID", id},
  };
  long first = 0;
  for (const auto& [path, value] : entries) {
    long error = SetDefault(registry, path, value);
    if (error != 0 && first == 0) first = error;
  }
  return first;
}

long DeleteKeyDepthFirst(Registry& registry, uintptr_t parent, std::string_view subKey) {
  RegKey key = 0;
  long error = registry.OpenKey(parent, subKey, &key);
  if (error != 0) return error;
  std::string child;
  // Each round deletes subkey 0, so the index stays 0; a subkey that cannot be deleted ends it.
  while (registry.EnumKey(key, 0, &child) == 0) {
    if (DeleteKeyDepthFirst(registry, key, child) != 0) break;
  }
  registry.CloseKey(key);
  return registry.DeleteKey(parent, subKey);
}

void UnregisterInprocServer(Registry& registry, const ClassRegistration& e) {
  DeleteKeyDepthFirst(registry, kHkeyClassesRoot, "CLSID\\" + GuidToString(e.clsid));
  DeleteKeyDepthFirst(registry, kHkeyClassesRoot, e.versionIndependentProgId);
  DeleteKeyDepthFirst(registry, kHkeyClassesRoot, e.progId);
}

std::string InprocServerPath(Registry& registry, const CLSID& clsid) {
  RegKey key = 0;
  std::string path;
  if (registry.OpenKey(kHkeyClassesRoot, "CLSID\\" + GuidToString(clsid) + "\\InprocServer32", &key) != 0) {
    return path;
  }
  if (registry.GetString(key, "", &path) != 0) path.clear();
  registry.CloseKey(key);
  return path;
}

}  // namespace platform::com
