#include "uninstall_record.h"

#include "platform/registry/registry.h"
#include "platform/system/errors.h"

namespace hbasetup {

void UninstallRecord::Record(std::string_view path) {
  platform::RegKey key = 0;
  if (registry_.CreateKey(platform::kHkeyCurrentUser, "software\\" + groupName_, &key) !=
      platform::kErrorSuccess) {
    return;
  }
  registry_.SetString(key, "", "");
  if (registry_.SetString(key, path, path) == platform::kErrorSuccess) {
    recorded_.emplace_back(path);
  }
  registry_.CloseKey(key);
}

}  // namespace hbasetup
