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

// The line starting at `pos` of `all` (the text as far as it is read), classified.
ProfileDocument::Line ReadLine(std::string_view all, size_t pos) {
  using Kind = ProfileDocument::Kind;
  ProfileDocument::Line line;
  line.begin = pos;
  const size_t contentEnd = LineEnd(all, pos);
  line.length = contentEnd - pos;
  if (contentEnd < all.size()) {
    const bool crlf =
        all[contentEnd] == '\r' && contentEnd + 1 < all.size() && all[contentEnd + 1] == '\n';
    line.ending = crlf ? 2 : 1;
  }
  const char* lineStart = all.data() + pos;
  auto place = [&](std::string_view part, uint32_t* at, uint32_t* length) {
    *at = static_cast<uint32_t>(part.data() - lineStart);
    *length = static_cast<uint32_t>(part.size());
  };
  std::string_view body = TrimBlanks(all.substr(line.begin, line.length));
  if (!body.empty() && body.front() == '[') {
    size_t close = body.find(']');
    line.kind = Kind::kSection;
    place(TrimBlanks(body.substr(1, close == std::string_view::npos ? body.npos : close - 1)),
          &line.nameAt, &line.nameLength);
  } else if (!body.empty() && body.front() != ';') {
    size_t eq = body.find('=');
    line.kind = Kind::kEntry;
    place(TrimBlanks(body.substr(0, eq)), &line.nameAt, &line.nameLength);
    if (eq != std::string_view::npos) {
      place(Unquote(TrimBlanks(body.substr(eq + 1))), &line.valueAt, &line.valueLength);
    }
  }
  return line;
}

size_t Next(const ProfileDocument::Line& line) { return line.begin + line.length + line.ending; }
}  // namespace

ProfileDocument::ProfileDocument(std::string text) : text_(std::move(text)) {
  Parse();
  IndexSections();
}

// Lookups go through the section headers alone: a file has few sections and many lines.
void ProfileDocument::IndexSections() {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == Kind::kSection) sections_.push_back(i);
  }
}

ProfileDocument::ProfileDocument(const ProfileDocument& base, const Edit& edit)
    : ProfileDocument(base) {
  Apply(edit);
}

void ProfileDocument::Apply(const Edit& edit) {
  if (Splice(edit)) return;
  const size_t from = std::min(edit.from, text_.size());
  text_.replace(from, std::clamp(edit.to, from, text_.size()) - from, edit.inserted);
  lines_.clear();
  Parse();
  sections_.clear();
  IndexSections();
}

void ProfileDocument::Parse() {
  end_ = std::min(text_.find('\0'), text_.size());
  std::string_view all = std::string_view(text_).substr(0, end_);
  lines_.reserve(LineCountHint(all));
  for (size_t pos = 0; pos < all.size(); pos = Next(lines_.back())) {
    lines_.push_back(ReadLine(all, pos));
  }
}

// The new lines can be read alone when both seams of the edit fall between lines as a reading of
// the whole text finds them: no CR before a seam meets an LF after it (one CR LF ending across the
// seam), and the last new line has its line ending unless nothing follows it. Else (false, and
// nothing changed) the whole text is read again.
bool ProfileDocument::Splice(const Edit& edit) {
  const size_t count = lines_.size();
  if (edit.firstLine > edit.lastLine || edit.lastLine > count) return false;
  const size_t oldFrom = edit.firstLine < count ? lines_[edit.firstLine].begin : end_;
  const size_t oldTo = edit.lastLine < count ? lines_[edit.lastLine].begin : end_;
  // Not an edit of this document as it stands: read the result whole.
  if (edit.from != oldFrom || edit.to != oldTo || edit.ending > edit.inserted.size() ||
      (edit.ending > 0 && edit.firstLine == 0)) {
    return false;
  }
  if (edit.inserted.find('\0') != std::string::npos) return false;
  const size_t newFrom = oldFrom + edit.ending;  // where the new lines begin
  const size_t newTo = oldFrom + edit.inserted.size();
  const ptrdiff_t shift = static_cast<ptrdiff_t>(newTo) - static_cast<ptrdiff_t>(oldTo);
  const size_t end = static_cast<size_t>(static_cast<ptrdiff_t>(end_) + shift);
  // A byte of the text as the edit will leave it.
  auto at = [&](size_t p) {
    if (p < oldFrom) return text_[p];
    if (p < newTo) return edit.inserted[p - oldFrom];
    return text_[p - newTo + oldTo];
  };
  auto joinsEnding = [&](size_t seam) {
    return seam > 0 && seam < end && at(seam - 1) == '\r' && at(seam) == '\n';
  };
  if (joinsEnding(newFrom) || joinsEnding(newTo)) return false;
  if (newTo > newFrom && newTo < end && at(newTo - 1) != '\n' && at(newTo - 1) != '\r') {
    return false;
  }
  text_.replace(oldFrom, oldTo - oldFrom, edit.inserted);
  end_ = end;
  std::vector<Line> fresh;
  const std::string_view upToSeam = std::string_view(text_).substr(0, newTo);
  fresh.reserve(LineCountHint(upToSeam.substr(newFrom)));
  for (size_t pos = newFrom; pos < newTo; pos = Next(fresh.back())) {
    fresh.push_back(ReadLine(upToSeam, pos));
  }
  if (edit.ending > 0) lines_[edit.firstLine - 1].ending = edit.ending;
  const auto first = lines_.begin() + static_cast<ptrdiff_t>(edit.firstLine);
  const auto rest = lines_.erase(first, lines_.begin() + static_cast<ptrdiff_t>(edit.lastLine));
  const auto moved = lines_.insert(rest, fresh.begin(), fresh.end()) +
                     static_cast<ptrdiff_t>(fresh.size());
  for (auto line = moved; line != lines_.end(); ++line) {
    line->begin = static_cast<size_t>(static_cast<ptrdiff_t>(line->begin) + shift);
  }
  // The headers among the replaced lines go, those among the new ones come, the later ones move.
  const auto cut = std::lower_bound(sections_.begin(), sections_.end(), edit.firstLine);
  const auto after = sections_.erase(cut, std::lower_bound(cut, sections_.end(), edit.lastLine));
  const ptrdiff_t lineShift = static_cast<ptrdiff_t>(fresh.size()) -
                              static_cast<ptrdiff_t>(edit.lastLine - edit.firstLine);
  for (auto header = after; header != sections_.end(); ++header) {
    *header = static_cast<size_t>(static_cast<ptrdiff_t>(*header) + lineShift);
  }
  std::vector<size_t> headers;
  for (size_t i = 0; i < fresh.size(); ++i) {
    if (fresh[i].kind == Kind::kSection) headers.push_back(edit.firstLine + i);
  }
  sections_.insert(std::lower_bound(sections_.begin(), sections_.end(), edit.firstLine),
                   headers.begin(), headers.end());
  return true;
}

std::optional<size_t> ProfileDocument::FindSection(std::string_view section) const {
  for (size_t i : sections_) {
    if (EqualsNoCase(Name(lines_[i]), section)) return i;
  }
  return std::nullopt;
}

size_t ProfileDocument::SectionEnd(size_t sectionLine) const {
  auto next = std::upper_bound(sections_.begin(), sections_.end(), sectionLine);
  return next == sections_.end() ? lines_.size() : *next;
}

std::optional<size_t> ProfileDocument::FindEntry(size_t sectionLine, std::string_view key) const {
  size_t end = SectionEnd(sectionLine);
  for (size_t i = sectionLine + 1; i < end; ++i) {
    const Line& line = lines_[i];
    if (line.kind == Kind::kEntry && line.nameLength == key.size() &&
        EqualsNoCase(Name(line), key)) {
      return i;
    }
  }
  return std::nullopt;
}

size_t ProfileDocument::InsertionPoint(size_t sectionLine) const {
  // From the section's end back over its blank lines: a section grows at its end.
  size_t at = SectionEnd(sectionLine);
  while (at > sectionLine + 1 &&
         TrimBlanks(std::string_view(text_).substr(lines_[at - 1].begin, lines_[at - 1].length))
             .empty()) {
    --at;
  }
  return at;
}

std::string_view ProfileDocument::NewLine() const {
  for (const Line& line : lines_) {
    if (line.ending > 0) return std::string_view(text_).substr(line.begin + line.length, line.ending);
  }
  return "\r\n";
}

ProfileDocument::Edit ProfileDocument::ReplaceLines(size_t first, size_t last,
                                                    std::string_view replacement) const {
  Edit edit;
  edit.firstLine = std::min(first, lines_.size());
  edit.lastLine = std::clamp(last, edit.firstLine, lines_.size());
  edit.from = edit.firstLine < lines_.size() ? lines_[edit.firstLine].begin : end_;
  edit.to = edit.lastLine < lines_.size() ? lines_[edit.lastLine].begin : end_;
  // A file whose last line has no line ending gets one before anything is added after it.
  if (edit.from == end_ && !lines_.empty() && lines_.back().ending == 0 && !replacement.empty()) {
    edit.inserted = NewLine();
    edit.ending = edit.inserted.size();
  }
  edit.inserted += replacement;
  return edit;
}

}  // namespace platform
