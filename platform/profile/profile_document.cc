#include "profile_document.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/files/winpath.h"

namespace platform {

std::string_view TrimBlanks(std::string_view s) {
  // Space, tab, CR, VT and FF as bits of one mask: a single test a character.
  constexpr uint64_t kBlanks = (1ull << ' ') | (1ull << '\t') | (1ull << '\r') | (1ull << '\v') |
                               (1ull << '\f');
  auto blank = [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u <= ' ' && ((kBlanks >> u) & 1) != 0;
  };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

namespace {
// Where the line starting at `pos` ends: its first CR or LF, or the end of the text. Two searches
// for single bytes, not one for a set of two, which tests every byte against the set in turn.
size_t LineEnd(std::string_view all, size_t pos) {
  const char* from = all.data() + pos;
  const size_t rest = all.size() - pos;
  const void* lf = std::memchr(from, '\n', rest);
  const size_t lfAt = lf ? static_cast<size_t>(static_cast<const char*>(lf) - from) : rest;
  const void* cr = std::memchr(from, '\r', lfAt);
  return pos + (cr ? static_cast<size_t>(static_cast<const char*>(cr) - from) : lfAt);
}

// One more than the LFs: the line count unless lone CRs end lines too.
size_t LineCountHint(std::string_view all) {
  size_t count = 1;
  for (const char* p = all.data(); const void* lf = std::memchr(p, '\n', all.data() + all.size() - p);
       ++count) {
    p = static_cast<const char*>(lf) + 1;
  }
  return count;
}

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
  return v;
}
}  // namespace

ProfileDocument::ProfileDocument(std::string text) : text_(std::move(text)) { Parse(); }

void ProfileDocument::Parse() {
  end_ = std::min(text_.find('\0'), text_.size());
  std::string_view all = std::string_view(text_).substr(0, end_);
  lines_.reserve(LineCountHint(all));
  size_t pos = 0;
  while (pos < all.size()) {
    Line line;
    line.begin = pos;
    const size_t contentEnd = LineEnd(all, pos);
    line.length = contentEnd - pos;
    if (contentEnd < all.size()) {
      const bool crlf = all[contentEnd] == '\r' && contentEnd + 1 < all.size() &&
                        all[contentEnd + 1] == '\n';
      line.ending = crlf ? 2 : 1;
    }
    pos = contentEnd + line.ending;
    std::string_view body = TrimBlanks(all.substr(line.begin, line.length));
    if (!body.empty() && body.front() == '[') {
      size_t close = body.find(']');
      line.kind = Kind::kSection;
      line.name = TrimBlanks(body.substr(1, close == std::string_view::npos ? body.npos : close - 1));
    } else if (!body.empty() && body.front() != ';') {
      size_t eq = body.find('=');
      line.kind = Kind::kEntry;
      line.name = TrimBlanks(body.substr(0, eq));
      if (eq != std::string_view::npos) line.value = Unquote(TrimBlanks(body.substr(eq + 1)));
    }
    lines_.push_back(line);
  }
}

std::optional<size_t> ProfileDocument::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Kind::kSection && EqualsNoCase(lines_[i].name, section)) return i;
  }
  return std::nullopt;
}

size_t ProfileDocument::SectionEnd(size_t sectionLine) const {
  size_t i = sectionLine + 1;
  while (i < lines_.size() && lines_[i].kind != Kind::kSection) ++i;
  return i;
}

std::optional<size_t> ProfileDocument::FindEntry(size_t sectionLine, std::string_view key) const {
  size_t end = SectionEnd(sectionLine);
  for (size_t i = sectionLine + 1; i < end; ++i) {
    if (lines_[i].kind == Kind::kEntry && EqualsNoCase(lines_[i].name, key)) return i;
  }
  return std::nullopt;
}

size_t ProfileDocument::InsertionPoint(size_t sectionLine) const {
  size_t end = SectionEnd(sectionLine);
  size_t at = sectionLine + 1;
  for (size_t i = sectionLine + 1; i < end; ++i) {
    if (!TrimBlanks(std::string_view(text_).substr(lines_[i].begin, lines_[i].length)).empty()) {
      at = i + 1;
    }
  }
  return at;
}

std::string_view ProfileDocument::NewLine() const {
  for (const Line& line : lines_) {
    if (line.ending > 0) return std::string_view(text_).substr(line.begin + line.length, line.ending);
  }
  return "\r\n";
}

std::string ProfileDocument::ReplaceLines(size_t first, size_t last,
                                          std::string_view replacement) const {
  size_t from = first < lines_.size() ? lines_[first].begin : end_;
  size_t to = last < lines_.size() ? lines_[last].begin : end_;
  std::string out = text_.substr(0, from);
  // A file whose last line has no line ending gets one before anything is added after it.
  if (from == end_ && !lines_.empty() && lines_.back().ending == 0 && !replacement.empty()) {
    out += NewLine();
  }
  out += replacement;
  out += text_.substr(to);
  return out;
}

}  // namespace platform
