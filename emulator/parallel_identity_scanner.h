// The setup's identity scanner on a parallel port: the same identity core as the SCSI one,
// reached through the port's byte handshake (status bit 7 ready, bit 6 low while a reply byte
// waits, control bit 0 the strobe, bit 3 selecting a write, bit 5 a read, bit 2 low a reset) and,
// on the high-speed interface, a block transfer of 16-bit words through base+4 counted by the
// word counter at base+6.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "identity_scanner.h"
#include "platform/ports/ports.h"

namespace emulator {

class ParallelIdentityScanner : public platform::PortDevice {
 public:
  enum class Interface { kStandard, kHighSpeed };
  ParallelIdentityScanner(IdentityModel model, Interface interface)
      : core_(std::move(model)), interface_(interface) {}

  uint8_t In(uint16_t offset) override;
  void Out(uint16_t offset, uint8_t value) override;
  uint16_t InWord(uint16_t offset) override;

  // Words the high-speed counter makes available per poll: a transfer takes several polls.
  static constexpr uint8_t kWordsPerPoll = 37;

 private:
  void Control(uint8_t value);
  uint8_t Counter();
  uint8_t NextByte();

  IdentityScanner core_;
  const Interface interface_;
  uint8_t data_ = 0;
  uint8_t control_ = 0x0C;
  bool busy_ = false;
  std::vector<uint8_t> received_;
  std::deque<uint8_t> pending_;
  uint8_t highSpeed_ = 0;     // base+1 as last written: 0x80 on, 0xC0 transferring
  uint8_t chunkWords_ = 0;
  uint8_t counter_ = 0;
  bool chunkRunning_ = false;
  bool startRead_ = false;
};

}  // namespace emulator
