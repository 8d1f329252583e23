#include "scanner.h"

#include <new>

#include "platform/clock/clock.h"
#include "platform/profile/profile.h"
#include "platform/ui/ui.h"
#include "platform/ui/ui_constants.h"
#include "scanner_routines.h"

namespace usbminid {

namespace {
template <class Body>
auto Guard(const char* text, Body body) {
  try {
    return body();
  } catch (const XGA1015&) {
    throw XScanner("%s", text);
  }
}
}  // namespace

Scanner::Scanner(GA1015& asic, const platform::ProfileFiles& profiles, platform::Clock& clock,
                 platform::UserInterface* ui)
    : asic_(asic), profiles_(profiles), clock_(clock), ui_(ui) {}

bool Scanner::Init(const std::string& moduleFolder) {
  settings_ = ReadTmdsSettings(profiles_, moduleFolder);
  if (!asic_.Identify(GA1015::kIdentity)) return false;
  try {
    redRing_.assign(size_t{kRedRing} * kPixels, 0);
    greenLine_.assign(kPixels, 0);
    blueRing_.assign(size_t{kBlueRing} * kPixels, 0);
    table_ = std::make_unique<GainTable>();
    for (int c = 0; c < 3; ++c) {
      gainRows_[c].assign(kPixels, nullptr);
      dark_[c].assign(kPixels, 0);
    }
  } catch (const std::bad_alloc&) {
    Cleanup();
    throw XScanner("Init Failed: out of memory");
  }
  table_->Build(settings_.KLevel);
  // The neutral calibration: the identity row and no dark level, until a calibration runs.
  const uint8_t* identity = table_->RowForDifference(settings_.KLevel);
  for (int c = 0; c < 3; ++c) gainRows_[c].assign(kPixels, identity);
  needsCalibration_ = true;
  scanning_ = false;
  routine_ = nullptr;
  ready_ = true;
  return true;
}

void Scanner::Cleanup() {
  ReleaseCurrentArrays();
  redRing_ = {};
  greenLine_ = {};
  blueRing_ = {};
  table_.reset();
  for (int c = 0; c < 3; ++c) {
    gainRows_[c] = {};
    dark_[c] = {};
  }
  routine_ = nullptr;
  scanning_ = false;
  ready_ = false;
  try {
    asic_.Detach();
  } catch (const XGA1015&) {
    // The channel went first; nothing is left to release.
  }
}

void Scanner::TurnLamp(bool on) {
  Guard("TurnPower Fail.", [&] { asic_.TurnPower(on); });
}

void Scanner::Reset() {
  if (scanning_) {
    EndAllLine();
    scanning_ = false;
  }
  ASICInit();
  Backhome();
  needsCalibration_ = true;
}

void Scanner::ASICInit() {
  Guard("ASICInit Failed", [&] {
    asic_.InitSensor(8);
    asic_.InitSRAM(false);
  });
}

void Scanner::Backhome() {
  Guard("Backhome Fail.", [&] {
    asic_.SetExploseTime(5632);
    asic_.SetMotorMode(0, false);
    asic_.MoveMotorHome(1);
  });
  needsCalibration_ = true;
  position_ = 0;
}

uint8_t Scanner::IsHome() {
  return Guard("IsHome Failed", [&] { return asic_.GetPop(); });
}

// The carriage may need a while to come home: keep the caller's window messages flowing, and
// give up once it has had far longer than a crossing of the glass takes.
void Scanner::WaitForHome() {
  const uint64_t start = clock_.NowMs();
  while (IsHome() != 1) {
    if (ui_) {
      platform::Msg msg;
      if (ui_->PeekMessage(&msg, 0, 0, 0, platform::PM_REMOVE)) ui_->DispatchMessage(msg);
    }
    if (clock_.NowMs() - start >= kHomeWaitMs) throw XScanner("IsHome Failed");
    clock_.SleepMs(kHomePollMs);
  }
}

void Scanner::EndAllLine() {
  Guard("EndAllLine Fail", [&] { asic_.StopWRLine(); });
}

void Scanner::StepForward(uint16_t steps) {
  Guard("StepForward Fail", [&] { asic_.MoveCarriage(0, steps); });
  position_ += steps;
}

void Scanner::StepBackward(uint16_t steps) {
  Guard("StepBackward Fail", [&] { asic_.MoveCarriage(1, steps); });
  position_ -= steps;
}

void Scanner::SetExplose(uint16_t time) {
  Guard("SetExplose Fail.", [&] { asic_.SetExploseTime(time); });
  settings_.ExploseTime = time;
}

void Scanner::SetMotorMode(int32_t mode) {
  Guard("SetMotorMode Fail.", [&] { asic_.SetMotorMode(mode, false); });
  settings_.MotorMode = mode;
}

void Scanner::SetRB(uint8_t red, uint8_t green, uint8_t blue) {
  Guard("SetRB Fail.", [&] { asic_.SetRB(red, green, blue); });
  gains_[0] = red;
  gains_[1] = green;
  gains_[2] = blue;
}

// Every line buffer holds kPixels bytes: the scan's right edge, in 300-dpi pixels, must stay
// inside them, and the origin's carriage steps must fit a move.
void Scanner::CheckGeometry(int mode, int resolution, uint16_t x, uint16_t y, uint16_t width) const {
  if (!ready_) throw XScanner("SetupScan Failed.");
  if (mode < kColour || mode > kBilevel || resolution < 1 || resolution > 3) throw XScanner("SetupScan Failed.");
  const uint32_t right = resolution == 3 ? uint32_t{x} + width
                       : resolution == 2 ? ((uint32_t{x} + width) * 3 + 1) / 2
                                         : (uint32_t{x} + width) * 3;
  if (right > kPixels) throw XScanner("Scan Width %u At %u Out Of Range", unsigned{width}, unsigned{x});
  const uint32_t target = resolution == 1 ? uint32_t{y} * 3 : resolution == 2 ? uint32_t{y} * 3 / 2 : y;
  if (target > 0xFFFF) throw XScanner("Scan Origin %u Out Of Range", unsigned{y});
}

void Scanner::SetupScan(int mode, int resolution, bool invert, uint16_t x, uint16_t y, uint16_t width) {
  CheckGeometry(mode, resolution, x, y, width);
  if (scanning_) {
    EndAllLine();
    scanning_ = false;
  }
  int32_t base = position_;
  if (needsCalibration_) {
    WaitForHome();
    if (settings_.HomeLines != 0) StepForward(settings_.HomeLines);
    SetExplose(settings_.ExploseTime);
    SetMotorMode(settings_.MotorMode);
    AdjustRB();
    Calibration();
    if (settings_.JLines != 0) StepForward(settings_.JLines);
    needsCalibration_ = false;
    base = -16;
  }
  mode_ = mode;
  resolution_ = resolution;
  width_ = width;
  x_ = x;
  invert_ = invert;
  bytesPerLine_ = static_cast<uint16_t>(mode == kColour ? width * 3 : mode == kGray ? width : (width + 7) / 8);

  const int32_t target = resolution == 1 ? int32_t{y} * 3 : resolution == 2 ? int32_t{y} * 3 / 2 : int32_t{y};
  position_ = base + 16;  // the lines the previous preparation read ahead
  if (target < position_) {
    if (target < 51) {
      StepBackward(static_cast<uint16_t>(position_ - target));
    } else {
      StepBackward(static_cast<uint16_t>(position_ - target + 50));  // approach from behind
      StepForward(50);
    }
  } else if (target > position_) {
    StepForward(static_cast<uint16_t>(target - position_));
  }
  SetExplose(settings_.ExploseTime);
  SetMotorMode(settings_.MotorMode);
  scanning_ = true;
  if (mode_ == kBilevel) x_ = static_cast<uint16_t>(x_ & ~7u);
  Prepare();
}

uint16_t Scanner::GetScannerLines(uint8_t* buffer, uint32_t count) {
  if (routine_ == nullptr || !scanning_) throw XScanner("GetScannerLines Failed: no scan prepared");
  for (uint32_t i = 0; i < count; ++i, buffer += bytesPerLine_) {
    switch (routine_->mode) {
      case kColour: ColourLine(buffer); break;
      case kGray: GrayLine(buffer); break;
      default: BilevelLine(buffer); break;
    }
  }
  return bytesPerLine_;
}

}  // namespace usbminid
