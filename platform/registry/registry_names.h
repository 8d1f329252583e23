// Rules for key and value names: how they compare, which are allowed, how a key path splits.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::registry_internal {

inline constexpr size_t kMaxKeyNameLength = 255;
inline constexpr size_t kMaxValueNameLength = 16383;

// The form names are compared in: ASCII letters upper-cased, every other byte kept, as the
// registry of the systems we stand in for compares them.
std::string FoldName(std::string_view name);

// Splits "A\B\C" into its key names. A trailing backslash is allowed; an empty path gives no
// names. Returns a Win32 error for a leading or doubled backslash or for a bad name.
long SplitKeyPath(std::string_view path, std::vector<std::string_view>* names);

long CheckKeyName(std::string_view name);
long CheckValueName(std::string_view name);

}  // namespace platform::registry_internal
