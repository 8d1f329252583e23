#include "registry_names.h"

#include "platform/system/errors.h"

namespace platform::registry_internal {

namespace {

// Control characters are refused in every name: they cannot be written to or read back from
// REGEDIT4 text, and a NUL would cut the name short for any caller that uses C strings.
bool HasControlCharacter(std::string_view name) {
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return true;
  }
  return false;
}

}  // namespace

std::string FoldName(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
}

long CheckKeyName(std::string_view name) {
  if (name.empty() || name.find('\\') != std::string_view::npos) return kErrorBadPathname;
  if (name.size() > kMaxKeyNameLength) return kErrorInvalidParameter;
  return HasControlCharacter(name) ? kErrorInvalidName : kErrorSuccess;
}

long CheckValueName(std::string_view name) {
  if (name.size() > kMaxValueNameLength) return kErrorInvalidParameter;
  return HasControlCharacter(name) ? kErrorInvalidName : kErrorSuccess;
}

long SplitKeyPath(std::string_view path, std::vector<std::string_view>* names) {
  names->clear();
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  while (!path.empty()) {
    size_t end = path.find('\\');
    std::string_view name = path.substr(0, end);
    if (long err = CheckKeyName(name); err != kErrorSuccess) return err;
    names->push_back(name);
    if (end == std::string_view::npos) break;
    path.remove_prefix(end + 1);
    if (path.empty()) return kErrorBadPathname;  // "A\\" after the trailing one was removed
  }
  return kErrorSuccess;
}

}  // namespace platform::registry_internal
