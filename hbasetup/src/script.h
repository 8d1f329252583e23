// The setup script SETUP32.INI: its Display fields and its sections, read whole as the program
// reads them: at most 2048 bytes of zero-separated lines (a section that does not fit reads as
// empty), comment lines kept so that a reader can tell them, and "<GROUp>" (any case) replaced
// by the group name.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hbasetup {

inline constexpr size_t kSectionBuffer = 2048;

struct DisplayFields {
  std::string bShow = "YES";
  std::string groupName = "Korin Technology Corp";
  std::string deviceId = "8002";
  std::string title = "RQB482X";
  std::string driver;

  bool ShowsWelcome() const { return bShow == "YES"; }  // exact, case-sensitive
};

// One line of a section, blanks trimmed.
struct ScriptLine {
  std::string text;
  bool IsComment() const { return !text.empty() && text[0] == ';'; }
};

class SetupScript {
 public:
  // The script's text (empty for an absent script).
  explicit SetupScript(std::string text);

  const DisplayFields& display() const { return display_; }
  // Every line of the section in order, comments included, after the group name went in.
  std::vector<ScriptLine> Section(std::string_view name) const;
  // The lines that are not comments.
  std::vector<std::string> Lines(std::string_view name) const;
  // One key's value read on its own, as a profile string (so without the whole-section limit),
  // blanks trimmed, after the group name went in; empty when the key is missing.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;

 private:
  std::optional<std::vector<std::string>> RawSection(std::string_view name) const;
  std::string text_;
  DisplayFields display_;
};

// The section's zero-separated lines as the whole-section read returns them; empty when they
// total 2046 bytes or more (the read then tells a cut-off by returning the buffer size less 2,
// so the program cannot tell 2046 from a longer section).
std::vector<std::string> FitSection(std::vector<std::string> lines);
// Replaces every "<GROUp>" (any case) by `group` unless it is empty; other '<' stay. Lines that
// would no longer fit the 2048-byte buffer after the replacement are left out, so a long group
// name never makes the section outgrow it.
std::string ReplaceGroupIn(std::string_view line, std::string_view group);
std::vector<std::string> ReplaceGroup(std::vector<std::string> lines, std::string_view group);

// A line's value in the one-character-key sections (execute, uninstall, extra files): the text
// after the key and '='; empty for a line shorter than that.
std::string KeyedValue(std::string_view line);

}  // namespace hbasetup
