// Splitting a resource script into tokens.
#include "rc_lexer.h"

#include <cctype>

#include "platform/files/winpath.h"

namespace platform::rc {
namespace {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// A number as the resource compiler writes them: decimal or 0x hex, with L/U suffixes.
bool ParseNumber(std::string_view word, uint32_t* value) {
  size_t end = word.size();
  while (end > 0 && (word[end - 1] == 'L' || word[end - 1] == 'l' || word[end - 1] == 'U' ||
                     word[end - 1] == 'u')) {
    --end;
  }
  std::string_view digits = word.substr(0, end);
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  if (digits.empty()) return false;
  uint64_t v = 0;
  for (char c : digits) {
    int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
            : base == 16 && std::isxdigit(static_cast<unsigned char>(c)) ? std::tolower(c) - 'a' + 10
            : -1;
    if (d < 0) return false;
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    if (v > 0xFFFFFFFFull) v = 0x100000000ull;  // remembered as too large
  }
  if (v > 0xFFFFFFFFull) return false;
  *value = static_cast<uint32_t>(v);
  return true;
}

}  // namespace

void Throw(int line, std::string message) { throw ResourceError{line, std::move(message)}; }

bool Token::IsWord(std::string_view word) const {
  return kind == Kind::kName && EqualsNoCase(text, word);
}

std::string Token::Describe() const {
  switch (kind) {
    case Kind::kEnd: return "the end of the file";
    case Kind::kString: return "\"" + text.substr(0, 40) + "\"";
    case Kind::kDirective: return "#" + text;
    default: return "'" + text.substr(0, 40) + "'";
  }
}

const Token& Lexer::Peek() {
  if (!peeked_) peeked_ = Scan();
  return *peeked_;
}

Token Lexer::Next() {
  if (peeked_) {
    Token t = std::move(*peeked_);
    peeked_.reset();
    return t;
  }
  return Scan();
}

void Lexer::SkipSpaceAndComments() {
  while (pos_ < text_.size()) {
    char c = text_[pos_];
    if (c == '\n') {
      ++line_;
      ++pos_;
      lineStart_ = true;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
      ++pos_;
    } else if (text_.compare(pos_, 2, "//") == 0) {
      while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
    } else if (text_.compare(pos_, 2, "/*") == 0) {
      int startLine = line_;
      size_t end = text_.find("*/", pos_ + 2);
      if (end == std::string_view::npos) Throw(startLine, "comment without its end");
      for (size_t i = pos_; i < end; ++i) line_ += text_[i] == '\n';
      pos_ = end + 2;
    } else {
      return;
    }
  }
}

Token Lexer::Scan() {
  SkipSpaceAndComments();
  Token t;
  t.line = line_;
  if (pos_ >= text_.size()) return t;
  bool atLineStart = lineStart_;
  lineStart_ = false;
  char c = text_[pos_];
  if (c == '#' && atLineStart) {
    ++pos_;
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    size_t start = pos_;
    while (pos_ < text_.size() && IsWordChar(text_[pos_])) ++pos_;
    t.kind = Token::Kind::kDirective;
    t.text = std::string(text_.substr(start, pos_ - start));
    return t;
  }
  if (c == '"') return ScanString(line_);
  if (c == 'L' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '"') {
    ++pos_;  // wide strings read the same
    return ScanString(line_);
  }
  if (IsWordChar(c)) return ScanWord();
  t.kind = Token::Kind::kPunct;
  for (std::string_view pair : {"==", "!=", "<=", ">=", "&&", "||"}) {
    if (text_.compare(pos_, 2, pair) == 0) {
      pos_ += 2;
      t.text = std::string(pair);
      return t;
    }
  }
  ++pos_;
  t.text = std::string(1, c);
  return t;
}

Token Lexer::ScanWord() {
  Token t;
  t.line = line_;
  size_t start = pos_;
  while (pos_ < text_.size() && IsWordChar(text_[pos_])) ++pos_;
  t.text = std::string(text_.substr(start, pos_ - start));
  if (std::isdigit(static_cast<unsigned char>(t.text[0]))) {
    if (ParseNumber(t.text, &t.number)) {
      t.kind = Token::Kind::kNumber;
      return t;
    }
    bool allDigits = t.text.find_first_not_of("0123456789") == std::string::npos;
    if (allDigits) Throw(line_, "number " + t.text.substr(0, 20) + " is too large");
  }
  t.kind = Token::Kind::kName;
  return t;
}

Token Lexer::ScanString(int line) {
  Token t;
  t.kind = Token::Kind::kString;
  t.line = line;
  ++pos_;  // the opening quote
  for (;;) {
    if (pos_ >= text_.size() || text_[pos_] == '\n') Throw(line, "string without its closing quote");
    char c = text_[pos_++];
    if (c == '"') {
      if (pos_ < text_.size() && text_[pos_] == '"') {
        t.text += '"';
        ++pos_;
        continue;
      }
      return t;
    }
    if (c != '\\' || pos_ >= text_.size()) {
      t.text += c;
      continue;
    }
    char e = text_[pos_];
    switch (e) {
      case 'n': t.text += '\n'; break;
      case 't': t.text += '\t'; break;
      case 'r': t.text += '\r'; break;
      case 'a': t.text += '\a'; break;
      case '\\': t.text += '\\'; break;
      case '"': t.text += '"'; break;
      case '\n': Throw(line, "string without its closing quote");
      default: t.text += '\\'; t.text += e; break;
    }
    ++pos_;
  }
}

}  // namespace platform::rc
