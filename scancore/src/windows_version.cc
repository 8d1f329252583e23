#include "windows_version.h"

#include "platform/files/winpath.h"

namespace scancore {

bool IsWin95Osr2(const platform::VersionRecord& v) {
  if (v.platformId != platform::kPlatformWin32Windows) return false;
  for (const char* sp : {" B", " C", "B", "C"}) {
    if (platform::EqualsNoCase(v.servicePack, sp)) return true;
  }
  return false;
}

bool IsWin98(const platform::VersionRecord& v) {
  return v.platformId == platform::kPlatformWin32Windows && v.minor == 10;
}

bool IsWin2000(const platform::VersionRecord& v) {
  return v.platformId == platform::kPlatformWin32Nt && v.major == 5;
}

bool IsNtFamily(const platform::VersionRecord& v) {
  return v.platformId == platform::kPlatformWin32Nt;
}

bool HasStillImageLayer(const platform::VersionRecord& v) {
  return IsWin95Osr2(v) || IsWin98(v) || IsWin2000(v);
}

}  // namespace scancore
