// Parallel port mode: the EPP adapter's registry settings, the mode commands and the probe, and
// the scanner object's view of them (the mode's name and the once-only slowdown warning).
#include "lpt_mode.h"

#include <cstring>
#include <vector>

#include "library_state.h"
#include "platform/registry/registry.h"
#include "platform/ui/ui.h"
#include "scancore/interface.h"
#include "scancore/message_file.h"
#include "scancore/scan_core.h"
#include "services.h"

namespace scancore {

namespace {
constexpr LptModeInfo kModes[] = {
    {0x01, "BPP", 2, 0x12}, {0x02, "EPP", 3, 0x21}, {0x04, "SPP", 1, 0x32},
    {0x08, "ECP", 6, 0x41}, {0x10, "EPP", 4, 0x22}, {0x20, "EPP", 5, 0x23},
};
}  // namespace

std::optional<LptModeInfo> LookUpLptMode(uint8_t flag) {
  for (const LptModeInfo& mode : kModes) {
    if (mode.flag == flag) return mode;
  }
  return std::nullopt;
}

uint8_t LptSelectCode(uint8_t flag) {
  if (auto mode = LookUpLptMode(flag)) return mode->selectCode;
  return flag == 0x40 ? 0x12 : 0x32;
}

uint8_t LptFlagFromRegistry(uint32_t lptMode, uint32_t dataMode) {
  switch (lptMode) {
    case 1: return 0x01;
    case 2: return dataMode == 2 ? 0x10 : dataMode == 3 ? 0x20 : 0x02;
    case 4: return 0x08;
    default: return 0x04;
  }
}

}  // namespace scancore

using namespace scancore;

namespace {
constexpr uint8_t kSelectType = 0x85;
constexpr uint8_t kFinishType = 0x86;
constexpr uint8_t kLoopbackType = 0x83;
constexpr uint32_t kLoopbackLength = 4096;
constexpr uint8_t kProbeOrder[] = {0x20, 0x10, 0x08, 0x02, 0x01};
constexpr uint8_t kSelectOrder[] = {0x20, 0x08, 0x10, 0x02, 0x01};
constexpr uint8_t kSpp = 0x04;
constexpr const char* kMessageCaption = "Tovelink";
}  // namespace

int CEppInterface::IsManualMode() {
  uint32_t manual = 0;
  if (key_ == 0 || services().registry.GetDword(key_, "ManualModeOn", &manual) != 0) return 0;
  return manual != 0;
}

uint8_t CEppInterface::ReadLptModeFlag() {
  uint32_t lptMode = 0, dataMode = 0;
  if (key_ == 0) return 0;
  if (services().registry.GetDword(key_, "LptMode", &lptMode) != 0) return 0;
  if (services().registry.GetDword(key_, "DataMode", &dataMode) != 0) return 0;
  return LptFlagFromRegistry(lptMode, dataMode);
}

int CEppInterface::SelectLptMode(uint8_t flag) {
  return Send(kSelectType, LptSelectCode(flag), nullptr, 0);
}

int CEppInterface::FinishLptMode() {
  // The byte's value means nothing to the scanner; the command's arrival is what counts.
  const uint8_t finish = 0;
  return Send(kFinishType, 0, &finish, 1);
}

int CEppInterface::LoopbackTest() {
  std::vector<uint8_t> data(kLoopbackLength);
  for (uint32_t i = 0; i < kLoopbackLength; ++i) data[i] = static_cast<uint8_t>(i);
  if (!Send(kLoopbackType, 0, data.data(), kLoopbackLength)) return 0;
  if (requestBlock().SRB_TargStat != 0) return 0;
  std::fill(data.begin(), data.end(), 0);
  if (!Read(kLoopbackType, 0, data.data(), kLoopbackLength)) return 0;
  if (requestBlock().SRB_TargStat != 0) return 0;
  for (uint32_t i = 0; i < kLoopbackLength; ++i) {
    if (data[i] != static_cast<uint8_t>(i)) return 0;
  }
  return 1;
}

uint8_t CEppInterface::ProbeLptMode() {
  if (IsManualMode()) {
    const uint8_t flag = ReadLptModeFlag();
    if (flag == kSpp) FinishLptMode();
    return flag;
  }
  uint8_t flag = kSpp;
  for (uint8_t candidate : kProbeOrder) {
    ReleaseUnit();
    if (SelectLptMode(candidate) && LoopbackTest()) {
      flag = candidate | kSpp;
      break;
    }
  }
  if (key_) services().registry.SetDword(key_, "AvailableMode", flag);
  for (uint8_t mode : kSelectOrder) {
    if (flag & mode) {
      SelectLptMode(mode);
      return flag;
    }
  }
  SelectLptMode(kSpp);
  FinishLptMode();
  return flag;
}

std::string CScanCore::GetLptXferMode(int probe) {
  // Only the EPP adapter has a port mode (and a registry key to read it from).
  auto* epp = dynamic_cast<CEppInterface*>(transport_.get());
  if (!epp) return {};
  if (probe) epp->ProbeLptMode();
  auto mode = LookUpLptMode(epp->ReadLptModeFlag());
  if (!mode) return {};
  CheckLptMode(mode->rank);
  return std::string(mode->name);
}

int CScanCore::CheckLptMode(uint8_t rank) {
  if (rank < lastLptRank_ && warnParallelOnce_ == 1) {
    warnParallelOnce_ = 0;
    const std::string text =
        library_->messages().Translate(library_->String(kStrParallelDevices));
    services().ui.MessageBox(0, text, kMessageCaption, platform::MB_OK | platform::MB_ICONEXCLAMATION);
  }
  lastLptRank_ = rank;
  return 1;
}
