#include <cstdio>
#include <cstring>

#include "platform/com/com.h"

namespace platform::com {

bool GUID::operator==(const GUID& o) const {
  return Data1 == o.Data1 && Data2 == o.Data2 && Data3 == o.Data3 && std::memcmp(Data4, o.Data4, 8) == 0;
}

std::string GuidToString(const GUID& g) {
  char text[39];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
                g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

namespace {
bool HexDigits(std::string_view s, size_t at, size_t count, uint64_t* out) {
  uint64_t v = 0;
  for (size_t i = at; i < at + count; ++i) {
    char c = s[i];
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) return false;
    v = v << 4 | static_cast<uint64_t>(d);
  }
  *out = v;
  return true;
}
}  // namespace

std::optional<GUID> ParseGuid(std::string_view s) {
  if (s.size() != 38 || s[0] != '{' || s[37] != '}' || s[9] != '-' || s[14] != '-' || s[19] != '-' ||
      s[24] != '-') {
    return std::nullopt;
  }
  GUID g;
  uint64_t v = 0;
  if (!HexDigits(s, 1, 8, &v)) return std::nullopt;
  g.Data1 = static_cast<uint32_t>(v);
  if (!HexDigits(s, 10, 4, &v)) return std::nullopt;
  g.Data2 = static_cast<uint16_t>(v);
  if (!HexDigits(s, 15, 4, &v)) return std::nullopt;
  g.Data3 = static_cast<uint16_t>(v);
  const size_t at[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!HexDigits(s, at[i], 2, &v)) return std::nullopt;
    g.Data4[i] = static_cast<uint8_t>(v);
  }
  return g;
}

}  // namespace platform::com
