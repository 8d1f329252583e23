// Tokens of a resource script. Errors are thrown as ResourceError and caught at the parser's
// entry point, so that the deep parts of the grammar need no error plumbing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/modules/resources.h"

namespace platform::rc {

struct Token {
  enum class Kind { kEnd, kName, kNumber, kString, kPunct, kDirective };
  Kind kind = Kind::kEnd;
  std::string text;     // a name, the string's value, the punctuation, the directive's name
  uint32_t number = 0;  // kNumber
  int line = 0;

  bool Is(Kind k, std::string_view t) const { return kind == k && text == t; }
  bool IsPunct(char c) const { return kind == Kind::kPunct && text.size() == 1 && text[0] == c; }
  bool IsOperator(std::string_view op) const { return kind == Kind::kPunct && text == op; }
  // A keyword, without regard to case (the resource compiler reads keywords so).
  bool IsWord(std::string_view word) const;
  std::string Describe() const;  // for messages: 'BEGIN', "text", end of file
};

[[noreturn]] void Throw(int line, std::string message);

// Refuses text the lexer must never see: NUL bytes, invalid UTF-8, overlong lines or scripts.
std::optional<ResourceError> CheckText(std::string_view text);

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}
  Token Next();
  const Token& Peek();

 private:
  Token Scan();
  void SkipSpaceAndComments();
  Token ScanWord();
  Token ScanString(int line);
  std::string_view text_;
  size_t pos_ = 0;
  int line_ = 1;
  bool lineStart_ = true;  // nothing but blanks since the last line end
  std::optional<Token> peeked_;
};

}  // namespace platform::rc
