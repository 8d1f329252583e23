#include "usb_asic_scanner.h"

#include <algorithm>
#include <cmath>

#include "platform/clock/clock.h"

namespace emulator {

namespace {
constexpr int kFullTravel = 4000;           // steps from home to the far end of the glass
constexpr int kPageLines = static_cast<int>(kChartHeight / 4000);  // 300-dpi lines of the page
constexpr int kGainIndex[3] = {1, 2, 4};    // bank-0 indirect registers of the red, green, blue gain
constexpr double kRowBase[3] = {190, 200, 180};  // full-lamp signal of a white pixel at unit gain
constexpr int kGrayRow = 3;                 // gray and text transfers: the green row, read as luminance
}  // namespace

UsbAsicScanner::UsbAsicScanner(UsbAsicModel model, platform::Clock& clock, std::shared_ptr<const Page> page)
    : model_(model), clock_(clock), page_(std::move(page)) {}

bool UsbAsicScanner::Command(std::span<const uint8_t> packet) {
  if (packet.size() != 8) return false;
  std::lock_guard lock(mutex_);
  std::array<uint8_t, 8> p;
  std::copy(packet.begin(), packet.end(), p.begin());
  switch (p[0]) {
    case 0x20: WriteRegister(p[1], p[2]); break;
    case 0x21: pending_.push_back({ReadRegister(p[1])}); break;
    case 0x22:
      transfer_ = true;
      length_ = static_cast<uint16_t>(p[2] | p[3] << 8);
      skip_ = static_cast<uint16_t>(p[4] | p[5] << 8);
      phase_ = 0;
      pending_.clear();
      break;
    case 0x23: modeByte_ = p[1]; break;
    case 0x24:
      transfer_ = false;
      pending_.clear();
      break;
    case 0x25: {
      UpdateHoming();
      homing_ = false;
      int steps = p[2] | p[3] << 8;
      carriage_ = p[1] == 0x01 ? std::min(kFullTravel, carriage_ + steps) : std::max(0, carriage_ - steps);
      pending_.push_back({model_.carriageReply});
      break;
    }
    default: return false;
  }
  packets_.push_back(p);
  return true;
}

size_t UsbAsicScanner::Read(std::span<uint8_t> buffer) {
  std::lock_guard lock(mutex_);
  if (pending_.empty() && transfer_) ProduceLines();
  if (pending_.empty()) return 0;
  const std::vector<uint8_t>& front = pending_.front();
  size_t n = std::min(buffer.size(), front.size());
  std::copy_n(front.begin(), n, buffer.begin());
  pending_.pop_front();  // a bulk read takes the whole packet; what did not fit is lost
  return n;
}

void UsbAsicScanner::WriteRegister(uint8_t reg, uint8_t value) {
  if (reg == 6) {
    int low = value & 0x0F;
    if (low == 4 || low == 5 || low == 7) DirectCommand(value);
    else selector_ = value;
    return;
  }
  if (reg != 5) return;
  int index = selector_ >> 4, bank = selector_ & 0x07;
  if (index == 0) return;  // no register selected: the write goes nowhere
  indirect_[bank][index] = value;
  if (bank == 2 && index == 2 && (value & 0x80)) {
    UpdateHoming();
    homing_ = true;
    homingSince_ = clock_.NowMs();
    homingFrom_ = carriage_;
  }
}

void UsbAsicScanner::DirectCommand(uint8_t value) {
  switch (value & 0x0F) {
    case 4: outputMode_ = value; break;
    case 5:
      if ((value & 0x40) && !model_.bankCounterStuck) bankCounter_ = 0;
      break;
    case 7:
      if (value == 0x47) lamp_ = true;
      else if (value == 0x57) lamp_ = false;
      else if (value == 0x17 && !model_.bankCounterStuck) bankCounter_ = 0;  // end of the memory reset
      break;
  }
}

uint8_t UsbAsicScanner::ReadRegister(uint8_t reg) {
  switch (reg) {
    case 0: return model_.identity;
    case 2:
      UpdateHoming();
      return carriage_ == 0 && model_.homeSensor ? 0x02 : 0x00;
    case 3: return bankCounter_ & 0x07;
    default: return 0;
  }
}

void UsbAsicScanner::UpdateHoming() {
  if (!homing_) return;
  uint64_t elapsed = clock_.NowMs() - homingSince_;
  uint64_t travelled = elapsed * static_cast<uint64_t>(model_.homingStepsPerMs);
  carriage_ = travelled >= static_cast<uint64_t>(homingFrom_) ? 0 : homingFrom_ - static_cast<int>(travelled);
  if (carriage_ == 0) homing_ = false;
}

int UsbAsicScanner::SensorPixel(int p) const {
  switch (modeByte_ & 0x03) {
    case 1: return std::max(0, 3 * p - 2);  // 100 dpi: the middle pixel of each three
    case 2: return (3 * p + 1) / 2;         // 200 dpi: two pixels of every three
    default: return p;
  }
}

double UsbAsicScanner::Reflectance(int row, int x, int paperLine) const {
  if (paperLine < 0 || paperLine >= kPageLines) return 1.0;  // the white strip and the lid
  Rgb c = page_->At(static_cast<int64_t>(x) * 4000 + 2000, static_cast<int64_t>(paperLine) * 4000 + 2000);
  uint8_t v = row == 0 ? c.r : row == 1 ? c.g : row == 2 ? c.b : Luminance(c);
  return v / 255.0;
}

uint8_t UsbAsicScanner::RawLocked(int row, int x, double reflectance) const {
  const int channel = row == kGrayRow ? 1 : row;
  const double sensitivity = 0.88 + 0.12 * ((x * 37 + channel * 11) % 97) / 96.0;
  const int dark = 3 + (x * 13 + channel * 5) % 9;
  const double gain = 0.6 + 0.8 * indirect_[0][kGainIndex[channel]] / 255.0;
  const double exposure = indirect_[1][8] / 100.0;
  const double signal = lamp_ ? reflectance * sensitivity * kRowBase[channel] * gain * exposure : 0.0;
  return static_cast<uint8_t>(std::min(255.0, dark + std::floor(signal + 0.5)));
}

uint8_t UsbAsicScanner::RawFor(int row, int x, double reflectance) const {
  std::lock_guard lock(mutex_);
  return RawLocked(row, x, reflectance);
}

void UsbAsicScanner::SampleRow(int row, int paperLine, uint8_t* out) {
  const bool invert = outputMode_ & 0x10;
  for (int j = 0; j < length_; ++j) {
    int x = std::clamp(SensorPixel(skip_ + j) - kSkipPixels, 0, kImagePixels - 1);
    int ahead = row == 0 ? kRedAhead : row == 2 ? kBlueAhead : 0;
    uint8_t v = RawLocked(row, x, Reflectance(row, x, paperLine + ahead));
    out[j] = invert ? static_cast<uint8_t>(255 - v) : v;
  }
}

void UsbAsicScanner::ProduceLines() {
  const int resolution = modeByte_ & 0x03;
  const bool colour = modeByte_ & 0x04;
  const bool moving = modeByte_ & 0x10;
  const int paperLine = carriage_ + (resolution == 1 ? 1 : 0) - model_.paperTop;
  if (colour) {
    for (int row = 0; row < 3; ++row) {
      std::vector<uint8_t> line(length_);
      SampleRow(row, paperLine, line.data());
      pending_.push_back(std::move(line));
    }
  } else {
    std::vector<uint8_t> line(length_);
    SampleRow(kGrayRow, paperLine, line.data());
    pending_.push_back(std::move(line));
  }
  bankCounter_ = (bankCounter_ + 1) & 0x07;
  if (!moving) return;
  int step = resolution == 1 ? 3 : resolution == 2 ? 1 + phase_ : 1;
  if (resolution == 2) phase_ ^= 1;
  carriage_ = std::min(kFullTravel, carriage_ + step);
}

int UsbAsicScanner::carriage() {
  std::lock_guard lock(mutex_);
  UpdateHoming();
  return carriage_;
}
bool UsbAsicScanner::lampOn() const {
  std::lock_guard lock(mutex_);
  return lamp_;
}
uint8_t UsbAsicScanner::Indirect(int bank, int index) const {
  std::lock_guard lock(mutex_);
  return indirect_[bank & 7][index & 15];
}
uint8_t UsbAsicScanner::modeByte() const {
  std::lock_guard lock(mutex_);
  return modeByte_;
}
uint8_t UsbAsicScanner::outputMode() const {
  std::lock_guard lock(mutex_);
  return outputMode_;
}
int UsbAsicScanner::lineLength() const {
  std::lock_guard lock(mutex_);
  return length_;
}
std::vector<std::array<uint8_t, 8>> UsbAsicScanner::Packets() const {
  std::lock_guard lock(mutex_);
  return packets_;
}
void UsbAsicScanner::ForgetPackets() {
  std::lock_guard lock(mutex_);
  packets_.clear();
}

}  // namespace emulator
