// SetScanParam: the window, readiness, reservation, the geometry read back and the gamma tables.
#include <cstring>

#include "identity.h"
#include "library_state.h"
#include "platform/clock/clock.h"
#include "progress_dlg.h"
#include "scan_window.h"
#include "scancore/error_codes.h"
#include "scancore/scan_core.h"
#include "services.h"

using namespace scancore;

namespace {
constexpr uint32_t kReadyTimeoutMs = 18000;
constexpr uint32_t kParallelReadyTimeoutMs = 20000;
constexpr uint32_t kParallelSettleMs = 5000;
constexpr uint32_t kPlainReadSize = 0x8000;
constexpr uint8_t kGammaType = 0x03;
}  // namespace

uint16_t CScanCore::SwapValue(uint16_t value) {
  return static_cast<uint16_t>(value << 8 | value >> 8);
}

uint32_t CScanCore::SwapValue(uint32_t value) {
  return (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
}

int CScanCore::SetScanParam(const SCANPARAM& request, myIMAGEINFO& image, int showProgress) {
  if (!transport_) return Fail(kErrNotFoundCancelled);
  WindowSwitches switches{opticalRes_, padLines_, backTrack_, removeFilmUnderColor_, testMode_};
  WindowData window = BuildWindow(request, switches);
  scanMode_ = request.Mode;
  if (request.HostTables != 0) {
    shadingNeeded_ = 1;
    readSize_ = cmdReadSize_;
  } else {
    shadingNeeded_ = request.Source == kSourcePositive || request.Source == kSourceNegative;
    readSize_ = kPlainReadSize;
  }
  if (showProgress) {
    LibraryState& library = *library_;
    scan_.dialog = CProgressDlg::Create(services().ui, library.messages(), library.Dialog(kDlgProgress));
    if (scan_.dialog) {
      progressCtrl_ = scan_.dialog->progressBar();
      cancelCtrl_ = scan_.dialog->cancelButton();
    }
  }
  if (!CheckReady(busType_)) return 0;
  if (busType_ == kBusEppParallel && warnParallelOnce_ == 1) GetLptXferMode(1);
  if (!transport_->ReserveUnit()) return FailFrom(*transport_);
  if (!WaitSetWindowOK(window.data())) return 0;
  uint8_t inquiry[kIdentityLength] = {};
  if (!transport_->Inquiry(inquiry, kIdentityLength)) return FailFrom(*transport_);
  const Geometry geometry = ReadGeometry(inquiry, padLines_);
  // The scanner's word is checked before anything is read by it.
  if (!GeometryUsable(geometry, scanMode_)) return Fail(kErrBufferTooSmall);
  pixelsPerLine_ = geometry.pixelsPerLine;
  bytesPerLine_ = geometry.bytesPerLine;
  lines_ = geometry.lines;
  greenOffset_ = geometry.greenOffset;
  blueOffset_ = geometry.blueOffset;
  lineSpan_ = scanMode_ == kModeColor ? geometry.lineSpan : 0;
  image.PixelsPerLine = pixelsPerLine_;
  image.BytesPerLine = bytesPerLine_;
  image.Lines = static_cast<uint16_t>(lines_ - lineSpan_);
  if (WantsTables(window) && request.GammaTables && !SendGammaTables(request)) return 0;
  firstBlock_ = 1;
  return 1;
}

// On the parallel bus a scanner that does not come ready is given time, and its port another
// look, before the scan goes on; elsewhere it fails the scan.
int CScanCore::CheckReady(int busType) {
  if (busType != kBusEppParallel) return WaitDeviceReady(kReadyTimeoutMs);
  if (!WaitDeviceReady(kParallelReadyTimeoutMs)) {
    // A person who cancelled the warm-up meant it, whatever the bus.
    if (errorCode_ == kErrUserCancelled) return 0;
    errorCode_ = kNoError;
    services().transport.clock.SleepMs(kParallelSettleMs);
    GetLptXferMode(1);
  }
  return 1;
}

int CScanCore::SendGammaTables(const SCANPARAM& request) {
  const uint32_t size = uint32_t{1} << adBits_;
  for (const GammaSend& send : GammaPlan(scanMode_, adBits_, request.GammaTables)) {
    const uint8_t* table = request.GammaTables + size_t{size} * send.table;
    if (!transport_->Send(kGammaType, send.qualifier, table, size)) return FailFrom(*transport_);
  }
  return 1;
}
