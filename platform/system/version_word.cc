#include "platform/system/version_word.h"

namespace platform {

uint32_t PackedVersionWord(const VersionRecord& version) {
  uint32_t low = (version.major & 0xFFu) | ((version.minor & 0xFFu) << 8);
  if (version.platformId == kPlatformWin32Nt) return low | ((version.build & 0x7FFFu) << 16);
  // Windows 9x keeps its build number out of this word: only the top bit says "not NT".
  return low | 0x80000000u;
}

}  // namespace platform
