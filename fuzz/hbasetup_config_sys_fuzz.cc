// CONFIG.SYS texts of any content (long lines, NUL bytes, no line ends) and any names: the edit
// keeps every line it does not remove, byte for byte and in order, and removes only lines that
// name a driver. The input's first byte 0x01 ends the list of names, one a line.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "config_sys.h"

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace hbasetup;
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\x01');
  const std::string head = split == std::string::npos ? std::string() : input.substr(0, split);
  const std::string text = split == std::string::npos ? input : input.substr(split + 1);
  std::vector<std::string> values;
  for (size_t pos = 0; pos < head.size();) {
    size_t end = head.find('\n', pos);
    if (end == std::string::npos) end = head.size();
    values.push_back(head.substr(pos, end - pos));
    pos = end + 1;
  }
  const std::vector<std::string> names = NamesToRemove(values);
  size_t removed = 0;
  const std::string out = RemoveNamedLines(text, names, &removed);
  Check(out.size() <= text.size());
  if (names.empty()) Check(out == text && removed == 0);
  // The output is the input's lines less some: walking both, every kept line matches in order.
  size_t at = 0;
  size_t lines = 0;
  for (size_t pos = 0; pos < text.size(); ++lines) {
    size_t end = text.find('\n', pos);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string line = text.substr(pos, end - pos);
    if (out.compare(at, line.size(), line) == 0 && RemoveNamedLines(line, names).size() == line.size()) {
      at += line.size();
    }
    pos = end;
  }
  Check(at == out.size());
  Check(removed <= lines);
  return 0;
}
