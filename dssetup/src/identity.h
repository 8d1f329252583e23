// The scanner's identity exchange: ESC 'I' answered by a 4-byte header and the identity data,
// then ESC '?' answered by a header and a second reply. It runs over whichever transport the
// port search bound (SCSI or parallel).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace dssetup {

inline constexpr size_t kMaxResolutions = 64;

struct IdentityData {
  bool levelLetterB = false;
  int levelDigit = 0;
  bool statusFlag = false;
  uint16_t maxWidth = 0;
  uint16_t maxHeight = 0;
  std::vector<uint16_t> resolutions;  // at most 64
  uint16_t minResolution = 0x7FFF;
  uint16_t maxResolution = 0;
  uint16_t levelValue = 0;            // 0x8000 for level 4 and above, else 0x1000
  std::vector<uint8_t> secondReply;
};

// Reads records from identity data; never reads past `data`: a record cut by the end ends the
// parse like an unknown record does.
void ParseIdentityData(std::span<const uint8_t> data, IdentityData* out);

// The three operations the exchange needs; the parallel transport also writes single bytes,
// which the exchange does not use itself.
class IdentityTransport {
 public:
  virtual ~IdentityTransport() = default;
  virtual bool Write(std::span<const uint8_t> bytes) = 0;
  // Reads exactly `buffer.size()` bytes.
  virtual bool Read(std::span<uint8_t> buffer) = 0;
};

// True only when every write and read succeeded.
bool RunIdentityExchange(IdentityTransport& transport, IdentityData* out);

// "%.2f cm" for a length in dots at `resolution`; empty when there is no resolution.
std::string SizeText(uint16_t dots, uint16_t resolution);

}  // namespace dssetup
