// The REGEDIT4 parser. It only reads: every fault is reported with its line before anything is
// applied, so a file with a mistake near its end changes nothing.
#include <cstring>

#include "platform/system/errors.h"
#include "platform/registry/regedit4.h"

namespace platform {

namespace {

struct ParseFault {
  std::string message;
};

[[noreturn]] void Fault(std::string message) { throw ParseFault{std::move(message)}; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to `maxDigits` hex digits and nothing else.
uint32_t ParseHexNumber(std::string_view digits, size_t maxDigits, const char* what) {
  if (digits.empty() || digits.size() > maxDigits) Fault(std::string("bad ") + what);
  uint32_t value = 0;
  for (char c : digits) {
    int d = HexDigit(c);
    if (d < 0) Fault(std::string("bad ") + what);
    value = value << 4 | static_cast<uint32_t>(d);
  }
  return value;
}

// `prefix` is given in lower case.
bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = s[i] >= 'A' && s[i] <= 'Z' ? static_cast<char>(s[i] - 'A' + 'a') : s[i];
    if (c != prefix[i]) return false;
  }
  return true;
}

// The line without a comment: from the first ';' outside double quotes (a backslash escapes
// the next character inside them).
std::string_view WithoutComment(std::string_view line) {
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (quoted && line[i] == '\\') {
      ++i;
    } else if (line[i] == '"') {
      quoted = !quoted;
    } else if (line[i] == ';' && !quoted) {
      return line.substr(0, i);
    }
  }
  return line;
}

bool IsCommentLine(std::string_view line) {
  return !line.empty() && (line.front() == ';' || line.front() == '#');
}

// Whether a value line's data is a hex list ("hex:" or "hex(n):"), the only data that may go on
// over several lines.
bool HasHexData(std::string_view line) {
  size_t pos = 0;
  if (!line.empty() && line.front() == '"') {
    for (pos = 1; pos < line.size() && line[pos] != '"'; ++pos) {
      if (line[pos] == '\\') ++pos;
    }
    ++pos;
  } else if (!line.empty() && line.front() == '@') {
    pos = 1;
  } else {
    return false;
  }
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  if (pos >= line.size() || line[pos] != '=') return false;
  std::string_view data = Trim(line.substr(pos + 1));
  return StartsWithNoCase(data, "hex:") || StartsWithNoCase(data, "hex(");
}

// Lines with their numbers; comments (a line starting with ';' or '#', or ';' after a value's
// data) taken off. Hex data ending in "\" goes on with the next line that is not blank, and only
// between whole bytes; a continuation at the end of the text simply ends the data.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : rest_(text) {
    if (rest_.substr(0, 3) == "\xEF\xBB\xBF") rest_.remove_prefix(3);  // a UTF-8 byte-order mark
  }

  bool Next(std::string* line, size_t* number) {
    std::string_view physical;
    if (!Physical(&physical)) return false;
    *number = number_;
    std::string_view first = Trim(physical);
    if (first.empty() || IsCommentLine(first)) {
      line->clear();
      return true;
    }
    line->assign(first.front() == '"' || first.front() == '@' ? Trim(WithoutComment(first)) : first);
    if (line->empty() || line->back() != '\\' || line->front() == '[') return true;
    if (!HasHexData(*line)) Fault("only hex data may go on over the next line");
    while (!line->empty() && line->back() == '\\') {
      line->pop_back();
      while (!line->empty() && IsBlank(line->back())) line->pop_back();
      if (!line->empty() && line->back() != ',' && line->back() != ':') {
        Fault("hex data may go on over the next line only between whole bytes");
      }
      std::string_view next;
      do {
        if (!Physical(&next)) return true;
        next = Trim(WithoutComment(next));
      } while (next.empty());
      line->append(next);
    }
    return true;
  }

 private:
  bool Physical(std::string_view* line) {
    if (rest_.empty()) return false;
    size_t end = rest_.find('\n');
    *line = rest_.substr(0, end);
    rest_.remove_prefix(end == std::string_view::npos ? rest_.size() : end + 1);
    if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
    ++number_;
    return true;
  }

  std::string_view rest_;
  size_t number_ = 0;
};

// A double-quoted string starting at s[*pos]; leaves *pos after the closing quote.
std::string ReadQuoted(std::string_view s, size_t* pos) {
  std::string out;
  for (size_t i = *pos + 1; i < s.size(); ++i) {
    if (s[i] == '"') {
      *pos = i + 1;
      return out;
    }
    if (s[i] == '\\') {
      if (++i == s.size() || (s[i] != '\\' && s[i] != '"')) Fault("bad escape in a string");
    }
    out.push_back(s[i]);
  }
  Fault("string without its closing quote");
}

std::vector<uint8_t> ParseBytes(std::string_view list) {
  std::vector<uint8_t> bytes;
  list = Trim(list);
  while (!list.empty()) {
    size_t comma = list.find(',');
    std::string_view item = Trim(list.substr(0, comma));
    bytes.push_back(static_cast<uint8_t>(ParseHexNumber(item, 2, "byte in a hex list")));
    if (comma == std::string_view::npos) break;
    list = Trim(list.substr(comma + 1));  // a comma may also end the list
  }
  return bytes;
}

// Expandable and multiple strings are stored with their final zero, as the registry editor
// stores them: one after an expandable string, two after the last of multiple strings.
void EndStrings(RegeditValue* value) {
  std::vector<uint8_t>& d = value->data;
  if (value->type == kRegExpandSz) {
    if (d.empty() || d.back() != 0) d.push_back(0);
  } else if (value->type == kRegMultiSz) {
    if (d.empty()) {
      d.push_back(0);
    } else if (d.back() != 0) {
      d.insert(d.end(), {0, 0});
    } else if (d.size() >= 2 && d[d.size() - 2] != 0) {
      d.push_back(0);
    }
  }
}

void ParseData(std::string_view data, RegeditValue* value) {
  if (data == "-") {
    value->remove = true;
  } else if (!data.empty() && data.front() == '"') {
    size_t pos = 0;
    std::string text = ReadQuoted(data, &pos);
    if (!Trim(data.substr(pos)).empty()) Fault("text after the closing quote");
    value->type = kRegSz;
    value->data.assign(text.begin(), text.end());
    value->data.push_back(0);
  } else if (StartsWithNoCase(data, "dword:")) {
    uint32_t number = ParseHexNumber(Trim(data.substr(6)), 8, "dword value");
    value->type = kRegDword;
    value->data.resize(4);
    std::memcpy(value->data.data(), &number, 4);
  } else if (StartsWithNoCase(data, "hex:")) {
    value->type = kRegBinary;
    value->data = ParseBytes(data.substr(4));
  } else if (StartsWithNoCase(data, "hex(")) {
    size_t close = data.find("):");
    if (close == std::string_view::npos) Fault("bad hex(type): prefix");
    value->type = ParseHexNumber(data.substr(4, close - 4), 8, "value type");
    value->data = ParseBytes(data.substr(close + 2));
    if (value->type == kRegDword && value->data.size() != 4) Fault("a dword needs 4 bytes");
    EndStrings(value);
  } else {
    Fault("unknown kind of value data");
  }
}

RegeditValue ParseValue(std::string_view line) {
  RegeditValue value;
  size_t pos = 1;
  if (line.front() == '"') {
    pos = 0;
    value.name = ReadQuoted(line, &pos);
  }
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  if (pos == line.size() || line[pos] != '=') Fault("expected '=' after the value name");
  ParseData(Trim(line.substr(pos + 1)), &value);
  return value;
}

RegeditSection ParseSection(std::string_view line) {
  if (line.back() != ']') Fault("key name without its closing ']'");
  std::string_view inner = line.substr(1, line.size() - 2);
  RegeditSection section;
  if (!inner.empty() && inner.front() == '-') {
    section.remove = true;
    inner.remove_prefix(1);
  }
  std::string_view subKey;
  if (!SplitRootedPath(inner, &section.root, &subKey)) Fault("unknown root key");
  section.path = subKey;
  return section;
}

void ParseLine(std::string_view line, size_t number, std::vector<RegeditSection>* sections) {
  if (line.empty() || IsCommentLine(line)) return;
  if (line.front() == '[') {
    sections->push_back(ParseSection(line));
    sections->back().line = number;
  } else if (line.front() == '"' || line.front() == '@') {
    if (sections->empty()) Fault("value before the first key");
    if (sections->back().remove) Fault("value under a key that is being deleted");
    sections->back().values.push_back(ParseValue(line));
    sections->back().values.back().line = number;
  } else {
    Fault("line is neither a key, a value nor a comment");
  }
}

}  // namespace

RegeditError ParseRegedit4(std::string_view text, std::vector<RegeditSection>* sections) {
  sections->clear();
  LineReader reader(text);
  std::string line;
  size_t number = 0;
  try {
    while (reader.Next(&line, &number) && line.empty()) {
    }
    if (line != "REGEDIT4") {
      return {kErrorBadFormat, number, "the text does not start with REGEDIT4"};
    }
    while (reader.Next(&line, &number)) ParseLine(line, number, sections);
  } catch (const ParseFault& fault) {
    return {kErrorBadFormat, number, fault.message};
  }
  return {};
}

}  // namespace platform
