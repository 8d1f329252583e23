#include "scsi_scanner.h"

#include <algorithm>
#include <cstring>

namespace emulator {

using platform::ScsiCommand;
using platform::ScsiDirection;
using platform::ScsiOutcome;

namespace {
// Opcodes.
constexpr uint8_t kTestUnitReady = 0x00, kRequestSense = 0x03, kInquiry = 0x12,
                  kReserveUnit = 0x16, kReleaseUnit = 0x17, kScan = 0x1B, kSetWindow = 0x24,
                  kRead = 0x28, kSend = 0x2A, kObjectPosition = 0x31, kGetDataBufferStatus = 0x34;

// Additional sense codes used here.
constexpr uint8_t kAscInvalidOpcode = 0x20, kAscInvalidCdbField = 0x24,
                  kAscInvalidParamField = 0x26, kAscParamLength = 0x1A, kAscSequence = 0x2C,
                  kAscNotReady = 0x04;

uint32_t Be24(const uint8_t* p) { return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]; }
uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

ScsiOutcome Illegal(uint8_t asc) { return ScsiOutcome::Check(platform::kSenseIllegalRequest, asc, 0); }

// The command group fixes the command block's length.
uint8_t CdbLengthFor(uint8_t opcode) { return opcode < 0x20 ? 6 : opcode < 0x60 ? 10 : 12; }

ScsiDirection DirectionOf(uint8_t opcode) {
  switch (opcode) {
    case kRequestSense: case kInquiry: case kRead: case kGetDataBufferStatus:
      return ScsiDirection::kIn;
    case kSetWindow: case kSend:
      return ScsiDirection::kOut;
    default:
      return ScsiDirection::kNone;
  }
}

void PutText(std::vector<uint8_t>& d, size_t at, const std::string& text, size_t width) {
  for (size_t i = 0; i < width; ++i) d[at + i] = i < text.size() ? static_cast<uint8_t>(text[i]) : ' ';
}

// Copies reply bytes into the initiator's buffer; a zero-length buffer may be null.
void CopyOut(const ScsiCommand& c, const void* from, uint32_t n) {
  if (n > 0) std::memcpy(c.data, from, n);
}

uint8_t SignMagnitude(int v) {
  return static_cast<uint8_t>(v < 0 ? 0x80 | std::min(-v, 127) : std::min(v, 127));
}
}  // namespace

ScsiScanner::ScsiScanner(ScannerModel model, platform::Clock& clock,
                         std::shared_ptr<const Page> page, uint8_t parallelModes)
    : model_(std::move(model)),
      clock_(clock),
      page_(std::move(page)),
      parallelModes_(parallelModes),
      powerOnMs_(clock.NowMs()),
      phase_(model_.waitsForFirmware ? Phase::kAwaitingFirmware : Phase::kIdle) {}

const std::map<uint8_t, ScsiScanner::Handler>& ScsiScanner::Dispatch() {
  static const std::map<uint8_t, Handler> table = {
      {kTestUnitReady, &ScsiScanner::TestUnitReady},
      {kRequestSense, &ScsiScanner::RequestSense},
      {kInquiry, &ScsiScanner::Inquiry},
      {kReserveUnit, &ScsiScanner::Reserve},
      {kReleaseUnit, &ScsiScanner::Release},
      {kScan, &ScsiScanner::Scan},
      {kSetWindow, &ScsiScanner::SetWindow},
      {kRead, &ScsiScanner::Read},
      {kSend, &ScsiScanner::Send},
      {kObjectPosition, &ScsiScanner::ObjectPosition},
      {kGetDataBufferStatus, &ScsiScanner::GetDataBufferStatus},
  };
  return table;
}

ScsiScanner::Phase ScsiScanner::phase() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return phase_;
}

ScsiScanner::Observed ScsiScanner::observed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return observed_;
}

void ScsiScanner::BusReset() {
  std::lock_guard<std::mutex> lock(mutex_);
  observed_.reserved = false;
  image_.reset();
  window_.reset();
  if (phase_ == Phase::kWindowSet || phase_ == Phase::kScanning) phase_ = Phase::kIdle;
}

void ScsiScanner::UpdatePhaseLocked() {
  if (phase_ == Phase::kBooting && clock_.NowMs() >= bootDoneMs_) phase_ = Phase::kIdle;
}

ScsiOutcome ScsiScanner::Remember(ScsiOutcome outcome) {
  if (outcome.targetStatus == platform::kScsiCheckCondition) lastSense_ = outcome.sense;
  return outcome;
}

ScsiOutcome ScsiScanner::Execute(const ScsiCommand& c) {
  if (c.cdb == nullptr || c.cdbLength == 0) return Illegal(kAscInvalidOpcode);
  const uint8_t opcode = c.cdb[0];
  std::lock_guard<std::mutex> lock(mutex_);
  UpdatePhaseLocked();
  auto handler = Dispatch().find(opcode);
  if (handler == Dispatch().end()) return Remember(Illegal(kAscInvalidOpcode));
  if (c.cdbLength < CdbLengthFor(opcode)) return Remember(Illegal(kAscInvalidCdbField));
  ScsiDirection want = DirectionOf(opcode);
  if (c.direction != ScsiDirection::kNone && want != ScsiDirection::kNone && c.direction != want) {
    ScsiOutcome phaseError;
    phaseError.hostStatus = platform::kHostPhaseSequenceFailure;
    return phaseError;
  }
  if (c.length > 0 && c.data == nullptr) return Remember(Illegal(kAscInvalidCdbField));
  return Remember((this->*handler->second)(c));
}

std::optional<ScsiOutcome> ScsiScanner::NotReady() {
  if (phase_ == Phase::kAwaitingFirmware) {
    return ScsiOutcome::Check(platform::kSenseNotReady, kAscNotReady, 0x00);
  }
  if (phase_ == Phase::kBooting) return ScsiOutcome::Status(platform::kScsiBusy);
  const uint64_t warmEnd = powerOnMs_ + uint64_t{model_.warmUpSeconds} * 1000;
  const uint64_t now = clock_.NowMs();
  if (now < warmEnd) {
    uint64_t seconds = (warmEnd - now + 999) / 1000;
    return ScsiOutcome::Check(platform::kSenseNotReady, kAscNotReady, 0x01,
                              static_cast<uint8_t>(std::min<uint64_t>(seconds, 255)));
  }
  return std::nullopt;
}

ScsiOutcome ScsiScanner::TestUnitReady(const ScsiCommand&) {
  if (auto notReady = NotReady()) return *notReady;
  return ScsiOutcome::Good();
}

ScsiOutcome ScsiScanner::RequestSense(const ScsiCommand& c) {
  uint32_t n = std::min<uint32_t>({c.length, c.cdb[4], static_cast<uint32_t>(lastSense_.size())});
  std::array<uint8_t, 20> sense = lastSense_;
  if (sense[0] == 0) sense[0] = 0x70;  // no sense pending: a current, empty report
  sense[7] = 12;
  CopyOut(c, sense.data(), n);
  lastSense_ = {};
  return ScsiOutcome::Good(n);
}

std::vector<uint8_t> ScsiScanner::InquiryData() const {
  std::vector<uint8_t> d(122, 0);
  d[0] = 0x06;  // scanner device
  d[2] = 0x02;
  d[3] = 0x02;
  d[4] = 122 - 5;
  PutText(d, 8, model_.vendorProduct, 24);
  PutText(d, 32, model_.revision, 4);
  if (model_.option == 2) d[37] |= 0x20;
  if (model_.option == 1) d[37] |= 0x40;
  if (model_.adBits == 10) d[37] |= 0x80;
  if (model_.adBits == 12) d[39] |= 0x20;
  if (phase_ == Phase::kAwaitingFirmware) d[40] |= 0x02;
  d[41] = model_.firmwareId;
  if (window_) {
    d[42] = static_cast<uint8_t>(geometry_.pixelsPerLine >> 8);
    d[43] = static_cast<uint8_t>(geometry_.pixelsPerLine);
    d[44] = static_cast<uint8_t>(geometry_.bytesPerLine >> 8);
    d[45] = static_cast<uint8_t>(geometry_.bytesPerLine);
    d[46] = static_cast<uint8_t>(geometry_.lines >> 8);
    d[47] = static_cast<uint8_t>(geometry_.lines);
    d[54] = SignMagnitude(geometry_.greenDelay);
    d[55] = SignMagnitude(geometry_.blueDelay);
  }
  d[48] = static_cast<uint8_t>(model_.opticalRes >> 8);
  d[49] = static_cast<uint8_t>(model_.opticalRes);
  // "Mmm dd yyyy" at 100-110.
  PutText(d, 100, model_.firmwareDate, 11);
  d[118] = model_.holderType;
  std::memcpy(&d[119], model_.holderDetails, 3);
  return d;
}

ScsiOutcome ScsiScanner::Inquiry(const ScsiCommand& c) {
  if (phase_ == Phase::kBooting) return ScsiOutcome::Status(platform::kScsiBusy);
  if (c.cdb[1] & 0x01) return Illegal(kAscInvalidCdbField);  // no vital product data pages
  std::vector<uint8_t> d = InquiryData();
  uint32_t n = std::min<uint32_t>({c.length, c.cdb[4], static_cast<uint32_t>(d.size())});
  CopyOut(c, d.data(), n);
  return ScsiOutcome::Good(n);
}

ScsiOutcome ScsiScanner::Reserve(const ScsiCommand&) {
  if (phase_ == Phase::kAwaitingFirmware || phase_ == Phase::kBooting) return *NotReady();
  observed_.reserved = true;
  return ScsiOutcome::Good();
}

ScsiOutcome ScsiScanner::Release(const ScsiCommand&) {
  observed_.reserved = false;
  if (phase_ == Phase::kScanning) phase_ = Phase::kWindowSet;  // releasing ends the scan
  image_.reset();
  return ScsiOutcome::Good();
}

ScsiOutcome ScsiScanner::SetWindow(const ScsiCommand& c) {
  if (auto notReady = NotReady()) return *notReady;
  if (Be24(c.cdb + 6) != 54) return Illegal(kAscInvalidCdbField);
  if (c.length < 54) return ScsiOutcome::Check(platform::kSenseIllegalRequest, kAscParamLength, 0);
  ScanWindow w;
  if (auto error = ParseWindow(c.data, c.length, model_, &w)) {
    return ScsiOutcome::Check(platform::kSenseIllegalRequest, error->asc, error->ascq);
  }
  window_ = w;
  geometry_ = GeometryFor(w, model_);
  shadingSent_.clear();
  shadingComplete_ = false;
  shadingReadOffset_ = 0;
  image_.reset();
  phase_ = Phase::kWindowSet;
  return ScsiOutcome::Good(54);
}

ScsiOutcome ScsiScanner::Scan(const ScsiCommand&) {
  if (auto notReady = NotReady()) return *notReady;
  if (!window_) return Illegal(kAscSequence);
  ScanImage::Settings settings{&model_, page_.get(), *window_, geometry_, &gamma_,
                               shadingComplete_ ? &shadingSent_ : nullptr};
  image_ = std::make_unique<ScanImage>(settings);
  linesDelivered_ = 0;
  dataReadyMs_ = clock_.NowMs() + model_.scanStartMs;
  phase_ = Phase::kScanning;
  return ScsiOutcome::Good();
}

ScsiOutcome ScsiScanner::GetDataBufferStatus(const ScsiCommand& c) {
  std::array<uint8_t, 12> d{};
  d[2] = 9;  // additional length: the bytes after this field
  uint32_t buffer = 0x100000;
  d[6] = static_cast<uint8_t>(buffer >> 16);
  d[7] = static_cast<uint8_t>(buffer >> 8);
  d[8] = static_cast<uint8_t>(buffer);
  if (phase_ == Phase::kScanning && clock_.NowMs() >= dataReadyMs_) {
    uint32_t remaining = (geometry_.lines - linesDelivered_) * uint32_t{geometry_.bytesPerLine};
    uint32_t filled = std::min(remaining, buffer);
    d[9] = static_cast<uint8_t>(filled >> 16);
    d[10] = static_cast<uint8_t>(filled >> 8);
    d[11] = static_cast<uint8_t>(filled);
  }
  uint32_t n = std::min<uint32_t>({c.length, Be16(c.cdb + 7), 12});
  CopyOut(c, d.data(), n);
  return ScsiOutcome::Good(n);
}

std::unique_ptr<ScanImage> ScsiScanner::ExpectedImage() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!window_) return nullptr;
  ScanImage::Settings settings{&model_, page_.get(), *window_, geometry_, &gamma_,
                               shadingComplete_ ? &shadingSent_ : nullptr};
  return std::make_unique<ScanImage>(settings);
}

uint32_t ScsiScanner::DefocusDistance() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (model_.holderType == 0 || !window_ || window_->composition == Composition::kLineArt) return 0;
  return observed_.focus > model_.bestFocus ? observed_.focus - model_.bestFocus
                                            : model_.bestFocus - observed_.focus;
}

ScsiOutcome ScsiScanner::Read(const ScsiCommand& c) {
  const uint8_t type = c.cdb[2];
  const uint32_t length = Be24(c.cdb + 6);
  if (length > c.length) {  // the host offered less room than the command asks for
    ScsiOutcome overrun;
    overrun.hostStatus = platform::kHostDataOverrunUnderrun;
    return overrun;
  }
  switch (type) {
    case 0x00: return ReadImage(c, length);
    case 0x80: {  // transfer measurement: the scanner times a dummy transfer
      if (length > 0) std::memset(c.data, 0, length);
      return ScsiOutcome::Good(length);
    }
    case 0x82: return ReadShading(c, length);
    case 0x83: return ReadLoopback(c, length);
    default: return Illegal(kAscInvalidCdbField);
  }
}

ScsiOutcome ScsiScanner::ReadImage(const ScsiCommand& c, uint32_t length) {
  if (phase_ != Phase::kScanning || !image_) return Illegal(kAscSequence);
  const uint32_t bpl = geometry_.bytesPerLine;
  if (length % bpl != 0) return Illegal(kAscInvalidCdbField);  // whole lines only
  // The data comes once it is buffered; reading earlier waits for it.
  if (clock_.NowMs() < dataReadyMs_) clock_.SleepMs(static_cast<uint32_t>(dataReadyMs_ - clock_.NowMs()));
  uint32_t remaining = geometry_.lines - linesDelivered_;
  if (remaining == 0) return Illegal(kAscSequence);
  uint32_t lines = std::min(length / bpl, remaining);
  const bool lineArt = window_->composition == Composition::kLineArt;
  const uint32_t defocus = model_.holderType == 0 || lineArt ? 0
      : observed_.focus > model_.bestFocus ? observed_.focus - model_.bestFocus
                                           : model_.bestFocus - observed_.focus;
  for (uint32_t i = 0; i < lines; ++i) {
    uint8_t* line = c.data + size_t{i} * bpl;
    image_->RawLine(linesDelivered_ + i, line);
    Defocus(geometry_, window_->Channels(), defocus, line);
  }
  linesDelivered_ += lines;
  ScsiOutcome outcome = ScsiOutcome::Good(lines * bpl);
  if (lines * bpl < length) outcome.hostStatus = platform::kHostDataOverrunUnderrun;
  return outcome;
}

ScsiOutcome ScsiScanner::ReadShading(const ScsiCommand& c, uint32_t length) {
  if (!window_) return Illegal(kAscSequence);
  const uint32_t width = model_.Width();
  const int channels = window_->Channels();
  const uint32_t total = 16 * uint32_t(channels) * width;
  if (shadingData_.size() != total) {
    shadingData_.resize(total);
    for (int line = 0; line < 16; ++line) {
      for (int ch = 0; ch < channels; ++ch) {
        int sensorChannel = channels == 1 ? 1 : ch;
        uint8_t* row = &shadingData_[(size_t(line) * channels + ch) * width];
        for (uint32_t x = 0; x < width; ++x) row[x] = ShadingSample(model_, line, x, sensorChannel);
      }
    }
    shadingReadOffset_ = 0;
  }
  uint32_t n = std::min(length, total - shadingReadOffset_);
  CopyOut(c, shadingData_.data() + shadingReadOffset_, n);
  shadingReadOffset_ = (shadingReadOffset_ + n) % total;
  ScsiOutcome outcome = ScsiOutcome::Good(n);
  if (n < length) outcome.hostStatus = platform::kHostDataOverrunUnderrun;
  return outcome;
}

ScsiOutcome ScsiScanner::ReadLoopback(const ScsiCommand& c, uint32_t length) {
  if (parallelModes_ == 0) return Illegal(kAscInvalidCdbField);
  uint32_t n = std::min<uint32_t>(length, static_cast<uint32_t>(loopback_.size()));
  CopyOut(c, loopback_.data(), n);
  // A mode the port cannot carry garbles the data on the way back.
  uint8_t flag = 0;
  switch (observed_.portModeCode) {
    case 0x12: flag = 0x01; break;
    case 0x21: flag = 0x02; break;
    case 0x32: flag = 0x04; break;
    case 0x41: flag = 0x08; break;
    case 0x22: flag = 0x10; break;
    case 0x23: flag = 0x20; break;
    default: break;
  }
  if (!(flag & (parallelModes_ | 0x04))) {
    for (uint32_t i = 0; i < n; i += 7) c.data[i] ^= 0x5A;
  }
  return ScsiOutcome::Good(n);
}

ScsiOutcome ScsiScanner::Send(const ScsiCommand& c) {
  const uint8_t type = c.cdb[2];
  const uint16_t qualifier = Be16(c.cdb + 4);
  const uint32_t length = Be24(c.cdb + 6);
  if (length > c.length) {
    ScsiOutcome overrun;
    overrun.hostStatus = platform::kHostDataOverrunUnderrun;
    return overrun;
  }
  switch (type) {
    case 0x03: return SendGamma(c, qualifier, length);
    case 0x82: return SendShading(c, length);
    case 0x87: return SendFirmware(c, length);
    case 0x83:
      if (parallelModes_ == 0) return Illegal(kAscInvalidCdbField);
      loopback_.assign(c.data, c.data + length);  // length 0 makes an empty range
      return ScsiOutcome::Good(length);
    case 0x85:
      if (parallelModes_ == 0 || length != 0) return Illegal(kAscInvalidCdbField);
      observed_.portModeCode = c.cdb[5];
      return ScsiOutcome::Good();
    case 0x86:
      if (parallelModes_ == 0 || length != 1) return Illegal(kAscInvalidCdbField);
      ++observed_.finishCount;
      return ScsiOutcome::Good(1);
    default: return Illegal(kAscInvalidCdbField);
  }
}

ScsiOutcome ScsiScanner::SendGamma(const ScsiCommand& c, uint16_t qualifier, uint32_t length) {
  // The qualifier names the table; its high bits must match the A/D converter.
  const uint8_t q = static_cast<uint8_t>(qualifier);
  const uint8_t adGroup = model_.adBits == 8 ? 0x00 : model_.adBits == 10 ? 0x80 : 0x90;
  const uint8_t table = model_.adBits == 12 ? q - 0x90 : q & 0x7F;
  if (qualifier > 0xFF || (q & 0xF0) != adGroup || table > (model_.adBits == 12 ? 4 : 3)) {
    return Illegal(kAscInvalidCdbField);
  }
  const bool colour = window_ && window_->composition == Composition::kColor;
  const bool grayTable = table == 0;
  if (window_ && window_->composition != Composition::kLineArt && colour == grayTable) {
    return Illegal(kAscInvalidCdbField);  // a gray table for a colour window, or the reverse
  }
  if (length != model_.AdMax() + 1) {
    return ScsiOutcome::Check(platform::kSenseIllegalRequest, kAscParamLength, 0);
  }
  std::vector<uint8_t> data(c.data, c.data + length);
  if (grayTable) gamma_[0] = data;
  else if (table == 4) gamma_[0] = gamma_[1] = gamma_[2] = data;
  else gamma_[table - 1] = data;
  return ScsiOutcome::Good(length);
}

ScsiOutcome ScsiScanner::SendShading(const ScsiCommand& c, uint32_t length) {
  if (!window_) return Illegal(kAscSequence);
  const uint32_t line = uint32_t(window_->Channels()) * model_.Width();
  if (shadingComplete_) {  // a new white line starts over
    shadingSent_.clear();
    shadingComplete_ = false;
  }
  if (shadingSent_.size() + length > line) {
    shadingSent_.clear();
    return ScsiOutcome::Check(platform::kSenseIllegalRequest, kAscParamLength, 0);
  }
  shadingSent_.insert(shadingSent_.end(), c.data, c.data + length);
  shadingComplete_ = shadingSent_.size() == line;
  return ScsiOutcome::Good(length);
}

ScsiOutcome ScsiScanner::SendFirmware(const ScsiCommand& c, uint32_t length) {
  if (!model_.waitsForFirmware) return Illegal(kAscInvalidCdbField);
  ++observed_.firmwareDownloads;
  observed_.firmwareBytes = length;
  if (model_.firmwareSize != 0 && length != model_.firmwareSize) {
    return ScsiOutcome::Check(platform::kSenseIllegalRequest, kAscInvalidParamField, 0);
  }
  if (!model_.firmwareNeverAccepted && phase_ == Phase::kAwaitingFirmware) {
    phase_ = Phase::kBooting;
    bootDoneMs_ = clock_.NowMs() + model_.firmwareBootMs;
  }
  return ScsiOutcome::Good(length);
}

ScsiOutcome ScsiScanner::ObjectPosition(const ScsiCommand& c) {
  if (model_.holderType == 0) return Illegal(kAscInvalidOpcode);  // no film transport
  const uint32_t count = Be24(c.cdb + 2);
  switch (c.cdb[1] & 7) {
    case 0: observed_.filmLoaded = false; observed_.position = 0; break;
    case 1: observed_.filmLoaded = true; break;
    case 2: observed_.position = count; break;
    case 3: observed_.position += count; break;
    case 4:
      observed_.focus = count;
      observed_.focusHistory.push_back(count);
      break;
    default: return Illegal(kAscInvalidCdbField);
  }
  return ScsiOutcome::Good();
}

}  // namespace emulator
