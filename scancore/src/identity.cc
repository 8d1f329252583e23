#include "identity.h"

#include <algorithm>

namespace scancore {

namespace {

// Inquiry text fields are read as C strings: a NUL ends the field early.
std::string Text(const uint8_t* inquiry, size_t offset, size_t length) {
  const char* begin = reinterpret_cast<const char*>(inquiry + offset);
  return std::string(begin, std::find(begin, begin + length, '\0'));
}

}  // namespace

std::string FirmwareVersion(const uint8_t* inquiry) {
  const std::string raw = Text(inquiry, 32, 4);
  if (raw.size() >= 2 && raw[1] == '.') return raw;
  const std::string minor = raw.size() > 2 ? raw.substr(2) : std::string();
  if (!raw.empty() && raw[0] == '0') return raw.substr(1, 1) + "." + minor;
  return raw.substr(0, 2) + "." + minor;
}

std::string FirmwareDate(const uint8_t* inquiry) {
  return Text(inquiry, 100, 3) + ". " + Text(inquiry, 104, 2) + ", " + Text(inquiry, 107, 4);
}

std::string VendorText(const uint8_t* inquiry) {
  const char* begin = reinterpret_cast<const char*>(inquiry + 8);
  std::string text(begin, std::find(begin, begin + 8, '\0'));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

Option InstalledOption(const uint8_t* inquiry) {
  if (inquiry[37] & 0x20) return kOptionSecond;
  if (inquiry[37] & 0x40) return kOptionFirst;
  return kOptionNone;
}

uint8_t AdBits(const uint8_t* inquiry) {
  if (inquiry[39] & 0x20) return 12;
  if (inquiry[37] & 0x80) return 10;
  return 8;
}

uint16_t OpticalResolution(const uint8_t* inquiry) {
  return static_cast<uint16_t>((inquiry[48] << 8) | inquiry[49]);
}

bool WaitsForFirmware(const uint8_t* inquiry) { return (inquiry[40] & 0x02) != 0; }

uint8_t FirmwareId(const uint8_t* inquiry) { return inquiry[41]; }

}  // namespace scancore
