// The fixed 29-byte header at the start of every packed file, and the name line after it.
// All multi-byte fields are little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dearc32 {

inline constexpr size_t kHeaderSize = 29;
// The name line is read a byte at a time and never takes more than this many bytes.
inline constexpr size_t kMaxNameLine = 260;
// Longest name the packer stores, so that the reader finds its CR LF within kMaxNameLine.
inline constexpr size_t kMaxStoredName = kMaxNameLine - 2;

struct PackedHeader {
  std::array<uint8_t, 3> signature{};  // the expander ignores it
  uint32_t expandedSize = 0;
  uint32_t reserved = 0;               // the expander ignores it
  uint16_t dosDate = 0;
  uint16_t dosTime = 0;
  uint16_t attributes = 0;             // low 16 bits of the attribute word
  uint32_t versionLs = 0;              // build << 16 | revision
  uint32_t versionMs = 0;              // major << 16 | minor
  uint32_t crc = 0;                    // of the expanded data
};

using HeaderBytes = std::array<uint8_t, kHeaderSize>;

PackedHeader ParseHeader(const HeaderBytes& bytes);
HeaderBytes SerializeHeader(const PackedHeader& header);

// What the packer puts into the fields the expander ignores.
inline constexpr std::array<uint8_t, 3> kPackerSignature{'S', 'S', 'Z'};

// Collects the name line one byte at a time. The line ends after a LF or after kMaxNameLine
// bytes; the last byte taken and the one before it (the CR) are not part of the name.
class NameLineReader {
 public:
  // Takes one byte; false once the line is complete.
  bool Take(uint8_t byte);
  std::string Name() const;

 private:
  std::string bytes_;
  bool complete_ = false;
};

// The name line as the packer writes it: the name followed by CR LF. Empty when the name is
// too long to be read back or holds a line break.
std::optional<std::string> MakeNameLine(std::string_view name);

}  // namespace dearc32
