// Windows path strings: splitting and joining, as the C runtime's _splitpath/_makepath do.
// Pure string work; nothing here touches the disk.
#pragma once

#include <string>
#include <string_view>

namespace platform {

struct SplitPath {
  std::string drive;      // "C:" or empty
  std::string directory;  // "\WINDOWS\TWAIN_32\" with its leading and trailing backslashes
  std::string name;       // "kvt32"
  std::string extension;  // ".ini", with the dot, or empty
};

SplitPath SplitWindowsPath(std::string_view path);
std::string MakeWindowsPath(const SplitPath& parts);

// Joins a folder and a name with exactly one backslash between them.
std::string JoinWindowsPath(std::string_view folder, std::string_view name);

// Case-insensitive comparison in the ASCII range, as Windows compares file, key and section names.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool LessNoCase(std::string_view a, std::string_view b);
std::string ToUpperAscii(std::string_view s);
std::string ToLowerAscii(std::string_view s);

// True for "*" and "?" patterns as FindFirstFile matches them ("*.*" also matches names without a dot).
bool MatchesWildcard(std::string_view pattern, std::string_view name);

}  // namespace platform
