// Checks on the raw bytes of a resource script, before any of it is read as tokens.
#include "rc_lexer.h"

namespace platform::rc {
namespace {

// The length of the UTF-8 sequence starting at `s[i]`, or 0 when it is not a valid one
// (overlong forms, surrogates and values past U+10FFFF included).
size_t Utf8Length(std::string_view s, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b = byte(i);
  if (b < 0x80) return 1;
  size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
  if (n == 0 || b > 0xF4 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  unsigned char c = byte(i + 1);
  if (b == 0xE0 && c < 0xA0) return 0;  // overlong
  if (b == 0xED && c >= 0xA0) return 0;  // surrogate
  if (b == 0xF0 && c < 0x90) return 0;  // overlong
  if (b == 0xF4 && c >= 0x90) return 0;  // past U+10FFFF
  return n;
}

}  // namespace

std::optional<ResourceError> CheckText(std::string_view text) {
  if (text.size() > kMaxScriptSize) {
    return ResourceError{1, "the script is larger than " + std::to_string(kMaxScriptSize) + " bytes"};
  }
  int line = 1;
  size_t lineStart = 0;
  for (size_t i = 0; i < text.size();) {
    char c = text[i];
    if (c == '\0') return ResourceError{line, "NUL byte in the text"};
    if (c == '\n') {
      ++line;
      lineStart = ++i;
      continue;
    }
    if (i - lineStart >= kMaxLineLength) {
      return ResourceError{line, "line longer than " + std::to_string(kMaxLineLength) + " bytes"};
    }
    size_t n = Utf8Length(text, i);
    if (n == 0) return ResourceError{line, "invalid UTF-8"};
    i += n;
  }
  return std::nullopt;
}

}  // namespace platform::rc
