#include "install_type.h"

namespace hbasetup {

InstallType InstallTypeFor(uint32_t versionWord) {
  if ((versionWord & 0x80000000u) == 0) return InstallType::kNt;
  if ((versionWord & 0xFFu) > 3) return InstallType::kWin95;
  return InstallType::kOther;
}

}  // namespace hbasetup
