// Resource scripts of any content: the parser gives either a script or an error with a line that
// lies within the text, never both, never a crash, and the same answer every time.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/modules/resources.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

int LineCount(std::string_view text) {
  int lines = 1;
  for (char c : text) lines += c == '\n';
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  platform::ResourceParseResult first = platform::ParseResourceScript(text);
  if (!first.ok()) {
    Check(first.error.line >= 1 && first.error.line <= LineCount(text));
    Check(!first.error.message.empty());
  } else {
    for (const auto& [id, string] : first.script->strings) Check(id <= 0xFFFF);
    const auto& dialogs = first.script->dialogs;
    for (size_t i = 0; i < dialogs.size(); ++i) {
      Check(first.script->Dialog(dialogs[i].id) == &dialogs[i]);  // ids are unique
      for (const auto& control : dialogs[i].controls) {
        Check(control.line >= 1 && control.line <= LineCount(text));
      }
    }
  }
  platform::ResourceParseResult again = platform::ParseResourceScript(text);
  Check(again.ok() == first.ok() && again.error.line == first.error.line);
  return 0;
}
