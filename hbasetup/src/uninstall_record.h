// The uninstaller's record: key "software\<GroupName>" under HKEY_CURRENT_USER, its default value
// empty, one string value per installed path whose name and data are both the path. Registry
// failures are silent: a path that cannot be recorded is skipped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {
class Registry;
}

namespace hbasetup {

class UninstallRecord {
 public:
  UninstallRecord(platform::Registry& registry, std::string groupName)
      : registry_(registry), groupName_(std::move(groupName)) {}

  void Record(std::string_view path);
  const std::vector<std::string>& recorded() const { return recorded_; }

 private:
  platform::Registry& registry_;
  std::string groupName_;
  std::vector<std::string> recorded_;
};

}  // namespace hbasetup
