// Registry behaviour that differs between the Windows families, and the keys every installed
// Windows carries that the setup programs read.
#pragma once

#include <string_view>

#include "platform/registry/registry.h"

namespace platform {

class SystemInfo;

// RegDeleteKey as the running Windows does it: Windows 9x deletes the key with everything below
// it; Windows NT deletes only a key without subkeys (kErrorAccessDenied otherwise).
long RegDeleteKey(Registry& registry, const SystemInfo& system, RegKey parent,
                  std::string_view subKey);

inline constexpr std::string_view kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The user's (and on NT the common) "Shell Folders" values of the running Windows' preset. Values
// already present are left alone. The folders themselves are made by whoever first puts something
// in them, as the shell does. Errors are the registry's.
long ProvisionShellFolders(Registry& registry, const SystemInfo& system);

}  // namespace platform
