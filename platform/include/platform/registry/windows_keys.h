// Registry behaviour that differs between the Windows families, and the keys every installed
// Windows carries that the setup programs read.
#pragma once

#include <string_view>

#include "platform/registry/registry.h"

namespace platform {

class FileSystem;
class SystemInfo;

// RegDeleteKey as the running Windows does it: Windows 9x deletes the key with everything below
// it; Windows NT deletes only a key without subkeys (kErrorAccessDenied otherwise).
long RegDeleteKey(Registry& registry, const SystemInfo& system, RegKey parent,
                  std::string_view subKey);

inline constexpr std::string_view kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The user's (and on NT the common) "Shell Folders" values of the running Windows' preset, with
// the folders they name on drive C:. Values already present are left alone. Errors are the
// registry's.
long ProvisionShellFolders(Registry& registry, FileSystem& fs, const SystemInfo& system);

}  // namespace platform
