// The scanner library's message-file loader on arbitrary text, then lookups of texts taken
// from the input itself, so that matching entries are exercised too.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "scancore/message_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  CMessageFile file;
  file.LoadText(text);
  if (file.size() > CMessageFile::kMaxEntries) __builtin_trap();
  // Every quoted piece of the input is a candidate key.
  size_t start = text.find('"');
  while (start != std::string_view::npos) {
    const size_t end = text.find('"', start + 1);
    if (end == std::string_view::npos) break;
    const std::string translated = file.Translate(text.substr(start + 1, end - start - 1));
    (void)translated;
    start = text.find('"', end + 1);
  }
  (void)file.Translate(text.substr(0, 200));
  return 0;
}
