// The platform the setup installs for, from the packed version word: Windows NT when its top bit
// is clear; Windows 95 (install type 11, which covers 98 too) when the major version is above 3;
// nothing otherwise.
#pragma once

#include <cstdint>

namespace hbasetup {

enum class InstallType { kOther = 0, kWin95 = 11, kNt = 12 };

InstallType InstallTypeFor(uint32_t versionWord);

}  // namespace hbasetup
