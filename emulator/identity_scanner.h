// An emulated SCSI scanner of the identity protocol used by the data-source setup: a 32-byte
// INQUIRY with its name, then WRITE(6) carrying ESC 'I' or ESC '?' and READ(6) returning the
// reply: a 4-byte header (byte 1 status, bytes 2-3 the length that follows, little-endian) and
// the data.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/devices/scsi.h"

namespace emulator {

struct IdentityModel {
  std::string name = "Orvex   SCANNER 6000    ";  // inquiry bytes 8-31
  char levelLetter = 'B';
  char levelDigit = '4';
  uint8_t status = 0x10;
  uint16_t maxWidth = 5100, maxHeight = 7014;     // dots at the largest resolution
  std::vector<uint16_t> resolutions = {75, 100, 150, 200, 300, 600};
};

class IdentityScanner : public platform::ScsiDevice {
 public:
  explicit IdentityScanner(IdentityModel model) : model_(std::move(model)) {}
  platform::ScsiOutcome Execute(const platform::ScsiCommand& command) override;

  // The bytes of the reply to ESC 'I' (header and data).
  std::vector<uint8_t> IdentityReply() const;
  // The reply to a two-byte command of the protocol (ESC 'I' or ESC '?'); empty for others. Other
  // transports of the same scanner (the parallel port) answer through this.
  std::vector<uint8_t> ReplyTo(uint8_t first, uint8_t second) const;

 private:
  std::vector<uint8_t> StatusReply() const;
  const IdentityModel model_;
  std::mutex mutex_;
  std::deque<uint8_t> pending_;  // reply bytes not yet read
};

}  // namespace emulator
