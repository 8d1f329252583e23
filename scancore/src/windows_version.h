// Which Windows the library runs on, in the terms its decisions need.
#pragma once

#include "platform/system/system.h"

namespace scancore {

// Windows 95's second release: platform 1 with the service-pack string "B" or "C" (with or
// without a leading blank, in either case).
bool IsWin95Osr2(const platform::VersionRecord& v);
bool IsWin98(const platform::VersionRecord& v);    // platform 1, minor 10
bool IsWin2000(const platform::VersionRecord& v);  // platform 2, major 5
bool IsNtFamily(const platform::VersionRecord& v);
// Systems with a still-image ASPI layer, which discovery tries before wnaspi32.dll.
bool HasStillImageLayer(const platform::VersionRecord& v);

}  // namespace scancore
