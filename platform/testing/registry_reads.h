// Reading back what a program stored in the registry: a value, or empty when its key or the value
// is missing; a key's values, none when the key is missing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry.h"

namespace platform::testing {

inline std::optional<std::string> ReadString(Registry& registry, RegKey root, std::string_view path,
                                             std::string_view name) {
  RegKey key = 0;
  if (registry.OpenKey(root, path, &key) != kErrorSuccess) return std::nullopt;
  std::string value;
  const long rc = registry.GetString(key, name, &value);
  registry.CloseKey(key);
  if (rc != kErrorSuccess) return std::nullopt;
  return value;
}

inline std::optional<uint32_t> ReadDword(Registry& registry, RegKey root, std::string_view path,
                                         std::string_view name) {
  RegKey key = 0;
  if (registry.OpenKey(root, path, &key) != kErrorSuccess) return std::nullopt;
  uint32_t value = 0;
  const long rc = registry.GetDword(key, name, &value);
  registry.CloseKey(key);
  if (rc != kErrorSuccess) return std::nullopt;
  return value;
}

inline std::vector<RegValue> ReadValues(Registry& registry, RegKey root, std::string_view path) {
  RegKey key = 0;
  std::vector<RegValue> values;
  if (registry.OpenKey(root, path, &key) == kErrorSuccess) {
    registry.ListValues(key, &values);
    registry.CloseKey(key);
  }
  return values;
}

}  // namespace platform::testing
