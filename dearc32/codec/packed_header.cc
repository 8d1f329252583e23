#include "packed_header.h"

namespace dearc32 {
namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) { return uint32_t{Get16(p)} | uint32_t{Get16(p + 2)} << 16; }

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, static_cast<uint16_t>(v));
  Put16(p + 2, static_cast<uint16_t>(v >> 16));
}

}  // namespace

PackedHeader ParseHeader(const HeaderBytes& b) {
  PackedHeader h;
  h.signature = {b[0], b[1], b[2]};
  h.expandedSize = Get32(&b[3]);
  h.reserved = Get32(&b[7]);
  h.dosDate = Get16(&b[11]);
  h.dosTime = Get16(&b[13]);
  h.attributes = Get16(&b[15]);
  h.versionLs = Get32(&b[17]);
  h.versionMs = Get32(&b[21]);
  h.crc = Get32(&b[25]);
  return h;
}

HeaderBytes SerializeHeader(const PackedHeader& h) {
  HeaderBytes b{};
  b[0] = h.signature[0];
  b[1] = h.signature[1];
  b[2] = h.signature[2];
  Put32(&b[3], h.expandedSize);
  Put32(&b[7], h.reserved);
  Put16(&b[11], h.dosDate);
  Put16(&b[13], h.dosTime);
  Put16(&b[15], h.attributes);
  Put32(&b[17], h.versionLs);
  Put32(&b[21], h.versionMs);
  Put32(&b[25], h.crc);
  return b;
}

bool NameLineReader::Take(uint8_t byte) {
  if (complete_) return false;
  bytes_.push_back(static_cast<char>(byte));
  complete_ = byte == '\n' || bytes_.size() == kMaxNameLine;
  return !complete_;
}

std::string NameLineReader::Name() const {
  // An unfinished line (the file ended inside it) keeps all it has; a finished one loses its
  // terminator and the byte before it.
  if (!complete_) return bytes_;
  return bytes_.size() >= 2 ? bytes_.substr(0, bytes_.size() - 2) : std::string();
}

std::optional<std::string> MakeNameLine(std::string_view name) {
  if (name.size() > kMaxStoredName) return std::nullopt;
  if (name.find_first_of("\r\n") != std::string_view::npos) return std::nullopt;
  std::string line(name);
  line += "\r\n";
  return line;
}

}  // namespace dearc32
