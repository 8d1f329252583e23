#include "kvx_scanner.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "chart.h"
#include "platform/usb/usb.h"

namespace emulator {

namespace {
constexpr size_t kMaxEvents = 16;
constexpr size_t kMaxReceived = 16u << 20;
constexpr int kGridColumns = 512, kGridRows = 660;

// The chart sampled once on a coarse grid; scans of any geometry read it nearest-neighbour.
const std::vector<uint8_t>& ChartGrid() {
  static const std::vector<uint8_t> grid = [] {
    std::vector<uint8_t> g(kGridColumns * kGridRows);
    TestChart chart;
    for (int y = 0; y < kGridRows; ++y) {
      for (int x = 0; x < kGridColumns; ++x) {
        g[y * kGridColumns + x] = Luminance(chart.At((2 * x + 1) * kChartWidth / (2 * kGridColumns),
                                                     (2 * y + 1) * kChartHeight / (2 * kGridRows)));
      }
    }
    return g;
  }();
  return grid;
}
}  // namespace

KvxScanner::KvxScanner(uint16_t width, uint16_t lines)
    : deviceDescriptor_(DefaultDeviceDescriptor()), configurationDescriptor_(DefaultConfiguration()) {
  registers_[0x00] = 'K';
  registers_[0x01] = 'V';
  registers_[0x02] = 0x12;
  registers_[0x03] = 0x01;
  registers_[0x10] = width & 0xFF;
  registers_[0x11] = width >> 8;
  registers_[0x12] = lines & 0xFF;
  registers_[0x13] = lines >> 8;
}

std::vector<uint8_t> KvxScanner::DefaultDeviceDescriptor() {
  return {18, 1, 0x10, 0x01, 0xFF, 0, 0, 64, kKvxVendorId & 0xFF, kKvxVendorId >> 8,
          kKvxProductId & 0xFF, kKvxProductId >> 8, 0x00, 0x01, 1, 2, 0, 1};
}

std::vector<uint8_t> KvxScanner::DefaultConfiguration() {
  return {9, 2, 39, 0, 1, 1, 0, 0xC0, 50,          // configuration, 39 bytes in all
          9, 4, 0, 0, 3, 0xFF, 0, 0, 0,             // interface 0, three endpoints
          7, 5, 0x81, 2, 64, 0, 0,                  // bulk IN
          7, 5, 0x02, 2, 64, 0, 0,                  // bulk OUT
          7, 5, 0x83, 3, 8, 0, 10};                 // interrupt IN
}

std::string KvxScanner::HardwareId() const {
  char id[32];
  std::snprintf(id, sizeof id, "USB\\VID_%04X&PID_%04X", kKvxVendorId, kKvxProductId);
  return id;
}

uint8_t KvxScanner::ChartByte(uint32_t x, uint32_t y, uint32_t width, uint32_t lines) {
  uint64_t gx = uint64_t{x} * kGridColumns / std::max<uint32_t>(width, 1);
  uint64_t gy = uint64_t{y} * kGridRows / std::max<uint32_t>(lines, 1);
  return ChartGrid()[gy * kGridColumns + gx];
}

platform::UsbResult KvxScanner::Control(const platform::UsbSetup& setup, std::span<uint8_t> data) {
  std::lock_guard lock(mutex_);
  if (setups_.size() < 4096) setups_.push_back(setup);
  if ((setup.requestType & 0x60) == 0 && setup.request == 6) return Descriptor(setup, data);
  if ((setup.requestType & 0x60) != 0x40) return platform::UsbResult::Stall();
  if (setup.request == 0x04 || setup.request == 0x0C) return Registers(setup, data);
  if (setup.request == 0x01 && (setup.requestType & 0x80)) {
    static constexpr char kIdentity[8] = {'K', 'V', 'X', '-', 'S', '1', '0', '0'};
    size_t n = std::min(data.size(), sizeof kIdentity);
    if (n) std::memcpy(data.data(), kIdentity, n);
    return platform::UsbResult::Done(static_cast<uint32_t>(n));
  }
  return platform::UsbResult::Stall();
}

platform::UsbResult KvxScanner::Descriptor(const platform::UsbSetup& setup, std::span<uint8_t> data) {
  uint8_t type = setup.value >> 8;
  const std::vector<uint8_t>* source = type == 1 ? &deviceDescriptor_ : type == 2 ? &configurationDescriptor_ : nullptr;
  if (!source || (setup.value & 0xFF) != 0) return platform::UsbResult::Stall();
  size_t n = std::min(source->size(), data.size());
  if (n) std::memcpy(data.data(), source->data(), n);
  return platform::UsbResult::Done(static_cast<uint32_t>(n));
}

platform::UsbResult KvxScanner::Registers(const platform::UsbSetup& setup, std::span<uint8_t> data) {
  size_t address = setup.value;
  if (address + data.size() > registers_.size()) return platform::UsbResult::Stall();
  if (setup.requestType & 0x80) {
    if (!data.empty()) std::memcpy(data.data(), &registers_[address], data.size());
    return platform::UsbResult::Done(static_cast<uint32_t>(data.size()));
  }
  for (size_t i = 0; i < data.size(); ++i) {
    size_t r = address + i;
    if (r == 0x21 || r == 0x30 || r <= 0x03) continue;  // read-only
    registers_[r] = data[i];
    if (r == 0x20) {
      if (data[i] == 1) StartScan();
      else scanning_ = false;
    }
  }
  registers_[0x21] = static_cast<uint8_t>((registers_[0x21] & ~1) | (scanning_ ? 1 : 0));
  return platform::UsbResult::Done(static_cast<uint32_t>(data.size()));
}

void KvxScanner::StartScan() {
  scanWidth_ = registers_[0x10] | registers_[0x11] << 8;
  scanLines_ = registers_[0x12] | registers_[0x13] << 8;
  scanBytes_ = uint64_t{scanWidth_} * scanLines_;
  scanPosition_ = 0;
  lineY_ = -1;
  columns_.clear();
  scanning_ = scanBytes_ > 0;
  if (scanning_) Wake();
}

uint32_t KvxScanner::FillScan(std::span<uint8_t> data) {
  size_t n = static_cast<size_t>(std::min<uint64_t>(data.size(), scanBytes_ - scanPosition_));
  size_t done = 0;
  while (done < n) {
    uint64_t y = scanPosition_ / scanWidth_, x = scanPosition_ % scanWidth_;
    // Lines that sample the same chart row are the same bytes: render each row once.
    int64_t row = static_cast<int64_t>(y * kGridRows / scanLines_);
    if (row != lineY_) {
      if (columns_.size() != scanWidth_) {
        columns_.resize(scanWidth_);
        for (uint32_t i = 0; i < scanWidth_; ++i) columns_[i] = static_cast<uint16_t>(uint64_t{i} * kGridColumns / scanWidth_);
      }
      line_.resize(scanWidth_);
      const uint8_t* gridRow = &ChartGrid()[static_cast<size_t>(row) * kGridColumns];
      for (uint32_t i = 0; i < scanWidth_; ++i) line_[i] = gridRow[columns_[i]];
      lineY_ = row;
    }
    size_t chunk = std::min<size_t>(n - done, scanWidth_ - x);
    std::memcpy(data.data() + done, line_.data() + x, chunk);
    done += chunk;
    scanPosition_ += chunk;
  }
  if (scanPosition_ == scanBytes_) {
    scanning_ = false;
    registers_[0x20] = 0;
    registers_[0x21] &= ~1;
    QueueEvent(2);
  }
  return static_cast<uint32_t>(n);
}

platform::UsbResult KvxScanner::Transfer(uint8_t address, std::span<uint8_t> data) {
  std::unique_lock lock(mutex_);
  if (transfers_.size() < 4096) transfers_.emplace_back(address, static_cast<uint32_t>(data.size()));
  if (configuration_ == 0) return platform::UsbResult::Stall();
  switch (address) {
    case 0x81:
      if (!scanning_) return platform::UsbResult::Pending();
      return platform::UsbResult::Done(FillScan(data));
    case 0x02:
      received_.insert(received_.end(), data.begin(), data.end());
      // Trimmed to the last 16 MiB only once twice that has come: trimming on every write would
      // move 16 MiB per write once the limit is reached.
      if (received_.size() > 2 * kMaxReceived) received_.erase(received_.begin(), received_.end() - kMaxReceived);
      return platform::UsbResult::Done(static_cast<uint32_t>(data.size()));
    case 0x83: {
      if (events_.empty()) return platform::UsbResult::Pending();
      size_t n = std::min<size_t>(data.size(), 8);
      if (n) std::memcpy(data.data(), events_.front().data(), n);
      events_.pop_front();
      return platform::UsbResult::Done(static_cast<uint32_t>(n));
    }
    default: return platform::UsbResult::Stall();
  }
}

void KvxScanner::Configure(uint8_t configuration) {
  std::lock_guard lock(mutex_);
  configuration_ = configuration;
  if (configuration == 0) {
    scanning_ = false;
    ++deconfigurations_;
  }
}

int KvxScanner::deconfigurations() const {
  std::lock_guard lock(mutex_);
  return deconfigurations_;
}

std::vector<platform::UsbSetup> KvxScanner::Setups() const {
  std::lock_guard lock(mutex_);
  return setups_;
}

std::vector<uint32_t> KvxScanner::Transfers(uint8_t address) const {
  std::lock_guard lock(mutex_);
  std::vector<uint32_t> out;
  for (auto& [a, n] : transfers_) {
    if (a == address) out.push_back(n);
  }
  return out;
}

void KvxScanner::QueueEvent(uint8_t type) {
  std::array<uint8_t, 8> packet{type, static_cast<uint8_t>((registers_[0x21] >> 1) & 1),
                                static_cast<uint8_t>(sequence_ & 0xFF), static_cast<uint8_t>(sequence_ >> 8)};
  ++sequence_;
  events_.push_back(packet);
  if (events_.size() > kMaxEvents) events_.pop_front();
  Wake();
}

void KvxScanner::PressButton() {
  {
    std::lock_guard lock(mutex_);
    ++registers_[0x30];
    registers_[0x21] |= 2;
    QueueEvent(1);
    registers_[0x21] &= ~2;
  }
}

void KvxScanner::SetDescriptors(std::vector<uint8_t> device, std::vector<uint8_t> configuration) {
  std::lock_guard lock(mutex_);
  deviceDescriptor_ = std::move(device);
  configurationDescriptor_ = std::move(configuration);
}

std::vector<uint8_t> KvxScanner::Received() const {
  std::lock_guard lock(mutex_);
  const size_t kept = std::min(received_.size(), kMaxReceived);
  return std::vector<uint8_t>(received_.end() - static_cast<std::ptrdiff_t>(kept), received_.end());
}

uint8_t KvxScanner::Register(uint8_t address) const {
  std::lock_guard lock(mutex_);
  return registers_[address];
}

uint8_t KvxScanner::configuration() const {
  std::lock_guard lock(mutex_);
  return configuration_;
}

}  // namespace emulator
