#include "platform/registry/registry.h"
#include "scancore/interface.h"

namespace {
constexpr std::string_view kEppAdapterKey = "System\\CurrentControlSet\\Services\\EPPSCSIx";
}  // namespace

CEppInterface::~CEppInterface() {
  if (key_) services().registry.CloseKey(key_);
}

int CEppInterface::Open() {
  if (!CInterface::Open()) return 0;
  if (key_ == 0) {
    platform::RegKey key = 0;
    if (services().registry.OpenKey(platform::kHkeyLocalMachine, kEppAdapterKey, &key) == 0) key_ = key;
  }
  return 1;
}

uint32_t CEppInterface::BaseAddress() {
  uint32_t base = 0;
  if (key_ == 0 || services().registry.GetDword(key_, "Base", &base) != 0) return 0;
  return base;
}
