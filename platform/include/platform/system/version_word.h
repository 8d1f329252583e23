// GetVersion: the packed 32-bit version word of the Win32 API. The low byte is the major
// version, the next byte the minor version; the high word is the build number on Windows NT and,
// with its top bit set, a reserved word on Windows 9x (programs test that bit to tell them apart).
#pragma once

#include <cstdint>

#include "platform/system/system.h"

namespace platform {

uint32_t PackedVersionWord(const VersionRecord& version);
inline uint32_t GetVersion(const SystemInfo& system) {
  return PackedVersionWord(system.GetVersionEx());
}

}  // namespace platform
