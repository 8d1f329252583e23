// REGEDIT4 text: the plain-text form in which registry keys and values are exported, shipped
// with installers and imported again.
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\Software\Example]
//   @="the key's default value"
//   "Path"="C:\\SCAN\\BIN"          strings escape only \\ and \"
//   "Count"=dword:0000001f
//   "Table"=hex:01,02,03,\          a trailing backslash continues hex data
//     04,05
//   "Other"=hex(7):41,00,00,00      any other type, as bytes
//   "Old"=-                         deletes the value
//   [-HKEY_LOCAL_MACHINE\Software\Old]   deletes the key and everything below it
//
// Lines end in CR LF or LF. Blank lines and lines starting with ';' or '#' are skipped, and so
// is a ';' comment after a value's data (outside quotes). Only hex data goes on over the next
// line, and only between whole bytes ("01,02,\"); blank lines between are skipped, and a
// continuation at the very end of the text ends the data. Data of hex(2) and hex(7) get their
// final zero (one, and two after the last string) when the text leaves it out. An export ends
// with a blank line after the last key. All as Windows' registry editor does.
//
// Where import differs from Windows, on purpose: it is all or nothing. Windows applies a file
// line by line and stops at a fault with half of it applied; here a fault anywhere names its
// line and changes nothing, so a broken installer file never leaves a half-made configuration.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry/registry.h"

namespace platform {

// "HKEY_LOCAL_MACHINE" or "HKLM", "HKEY_CURRENT_USER" or "HKCU", "HKEY_CLASSES_ROOT" or "HKCR",
// in any case. Returns false for any other name.
bool ParseRootName(std::string_view name, RegKey* root);
// The long name of a root key; empty for anything else.
std::string_view RootName(RegKey root);
// Splits "HKLM\Software\X" into the root and the path below it ("Software\X").
bool SplitRootedPath(std::string_view path, RegKey* root, std::string_view* subKey);

struct RegeditValue {
  size_t line = 0;
  std::string name;  // "" for the default value
  bool remove = false;
  uint32_t type = kRegNone;
  std::vector<uint8_t> data;  // REG_SZ with its terminating zero
};

struct RegeditSection {
  size_t line = 0;
  RegKey root = 0;
  std::string path;  // below the root; empty for the root itself
  bool remove = false;
  std::vector<RegeditValue> values;
};

struct RegeditError {
  long code = 0;    // a Win32 error code; 0 for success
  size_t line = 0;  // 1-based line the fault is on; 0 when it is not tied to a line
  std::string message;
  bool ok() const { return code == 0; }
};

// Reads the whole text without touching any registry. On a fault, `sections` is unspecified
// and the error names the line (code kErrorBadFormat).
RegeditError ParseRegedit4(std::string_view text, std::vector<RegeditSection>* sections);

// Applies the sections in one transaction: all of them, or on any failure none. Deleting a key
// or value that does not exist is not a failure; deleting a root is.
RegeditError ApplyRegedit4(Registry& registry, const std::vector<RegeditSection>& sections);

// ParseRegedit4 and then ApplyRegedit4.
RegeditError ImportRegedit4(Registry& registry, std::string_view text);

// Writes the key at `path` ("HKEY_LOCAL_MACHINE\Software\X", short root names allowed) and
// everything below it, or all three roots when `path` is empty, as REGEDIT4 text with CR LF
// line ends. Strings that the text form cannot carry (a zero inside, a line break, no final
// zero) are written as hex(1) so that an import gives back the same bytes.
long ExportRegedit4(Registry& registry, std::string_view path, std::string* text);

}  // namespace platform
