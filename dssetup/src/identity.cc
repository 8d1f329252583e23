#include "identity.h"

#include <algorithm>
#include <cstdio>

namespace dssetup {
namespace {

uint16_t Word(std::span<const uint8_t> d, size_t at) {
  return static_cast<uint16_t>(d[at] | d[at + 1] << 8);
}

// Reads a header and the data it announces.
bool ReadReply(IdentityTransport& t, uint8_t* status, std::vector<uint8_t>* data) {
  uint8_t header[4] = {};
  if (!t.Read(header)) return false;
  *status = header[1];
  const uint16_t length = static_cast<uint16_t>(header[2] | header[3] << 8);
  data->assign(length, 0);
  return length == 0 || t.Read(*data);
}

}  // namespace

void ParseIdentityData(std::span<const uint8_t> d, IdentityData* out) {
  if (d.size() >= 1) out->levelLetterB = d[0] == 'B';
  if (d.size() >= 2) out->levelDigit = d[1] - '0';
  size_t at = 2;
  while (at < d.size()) {
    if (d[at] == 'A' && at + 5 <= d.size()) {
      out->maxWidth = Word(d, at + 1);
      out->maxHeight = Word(d, at + 3);
      at += 5;
    } else if (d[at] == 'R' && at + 3 <= d.size()) {
      const uint16_t r = Word(d, at + 1);
      if (out->resolutions.size() < kMaxResolutions) {
        out->resolutions.push_back(r);
        out->minResolution = std::min(out->minResolution, r);
        out->maxResolution = std::max(out->maxResolution, r);
      }
      at += 3;
    } else {
      break;
    }
  }
  out->levelValue = out->levelDigit >= 4 ? 0x8000 : 0x1000;
}

bool RunIdentityExchange(IdentityTransport& t, IdentityData* out) {
  *out = IdentityData{};
  static constexpr uint8_t kIdentify[] = {0x1B, 'I'};
  static constexpr uint8_t kStatus[] = {0x1B, 0x3F};
  uint8_t status = 0;
  std::vector<uint8_t> data;
  if (!t.Write(kIdentify) || !ReadReply(t, &status, &data)) return false;
  out->statusFlag = (status & 0x10) != 0;
  if (!data.empty()) ParseIdentityData(data, out);
  if (!t.Write(kStatus) || !ReadReply(t, &status, &out->secondReply)) return false;
  return true;
}

std::string SizeText(uint16_t dots, uint16_t resolution) {
  if (resolution == 0) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%.2f cm", dots / static_cast<double>(resolution) * 2.54);
  return text;
}

}  // namespace dssetup
