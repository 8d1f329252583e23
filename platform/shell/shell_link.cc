#include "platform/shell/shell_link.h"

#include <algorithm>

namespace platform {
namespace {

constexpr uint32_t kHeaderSize = 0x4C;
// 00021401-0000-0000-C000-000000000046 as stored: the first three fields little-endian.
constexpr unsigned char kLinkClass[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void PutCounted(std::string& out, std::string_view text) {
  const size_t n = std::min<size_t>(text.size(), 0xFFFF);
  out += static_cast<char>(n & 0xFF);
  out += static_cast<char>(n >> 8);
  out.append(text.substr(0, n));
}

}  // namespace

std::string ShellLinkBytes(const ShellLinkData& link) {
  const std::string_view strings[] = {link.description, link.target, link.workingFolder,
                                      link.arguments, link.icon};
  const uint32_t bits[] = {kLinkHasName, kLinkHasRelativePath, kLinkHasWorkingDir,
                           kLinkHasArguments, kLinkHasIconLocation};
  uint32_t flags = 0;
  for (size_t i = 0; i < 5; ++i) {
    if (!strings[i].empty()) flags |= bits[i];
  }
  std::string out;
  Put32(out, kHeaderSize);
  out.append(reinterpret_cast<const char*>(kLinkClass), sizeof kLinkClass);
  Put32(out, flags);
  Put32(out, 0);                       // target attributes: unknown
  out.append(24, '\0');                // creation, access and write times: unknown
  Put32(out, 0);                       // target size
  Put32(out, 0);                       // icon index
  Put32(out, link.showCommand);
  out.append(2 + 2 + 4 + 4, '\0');     // hot key, reserved
  for (size_t i = 0; i < 5; ++i) {
    if (!strings[i].empty()) PutCounted(out, strings[i]);
  }
  Put32(out, 0);                       // terminal block
  return out;
}

void SplitCommandLine(std::string_view commandLine, std::string* program, std::string* arguments) {
  const size_t start = commandLine.find_first_not_of(" \t");
  if (start == std::string_view::npos) {
    program->clear();
    arguments->clear();
    return;
  }
  std::string_view rest = commandLine.substr(start);
  size_t end = 0;
  if (rest[0] == '"') {
    const size_t close = rest.find('"', 1);
    *program = std::string(rest.substr(1, close == std::string_view::npos ? std::string_view::npos
                                                                          : close - 1));
    end = close == std::string_view::npos ? rest.size() : close + 1;
  } else {
    end = std::min(rest.find_first_of(" \t"), rest.size());
    *program = std::string(rest.substr(0, end));
  }
  rest = rest.substr(end);
  const size_t args = rest.find_first_not_of(" \t");
  *arguments = args == std::string_view::npos ? std::string() : std::string(rest.substr(args));
}

}  // namespace platform
