#include "scanner_session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "scanrequest/scan_request.h"
#include "status_mapping.h"

namespace sanebackend {

std::unique_ptr<ScannerSession> ScannerSession::Open(BackendHost& host, const DEVICEINFO& device,
                                                     SANE_Status* status) {
  auto core = std::make_unique<CScanCore>(host.config().base);
  CHWScannerInfo info;
  host.TakePrompts();
  if (!core->InitializeScanner(device, info)) {
    *status = StatusForError(core->GetErrorCode(), false);
    return nullptr;
  }
  core->CheckHolderType(info);
  *status = SANE_STATUS_GOOD;
  return std::unique_ptr<ScannerSession>(new ScannerSession(host, std::move(core), info));
}

ScannerSession::ScannerSession(BackendHost& host, std::unique_ptr<CScanCore> core,
                               const CHWScannerInfo& info)
    : host_(host), core_(std::move(core)), info_(info), options_(info) {}

ScannerSession::~ScannerSession() {
  // A close while another thread reads: that read stops at its next block.
  cancelRequested_ = true;
  while (phase_.load() == kBusy) std::this_thread::yield();
  Cancel();
}

bool ScannerSession::Claim(int from) {
  return phase_.compare_exchange_strong(from, kBusy);
}

SANE_Status ScannerSession::ControlOption(int index, SANE_Action action, void* value,
                                          SANE_Int* info) {
  if (info) *info = 0;
  const int phase = phase_.load();
  if (phase != kIdle && phase != kFrameDone) return SANE_STATUS_DEVICE_BUSY;
  switch (action) {
    case SANE_ACTION_GET_VALUE: return options_.Get(index, value);
    case SANE_ACTION_SET_VALUE: return options_.Set(index, value, info);
    default: return SANE_STATUS_INVAL;  // no option sets itself
  }
}

SANE_Parameters ScannerSession::ParametersFor(uint32_t pixelsPerLine, uint32_t lines) const {
  SANE_Parameters p{};
  p.last_frame = SANE_TRUE;
  p.pixels_per_line = static_cast<SANE_Int>(pixelsPerLine);
  p.lines = static_cast<SANE_Int>(lines);
  switch (options_.mode()) {
    case kModeLineArt:
      p.format = SANE_FRAME_GRAY;
      p.depth = 1;
      p.bytes_per_line = static_cast<SANE_Int>((pixelsPerLine + 7) / 8);
      break;
    case kModeGray:
      p.format = SANE_FRAME_GRAY;
      p.depth = 8;
      p.bytes_per_line = static_cast<SANE_Int>(pixelsPerLine);
      break;
    default:
      p.format = SANE_FRAME_RGB;
      p.depth = 8;
      p.bytes_per_line = static_cast<SANE_Int>(3 * pixelsPerLine);
      break;
  }
  return p;
}

SANE_Status ScannerSession::GetParameters(SANE_Parameters* params) {
  if (params == nullptr) return SANE_STATUS_INVAL;
  const int phase = phase_.load();
  if (phase == kScanning || phase == kBusy) {
    *params = params_;
    return SANE_STATUS_GOOD;
  }
  SCANPARAM request;
  std::vector<uint8_t> gamma;
  if (!options_.BuildRequest(&request, &gamma)) {
    *params = ParametersFor(0, 0);  // an empty window: nothing would be scanned
    return SANE_STATUS_GOOD;
  }
  const auto size = scanrequest::ExpectedImage(request, info_.GetOpticalRes());
  *params = ParametersFor(size.pixelsPerLine, size.lines);
  return SANE_STATUS_GOOD;
}

SANE_Status ScannerSession::Failure(uint32_t code) {
  const std::string prompts = host_.TakePrompts();
  if (std::getenv("SANE_DEBUG_SCANSUITE")) {
    std::fprintf(stderr, "[scansuite] error %08X%s%s\n", code, prompts.empty() ? "" : " after ",
                 prompts.c_str());
  }
  return StatusForError(code, cancelRequested_.load());
}

SANE_Status ScannerSession::PlaceFilm(bool nextFrame) {
  if (nextFrame) {
    if (frame_ + 1 >= options_.frames()) return SANE_STATUS_NO_DOCS;
    ++frame_;
  } else {
    if (!filmLoaded_ && !core_->LoadObject()) return Failure(core_->GetErrorCode());
    filmLoaded_ = true;
    frame_ = 0;
  }
  if (!core_->AbsoultePosition(static_cast<unsigned long>(frame_))) {
    return Failure(core_->GetErrorCode());
  }
  return SANE_STATUS_GOOD;
}

SANE_Status ScannerSession::BeginScan() {
  SCANPARAM request;
  if (!options_.BuildRequest(&request, &gamma_)) return SANE_STATUS_INVAL;
  if (!gamma_.empty()) request.GammaTables = gamma_.data();
  myIMAGEINFO image;
  host_.TakePrompts();
  if (!core_->SetScanParam(request, image, 0)) {
    const SANE_Status status = Failure(core_->GetErrorCode());
    core_->AbortScan();
    return status;
  }
  params_ = ParametersFor(image.PixelsPerLine, image.Lines);
  const uint32_t bandLines = CurrentHostSettings().bandLines;
  reader_ = std::make_unique<scanrequest::BandReader>(
      *core_, image, static_cast<uint32_t>(params_.bytes_per_line),
      bandLines ? bandLines : scanrequest::BandReader::kDefaultBandLines);
  band_ = nullptr;
  bandLeft_ = 0;
  return SANE_STATUS_GOOD;
}

SANE_Status ScannerSession::Start() {
  bool nextFrame = false;
  if (Claim(kFrameDone)) {
    nextFrame = true;
  } else if (!Claim(kIdle)) {
    return SANE_STATUS_DEVICE_BUSY;  // a scan is in progress
  }
  cancelRequested_ = false;
  lastCancelled_ = false;
  SANE_Status status = SANE_STATUS_GOOD;
  if (options_.source() != kSourceReflective) {
    status = PlaceFilm(nextFrame);
  } else if (nextFrame) {
    status = SANE_STATUS_NO_DOCS;  // the glass holds one page
  }
  if (status == SANE_STATUS_GOOD) status = BeginScan();
  if (status == SANE_STATUS_GOOD && cancelRequested_) {
    EndScan();
    status = SANE_STATUS_CANCELLED;
  }
  if (status != SANE_STATUS_GOOD) {
    EndBatch();
    lastCancelled_ = status == SANE_STATUS_CANCELLED;
    phase_ = kIdle;
    return status;
  }
  phase_ = kScanning;
  return SANE_STATUS_GOOD;
}

SANE_Status ScannerSession::FinishRead(SANE_Status status, int phase) {
  if (status != SANE_STATUS_GOOD) EndScan();
  if (phase == kIdle) {
    EndBatch();
    lastCancelled_ = status == SANE_STATUS_CANCELLED;
  }
  phase_ = phase;
  return status;
}

SANE_Status ScannerSession::Read(SANE_Byte* data, SANE_Int maxLength, SANE_Int* length) {
  if (length) *length = 0;
  if (data == nullptr || length == nullptr || maxLength <= 0) return SANE_STATUS_INVAL;
  if (!Claim(kScanning)) {
    // A cancel has ended the scan, or is ending it on another thread this moment.
    if (cancelRequested_) return SANE_STATUS_CANCELLED;
    switch (phase_.load()) {
      case kFrameDone: return SANE_STATUS_EOF;
      case kBusy: return SANE_STATUS_DEVICE_BUSY;
      default: return lastCancelled_ ? SANE_STATUS_CANCELLED : SANE_STATUS_INVAL;
    }
  }
  if (bandLeft_ == 0) {
    if (cancelRequested_) return FinishRead(SANE_STATUS_CANCELLED, kIdle);
    const uint8_t* lines = nullptr;
    uint32_t count = 0;
    switch (reader_->Next(&lines, &count)) {
      case scanrequest::BandReader::Result::kEnd:
        return FinishRead(SANE_STATUS_EOF, kFrameDone);
      case scanrequest::BandReader::Result::kFailed:
        return FinishRead(Failure(reader_->errorCode()), kIdle);
      case scanrequest::BandReader::Result::kStalled:
        return FinishRead(SANE_STATUS_IO_ERROR, kIdle);
      case scanrequest::BandReader::Result::kLines:
        band_ = lines;
        bandLeft_ = size_t{count} * static_cast<size_t>(params_.bytes_per_line);
        break;
    }
  }
  const size_t n = std::min(bandLeft_, static_cast<size_t>(maxLength));
  std::memcpy(data, band_, n);
  band_ += n;
  bandLeft_ -= n;
  *length = static_cast<SANE_Int>(n);
  phase_ = kScanning;
  return SANE_STATUS_GOOD;
}

void ScannerSession::EndScan() {
  reader_.reset();
  band_ = nullptr;
  bandLeft_ = 0;
  core_->AbortScan();
}

void ScannerSession::EndBatch() {
  if (filmLoaded_) core_->Eject();
  filmLoaded_ = false;
  frame_ = 0;
}

void ScannerSession::Cancel() {
  cancelRequested_ = true;
  if (Claim(kScanning)) {
    FinishRead(SANE_STATUS_CANCELLED, kIdle);
  } else if (Claim(kFrameDone) || Claim(kIdle)) {
    EndBatch();
    phase_ = kIdle;
  }
  // Otherwise a call is busy with the scan and stops at its next block.
}

SANE_Status ScannerSession::SetIoMode(SANE_Bool nonBlocking) {
  if (phase_.load() == kIdle) return SANE_STATUS_INVAL;  // only between start and the end
  return nonBlocking ? SANE_STATUS_UNSUPPORTED : SANE_STATUS_GOOD;
}

SANE_Status ScannerSession::GetSelectFd(SANE_Int* fd) {
  if (fd == nullptr || phase_.load() == kIdle) return SANE_STATUS_INVAL;
  return SANE_STATUS_UNSUPPORTED;
}

}  // namespace sanebackend
