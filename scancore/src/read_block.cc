// ReadBlockData: the start of the scan on its first call, then whole lines per call, colour
// lines recomposed in the caller's buffer with the alignment lines carried between calls.
//
// The caller's buffer in colour: one spare line, then the D carried raw lines, then the lines
// read now; the image is recomposed down to the start of the buffer. Every size below is checked
// against the buffer before anything is written, whatever the scanner said about its geometry.
#include <cstring>

#include "library_state.h"
#include "platform/devices/scsi_status.h"
#include "progress_dlg.h"
#include "recompose.h"
#include "scancore/error_codes.h"
#include "scancore/scan_core.h"
#include "services.h"
#include "work_buffer.h"

using namespace scancore;

namespace {
constexpr uint32_t kStartReadyTimeoutMs = 5000;
constexpr uint32_t kScanReadyTimeoutMs = 15000;
constexpr uint32_t kDataTimeoutMs = 30000;
constexpr uint8_t kImageData = 0x00;
constexpr uint8_t kMeasureData = 0x80;
constexpr uint32_t kMeasureSpan = 65408;        // whole lines within FF80h bytes
constexpr uint32_t kLargeReadSize = 0x20000;
}  // namespace

CScanCore::ScanResources::ScanResources() = default;
CScanCore::ScanResources::~ScanResources() = default;
CScanCore::ScanResources::ScanResources(const ScanResources&) {}
CScanCore::ScanResources& CScanCore::ScanResources::operator=(const ScanResources&) {
  return *this;
}

int CScanCore::ReadBlockData(uint8_t* buffer, unsigned long bufferSize, unsigned long request,
                             unsigned long& bytesRead) {
  bytesRead = 0;
  if (!transport_) return Fail(kErrNotFoundCancelled);
  const uint64_t b = bytesPerLine_;
  const uint64_t d = lineSpan_;
  const bool colour = scanMode_ == kModeColor;
  if (b == 0 || buffer == nullptr) return Fail(kErrBufferTooSmall);
  uint64_t want = request;
  if (colour && want / b < d + 1) want += d * b;
  if (want > bufferSize) return Fail(kErrBufferTooSmall);
  // Lines the buffer has room for after the spare and carried lines.
  const uint64_t room = want / b;
  const uint64_t reserved = !colour ? 0 : firstBlock_ == 1 ? 1 : d + 1;
  if (room <= reserved) return Fail(kErrBufferTooSmall);
  if (firstBlock_ != 1 && remainingLines_ == 0) return Fail(kErrNoLinesLeft);
  if (colour && firstBlock_ != 1 && d > 0 && !scan_.carry) return Fail(kErrNoLinesLeft);
  // READs carry whole lines: a read size below one line could read nothing.
  if (std::min<uint64_t>(readSize_, want) < b) return Fail(kErrBufferTooSmall);
  if (firstBlock_ == 1 && !StartScan(buffer, bufferSize)) return 0;

  uint8_t* destination = buffer;
  if (colour) {
    destination = buffer + b;
    if (firstBlock_ != 1 && d > 0) {
      std::memcpy(destination, scan_.carry->data(), d * b);
      destination += d * b;
    }
  }
  const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(room - reserved, remainingLines_));
  if (want < readSize_) readSize_ = static_cast<uint32_t>(want);
  if (!ReadLines(destination, n)) return 0;
  remainingLines_ -= n;

  uint64_t delivered = n;
  if (firstBlock_ == 1) {
    // The first raw lines only complete the colours of later ones.
    delivered -= std::min<uint64_t>(d, n);
    firstBlock_ = 0;
  }
  if (colour) {
    RecomposeData(buffer + b, buffer, static_cast<unsigned long>(delivered * b));
    if (d > 0) std::memcpy(scan_.carry->data(), buffer + b + delivered * b, d * b);
  }
  if (imageFormat_ == kImageBgrBottomUp) ReverseLines(buffer, delivered, b);
  bytesRead = static_cast<unsigned long>(delivered * b);
  return 1;
}

// The scanner measures the transfer, is shaded when the scan needs it, scans and buffers data.
int CScanCore::StartScan(uint8_t* buffer, unsigned long bufferSize) {
  if (!WaitDeviceReady(kStartReadyTimeoutMs)) return 0;
  if (!MeasureXferTime(buffer, bufferSize)) return 0;
  if (shadingNeeded_ && hostShading_ && !DoHostShading(buffer, bufferSize)) return 0;
  if (!transport_->Scan()) return FailFrom(*transport_);
  if (busType_ != kBusStillImage || shadingNeeded_) {
    if (!WaitDeviceReady(kScanReadyTimeoutMs)) return 0;
    if (!WaitDataBufferReady(kDataTimeoutMs)) return 0;
  }
  remainingLines_ = lines_;
  transferred_ = 0;
  scan_.carry.reset();
  if (scanMode_ == kModeColor && lineSpan_ > 0) {
    scan_.carry = std::make_unique<WorkBuffer>(services().memory, size_t{lineSpan_} * bytesPerLine_);
    if (!*scan_.carry) {
      scan_.carry.reset();
      return Fail(kErrNoMemory);
    }
  }
  return 1;
}

// `lines` lines in READs of as many whole lines as the read size allows; progress after each,
// a cancel check after each full one.
int CScanCore::ReadLines(uint8_t* destination, uint32_t lines) {
  const uint32_t b = bytesPerLine_;
  const uint32_t perRead = std::min(readSize_ / b, lines);
  if (perRead == 0) return 1;
  const uint32_t fullReads = lines / perRead;
  const uint32_t chunk = perRead * b;
  const uint64_t total = uint64_t{lines_} * b;
  for (uint32_t i = 0; i < fullReads; ++i) {
    if (!ReadData(kImageData, 0, destination, chunk)) return 0;
    destination += chunk;
    transferred_ += chunk;
    ReportProgress(static_cast<uint32_t>(uint64_t{transferred_} * 100 / total));
    if (cancelCtrl_ && IsCancelPressed()) return Fail(kErrUserCancelled);
  }
  const uint32_t rest = (lines - fullReads * perRead) * b;
  if (rest != 0) {
    if (!ReadData(kImageData, 0, destination, rest)) return 0;
    transferred_ += rest;
    ReportProgress(static_cast<uint32_t>(uint64_t{transferred_} * 100 / total));
  }
  return 1;
}

// The adapter reports a data phase that ended early beside a completed request; the lines or
// shading it left out would be the buffer's old bytes, so it fails with the adapter's code.
int CScanCore::ReadData(uint8_t type, uint16_t qualifier, uint8_t* buffer, uint32_t length) {
  if (!transport_->Read(type, qualifier, buffer, length)) return FailFrom(*transport_);
  if (transport_->requestBlock().SRB_HaStat != platform::kHostOk) return FailFrom(*transport_);
  return 1;
}

int CScanCore::MeasureXferTime(uint8_t* buffer, unsigned long bufferSize) {
  const uint32_t b = bytesPerLine_;
  const uint32_t size = (b * (kMeasureSpan / b) + 127) & ~127u;
  std::unique_ptr<WorkBuffer> own;
  uint8_t* work = buffer;
  if (bufferSize < size) {
    own = std::make_unique<WorkBuffer>(services().memory, size);
    if (!*own) return Fail(kErrNoMemory);
    work = own->data();
  }
  const uint16_t qualifier = readSize_ > kLargeReadSize ? 1 : 0;
  if (!transport_->Read(kMeasureData, qualifier, work, size)) return FailFrom(*transport_);
  ReportProgress(0);
  if (cancelCtrl_ && IsCancelPressed()) return Fail(kErrUserCancelled);
  if (!transport_->Read(kMeasureData, qualifier, work, 0)) return FailFrom(*transport_);
  return 1;
}

void CScanCore::ReportProgress(uint32_t percent) {
  if (scan_.dialog) {
    const std::string format =
        library_->messages().Translate(library_->String(kStrReading));
    scan_.dialog->SetText(FormatCount(format, static_cast<int>(percent)));
    scan_.dialog->SetPosition(static_cast<int>(percent));
    return;
  }
  if (progressCallBack_) progressCallBack_(kProgressReading, static_cast<unsigned short>(percent));
}

// A press seen in one call and its release in a later one count as one click.
int CScanCore::IsCancelPressed() {
  if (!cancelCtrl_) return 0;
  platform::UserInterface& ui = services().ui;
  platform::Msg msg;
  if (ui.PeekMessage(&msg, cancelCtrl_, platform::WM_LBUTTONDOWN, platform::WM_LBUTTONDOWN,
                     platform::PM_REMOVE)) {
    ui.SendMessage(cancelCtrl_, platform::WM_LBUTTONDOWN, msg.wParam, msg.lParam);
    cancelPressed_ = true;
  } else if (!cancelPressed_) {
    return 0;
  }
  if (ui.PeekMessage(&msg, cancelCtrl_, platform::WM_LBUTTONUP, platform::WM_LBUTTONUP,
                     platform::PM_REMOVE)) {
    ui.SendMessage(cancelCtrl_, platform::WM_LBUTTONUP, msg.wParam, msg.lParam);
    cancelPressed_ = false;
    return 1;
  }
  return 0;
}

int CScanCore::AbortScan() {
  remainingLines_ = 0;
  firstBlock_ = 0;
  scan_.carry.reset();
  scan_.dialog.reset();
  progressCtrl_ = 0;
  progressCallBack_ = nullptr;
  cancelCtrl_ = 0;
  cancelPressed_ = false;
  if (!transport_) return Fail(kErrNotFoundCancelled);
  if (!transport_->ReleaseUnit()) return FailFrom(*transport_);
  return 1;
}
