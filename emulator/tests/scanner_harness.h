// Drives an emulated device with raw command blocks, as a host adapter would.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/devices/scsi.h"

namespace emulator::testing {

// A device behind an adapter of its own at target 0, so that commands travel through the bus and
// the faults it applies to every kind of device.
class OnBus : public platform::ScsiDevice {
 public:
  explicit OnBus(std::shared_ptr<platform::ScsiDevice> device)
      : adapter_(platform::HostAdapterInfo{}, platform::ScsiAdapter::Completion::kImmediate) {
    adapter_.Attach(0, std::move(device));
  }
  platform::ScsiOutcome Execute(const platform::ScsiCommand& command) override {
    return adapter_.Execute(0, command);
  }
  platform::DeviceFaults& faults() { return adapter_.TargetFaults(0); }

 private:
  platform::ScsiAdapter adapter_;
};

struct Reply {
  platform::ScsiOutcome outcome;
  std::vector<uint8_t> data;

  uint8_t key() const { return outcome.sense[2] & 0x0F; }
  uint8_t asc() const { return outcome.sense[12]; }
  uint8_t ascq() const { return outcome.sense[13]; }
  bool good() const {
    return outcome.targetStatus == platform::kScsiGood && outcome.hostStatus == platform::kHostOk;
  }
};

inline Reply Exec(platform::ScsiDevice& device, std::initializer_list<uint8_t> cdb,
                 platform::ScsiDirection direction = platform::ScsiDirection::kNone,
                 std::vector<uint8_t> data = {}) {
  std::vector<uint8_t> block(cdb);
  Reply reply;
  reply.data = std::move(data);
  platform::ScsiCommand command{block.data(), static_cast<uint8_t>(block.size()), direction,
                                reply.data.empty() ? nullptr : reply.data.data(),
                                static_cast<uint32_t>(reply.data.size())};
  reply.outcome = device.Execute(command);
  if (direction == platform::ScsiDirection::kIn) reply.data.resize(reply.outcome.transferred);
  return reply;
}

inline Reply In(platform::ScsiDevice& device, std::initializer_list<uint8_t> cdb, uint32_t length) {
  return Exec(device, cdb, platform::ScsiDirection::kIn, std::vector<uint8_t>(length, 0xEE));
}

inline Reply Out(platform::ScsiDevice& device, std::initializer_list<uint8_t> cdb,
                 std::vector<uint8_t> data) {
  return Exec(device, cdb, platform::ScsiDirection::kOut, std::move(data));
}

// The 54 bytes of SET WINDOW.
struct WindowParams {
  uint16_t xRes = 300, yRes = 300;
  uint32_t left = 0, top = 0, width = 600, length = 600;
  uint8_t threshold = 128;
  uint8_t composition = 5, bitsPerPixel = 8;
  bool pad = true;
  uint8_t byte49 = 0, byte50 = 0;
};

inline std::vector<uint8_t> WindowData(const WindowParams& w) {
  std::vector<uint8_t> d(54, 0);
  auto be16 = [&](size_t at, uint32_t v) { d[at] = uint8_t(v >> 8); d[at + 1] = uint8_t(v); };
  auto be32 = [&](size_t at, uint32_t v) { be16(at, v >> 16); be16(at + 2, v & 0xFFFF); };
  be16(6, 46);
  be16(10, w.xRes);
  be16(12, w.yRes);
  be32(14, w.left);
  be32(18, w.top);
  be32(22, w.width);
  be32(26, w.length);
  d[31] = w.threshold;
  d[33] = w.composition;
  d[34] = w.bitsPerPixel;
  d[37] = w.pad ? 7 : 0;
  d[49] = w.byte49;
  d[50] = w.byte50;
  d[51] = d[52] = d[53] = 0xFF;
  return d;
}

inline Reply SetWindow(platform::ScsiDevice& device, const WindowParams& w) {
  return Out(device, {0x24, 0, 0, 0, 0, 0, 0, 0, 0x36, 0}, WindowData(w));
}

inline Reply ReadData(platform::ScsiDevice& device, uint8_t type, uint32_t length,
                      uint16_t qualifier = 0) {
  return In(device, {0x28, 0, type, 0, uint8_t(qualifier >> 8), uint8_t(qualifier),
                     uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length), 0},
            length);
}

inline Reply SendData(platform::ScsiDevice& device, uint8_t type, uint16_t qualifier,
                      std::vector<uint8_t> data) {
  uint32_t length = static_cast<uint32_t>(data.size());
  return Out(device, {0x2A, 0, type, 0, uint8_t(qualifier >> 8), uint8_t(qualifier),
                      uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length), 0},
             std::move(data));
}

}  // namespace emulator::testing
