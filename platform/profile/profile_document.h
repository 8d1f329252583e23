// A profile file held as its lines, each classified but kept byte for byte, so that an edit
// rewrites only the lines it changes.
//
// As Windows reads profile files: the text ends at the first zero byte, and a line ends at LF,
// CR LF or a lone CR. The bytes from the first zero on are kept as they are and edits go before
// them (Windows would drop them on its next write; they may be the remains of something worth
// keeping).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class ProfileDocument {
 public:
  enum class Kind { kOther, kSection, kEntry };
  // Places within the line, not views into the text: a line moved by an edit needs only its
  // begin changed, and a document can be copied.
  struct Line {
    size_t begin = 0;    // offset of the line in the text
    size_t length = 0;   // without its line ending
    size_t ending = 0;   // length of its line ending: 0, 1 (LF or a lone CR) or 2 (CR LF)
    Kind kind = Kind::kOther;
    uint32_t nameAt = 0;  // section name, or key: from the line's begin
    uint32_t nameLength = 0;
    uint32_t valueAt = 0;  // trimmed and unquoted value of an entry
    uint32_t valueLength = 0;
    bool operator==(const Line&) const = default;
  };

  // An edit: bytes [from, to) of the text, the lines [firstLine, lastLine), give way to `inserted`,
  // which starts with the line ending the edit puts after a last line that had none (`ending`
  // bytes of it) and goes on with the new lines.
  struct Edit {
    size_t firstLine = 0;
    size_t lastLine = 0;
    size_t from = 0;
    size_t to = 0;
    std::string inserted;
    size_t ending = 0;
  };

  explicit ProfileDocument(std::string text);
  // `base` with `edit` (an edit of it) made.
  ProfileDocument(const ProfileDocument& base, const Edit& edit);
  // Makes `edit`, an edit of this document, in place: only the lines it puts in are read; the
  // others keep their place or move along.
  void Apply(const Edit& edit);

  const std::string& text() const { return text_; }
  const std::vector<Line>& lines() const { return lines_; }
  std::string_view Name(const Line& line) const {
    return std::string_view(text_).substr(line.begin + line.nameAt, line.nameLength);
  }
  std::string_view Value(const Line& line) const {
    return std::string_view(text_).substr(line.begin + line.valueAt, line.valueLength);
  }

  // Index of the first section header named `section`, without regard to case.
  std::optional<size_t> FindSection(std::string_view section) const;
  // The header after `sectionLine`, or the line count: the section's lines lie between.
  size_t SectionEnd(size_t sectionLine) const;
  std::optional<size_t> FindEntry(size_t sectionLine, std::string_view key) const;
  // Where a new entry of the section goes: after its last non-blank line.
  size_t InsertionPoint(size_t sectionLine) const;
  // The line ending new lines should use: the file's own, else CR LF.
  std::string_view NewLine() const;

  // The same text read into the same lines.
  friend bool operator==(const ProfileDocument& a, const ProfileDocument& b) = default;

  // The edit that puts `replacement` in place of lines [first, last); the document itself is not
  // changed.
  Edit ReplaceLines(size_t first, size_t last, std::string_view replacement) const;

 private:
  void Parse();
  bool Splice(const Edit& edit);
  void IndexSections();
  std::string text_;
  size_t end_ = 0;  // where the text ends for reading: the first zero byte, or its size
  std::vector<Line> lines_;
  std::vector<size_t> sections_;  // the section headers among the lines, in order
};

std::string_view TrimBlanks(std::string_view s);

}  // namespace platform
