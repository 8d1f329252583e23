// Shortcut files (.LNK) in the shell link layout the shell of the time wrote: the 76-byte header
// (size 0x4C, class 00021401-0000-0000-C000-000000000046, flags, attributes, three times, size,
// icon index, show command, hot key, reserved), then the counted strings the flags announce, in
// the system code page: description, relative path, working folder, arguments, icon location;
// then the empty terminal block. No item list and no volume information: a link that names its
// target by path only, which the shell resolves when the link is opened.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

inline constexpr uint32_t kLinkHasName = 0x04;
inline constexpr uint32_t kLinkHasRelativePath = 0x08;
inline constexpr uint32_t kLinkHasWorkingDir = 0x10;
inline constexpr uint32_t kLinkHasArguments = 0x20;
inline constexpr uint32_t kLinkHasIconLocation = 0x40;

struct ShellLinkData {
  std::string description;
  std::string target;         // the program's path
  std::string workingFolder;
  std::string arguments;
  std::string icon;
  uint32_t showCommand = 1;   // SW_SHOWNORMAL
};

// The file's bytes. A string is announced only when it is not empty; one longer than 65535
// characters is cut there, as its count is 16 bits.
std::string ShellLinkBytes(const ShellLinkData& link);

// A command line's program (quoted or up to the first blank) and the rest after it.
void SplitCommandLine(std::string_view commandLine, std::string* program, std::string* arguments);

}  // namespace platform
