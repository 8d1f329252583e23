// Resource scripts: the subset of the .rc language that string tables and dialogs are written in.
//
// Read:
//   - STRINGTABLE [options] BEGIN|{ id [,] "text" ... END|}: ids are numbers, #define'd names or
//     sums of them; texts take "" for a quote and the escapes \n \t \r \a \\ \" (any other
//     backslash stays as written); adjacent literals are joined.
//   - name DIALOG|DIALOGEX x, y, cx, cy [, help] then STYLE, EXSTYLE, CAPTION, FONT, CLASS, MENU,
//     LANGUAGE, CHARACTERISTICS, VERSION lines, then a BEGIN ... END block of controls: CONTROL,
//     LTEXT, RTEXT, CTEXT, PUSHBUTTON, DEFPUSHBUTTON, EDITTEXT, LISTBOX, COMBOBOX, GROUPBOX,
//     CHECKBOX, AUTOCHECKBOX, RADIOBUTTON, AUTORADIOBUTTON, STATE3, AUTO3STATE, ICON, SCROLLBAR.
//     Each control keyword adds its usual styles (and WS_CHILD | WS_VISIBLE); a style expression
//     adds more, and "NOT X" takes X away. Style names the window system knows have their Win32
//     values; unknown style names count as 0, while an unknown name where an id is needed is an
//     error.
//   - #define NAME expression, #undef, and #if/#ifdef/#ifndef/#elif/#else/#endif (an undefined
//     name is 0); #include and #pragma lines are passed over. Comments // and /* */.
//   - Other resources (ICON, BITMAP, MENU, VERSIONINFO, ACCELERATORS, TEXTINCLUDE, ...) and
//     LANGUAGE statements are passed over, blocks and all.
// Text must be UTF-8 (a leading byte-order mark is skipped). Input is refused, with the line
// where it goes wrong, when it holds a NUL byte or invalid UTF-8, a line longer than
// kMaxLineLength, more than kMaxScriptSize bytes, an unterminated string or comment, a block
// without its END, a duplicate string or dialog id, or anything outside the subset.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/modules/dialog_template.h"

namespace platform {

struct ResourceError {
  int line = 0;
  std::string message;
  std::string ToString() const;  // "line 12: ..."
};

struct ResourceScript {
  std::map<uint32_t, std::string> strings;
  std::vector<DialogTemplate> dialogs;
  std::map<std::string, uint32_t> defines;  // numeric #defines, as left at the end

  const std::string* String(uint32_t id) const;
  const DialogTemplate* Dialog(const ResourceId& id) const;
};

inline constexpr size_t kMaxLineLength = 8192;
inline constexpr size_t kMaxScriptSize = 4 * 1024 * 1024;

// Either the script or the first error; never both.
struct ResourceParseResult {
  std::optional<ResourceScript> script;
  ResourceError error;
  bool ok() const { return script.has_value(); }
};

ResourceParseResult ParseResourceScript(std::string_view text);

}  // namespace platform
