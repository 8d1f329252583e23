// The parallel transport of the identity exchange (Windows 9x only): direct port I/O on the
// scanner's interface, timed by the BIOS tick count. Data register at base, status at base+1,
// control at base+2; the high-speed interface adds a word data register at base+4 and a word
// counter at base+6. Every wait counts tick changes and gives up after its limit, so a device
// that stops answering fails the operation instead of holding the setup.
#pragma once

#include <cstdint>
#include <span>

#include "identity.h"

namespace platform {
class Ports;
}

namespace dssetup {

inline constexpr uint16_t kProbeBase[2] = {0x378, 0x278};
inline constexpr int kLongWaitTicks = 200;
inline constexpr int kShortWaitTicks = 2;
inline constexpr size_t kHighSpeedChunk = 510;  // bytes: 255 words

class ParallelPort {
 public:
  explicit ParallelPort(platform::Ports& ports) : ports_(ports) {}

  // Port index 0-based. The base comes from the BIOS table; an entry that is 0 or past the
  // table has no port, except that indexes 0 and 1 then use the probe's address. False when
  // there is no base. `highSpeed` picks the block transfer of the high-speed interface.
  bool Open(int index, bool highSpeed, bool reset);
  bool SelectWrite();
  bool WriteByte(uint8_t value);
  bool SelectRead();
  bool ReadByte(uint8_t* value);
  bool ReadBlock(std::span<uint8_t> buffer);
  // Selects for write before each byte; fails on the first byte that fails.
  bool WriteString(std::span<const uint8_t> bytes);

  uint16_t base() const { return base_; }
  uint8_t controlShadow() const { return shadow_; }

  // Whether the high-speed interface answers at the probe address of `index` (0 or 1).
  static bool ProbeHighSpeed(platform::Ports& ports, int index);
  // The LPT ports EnumPorts lists, plus one when fewer than two were listed and the probe of
  // index 1 finds a high-speed interface.
  static int CountPorts(platform::Ports& ports);

 private:
  uint8_t Status();
  void SetControl(uint8_t value);
  uint16_t Ticks();
  // Waits until (status & mask) == value; false after `ticks` tick changes.
  bool WaitStatus(uint8_t mask, uint8_t value, int ticks);
  void WaitTicks(int ticks);
  bool ReadBytes(std::span<uint8_t> buffer);
  bool ReadHighSpeed(std::span<uint8_t> buffer);

  platform::Ports& ports_;
  uint16_t base_ = 0;
  uint8_t shadow_ = 0x0C;
  uint8_t directionMask_ = 0x20;
  bool highSpeed_ = false;
};

class ParallelTransport : public IdentityTransport {
 public:
  explicit ParallelTransport(ParallelPort& port) : port_(port) {}
  bool Write(std::span<const uint8_t> bytes) override { return port_.WriteString(bytes); }
  bool Read(std::span<uint8_t> buffer) override {
    return port_.SelectRead() && port_.ReadBlock(buffer);
  }

 private:
  ParallelPort& port_;
};

}  // namespace dssetup
