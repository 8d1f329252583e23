// SearchPath without a path of its own: looks for a file name in the folders Windows searches,
// in its order: the running program's folder, the current directory, the system folder, the
// Windows folder. (The emulated machine has no PATH variable of its own, so the search ends
// there.) A name holding a backslash or a drive is only checked as given.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

class FileSystem;
class SystemInfo;

// The full Windows path of the first match; empty (last error kErrorFileNotFound) when none.
// `applicationFolder` may be empty.
std::optional<std::string> SearchPath(const FileSystem& fs, const SystemInfo& system,
                                      std::string_view applicationFolder,
                                      std::string_view fileName);

}  // namespace platform
