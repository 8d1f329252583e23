// The waits of a scan: until the window is taken, until the unit is ready, until data is
// buffered; warm-up countdowns shown in the progress dialog or handed to the callback.
#include <cstring>

#include "identity.h"
#include "library_state.h"
#include "model_table.h"
#include "platform/clock/clock.h"
#include "platform/devices/scsi_status.h"
#include "progress_dlg.h"
#include "scancore/error_codes.h"
#include "scancore/scan_core.h"
#include "services.h"

using namespace scancore;

namespace {
constexpr int kWindowAttempts = 3;
constexpr uint32_t kFilmWarmUpExtraSeconds = 15;
constexpr uint32_t kCountdownStepMs = 1000;
constexpr uint32_t kFirmwarePollMs = 250;
constexpr uint32_t kFirmwareLimitMs = 5000;
constexpr uint32_t kReadyPollMs = 250;
constexpr uint32_t kParallelReadyPollMs = 350;
constexpr uint32_t kBufferPollMs = 250;
constexpr uint32_t kBufferSettleMs = 50;
constexpr uint16_t kBufferStatusLength = 12;

// The warm-up code carries the seconds still to wait in bits 8-15.
bool IsWarmUp(uint32_t code) { return (code & 0xFFFF00FFu) == kErrWarmingUp; }
uint32_t WarmUpSeconds(uint32_t code) { return (code >> 8) & 0xFF; }
}  // namespace

int CScanCore::WarmUpCountdown(uint32_t seconds, uint32_t dialogSeconds) {
  if (scan_.dialog) {
    const std::string format = library_->messages().Translate(library_->String(kStrWarmingUp));
    for (uint32_t n = dialogSeconds; n >= 1; --n) {
      scan_.dialog->SetText(FormatCount(format, static_cast<int>(n)));
      if (IsCancelPressed()) return Fail(kErrUserCancelled);
      services().transport.clock.SleepMs(kCountdownStepMs);
    }
    return 1;
  }
  if (progressCallBack_ &&
      progressCallBack_(kProgressWarmUp, static_cast<unsigned short>(seconds)) == 0) {
    return Fail(kErrUserCancelled);
  }
  return 1;
}

int CScanCore::WaitSetWindowOK(uint8_t* window) {
  for (int attempt = 0; attempt < kWindowAttempts; ++attempt) {
    if (transport_->SetWindow(window)) return 1;
    errorCode_ = transport_->TakeLastError();
    if (!IsWarmUp(errorCode_)) return 0;
    const uint32_t seconds = WarmUpSeconds(errorCode_);
    const bool film = window[50] & 0x08;
    if (!WarmUpCountdown(seconds, film ? seconds + kFilmWarmUpExtraSeconds : seconds)) return 0;
  }
  return 0;
}

int CScanCore::WaitDeviceReady(unsigned long timeoutMs) {
  platform::Clock& clock = services().transport.clock;
  uint8_t inquiry[kIdentityLength] = {};
  if (!transport_->Inquiry(inquiry, kIdentityLength)) return FailFrom(*transport_);
  if (WaitsForFirmware(inquiry)) {
    if (!DownloadFirmware(*transport_, FirmwareId(inquiry), VendorProductText(inquiry).c_str())) return 0;
    const uint64_t start = clock.NowMs();
    for (;;) {
      clock.SleepMs(kFirmwarePollMs);
      std::memset(inquiry, 0, sizeof inquiry);
      if (transport_->Inquiry(inquiry, kIdentityLength)) break;
      if (clock.NowMs() - start >= kFirmwareLimitMs) return FailFrom(*transport_);
    }
    if (WaitsForFirmware(inquiry)) return Fail(kErrFirmware);
  }
  const uint64_t start = clock.NowMs();
  if (timeoutMs == 0) return Fail(kErrDeviceTimeout);
  const uint32_t pollMs = busType_ == kBusEppParallel ? kParallelReadyPollMs : kReadyPollMs;
  for (;;) {
    uint8_t status = 0;
    if (transport_->TestUnitReady(status)) {
      if (status == platform::kScsiGood) return 1;
    } else {
      errorCode_ = transport_->TakeLastError();
      if (status == platform::kScsiCheckCondition) {
        if (!IsWarmUp(errorCode_)) return 0;
        const uint32_t seconds = WarmUpSeconds(errorCode_);
        if (!WarmUpCountdown(seconds, seconds)) return 0;
      } else if (status != platform::kScsiBusy && status != platform::kScsiGood) {
        return 0;
      }
    }
    clock.SleepMs(pollMs);
    if (clock.NowMs() - start >= timeoutMs) return Fail(kErrDeviceTimeout);
  }
}

int CScanCore::WaitDataBufferReady(unsigned long timeoutMs) {
  platform::Clock& clock = services().transport.clock;
  const uint64_t start = clock.NowMs();
  while (clock.NowMs() - start < timeoutMs) {
    uint8_t status[kBufferStatusLength] = {};
    if (!transport_->GetDataBufferStatus(status, kBufferStatusLength)) return FailFrom(*transport_);
    if (status[9] | status[10] | status[11]) {
      clock.SleepMs(kBufferSettleMs);
      return 1;
    }
    clock.SleepMs(kBufferPollMs);
  }
  return Fail(kErrDeviceTimeout);
}
