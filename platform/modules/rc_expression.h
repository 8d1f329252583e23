// Integer expressions of resource scripts: numbers, names, + - * / & | ~ and parentheses, with
// 32-bit unsigned wrap-around as the resource compiler computes them, and the comparisons and
// logical operators of preprocessor conditions, with C's precedence. Style expressions also take
// "NOT X", which clears X's bits from what has been built so far.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "rc_lexer.h"

namespace platform::rc {

class TokenSource {
 public:
  virtual ~TokenSource() = default;
  virtual const Token& Peek() = 0;
  virtual Token Next() = 0;
};

struct ExpressionContext {
  // The value of a name, if it has one.
  std::function<std::optional<uint32_t>(const std::string&)> lookup;
  // In #if: whether a name is defined (for "defined X"); null elsewhere.
  std::function<bool(const std::string&)> isDefined;
  bool unknownIsZero = false;  // styles and #if: an unknown name counts as 0
};

class ExpressionReader {
 public:
  ExpressionReader(TokenSource& source, const ExpressionContext& context)
      : source_(source), context_(context) {}
  uint32_t Read();
  uint32_t ReadStyle(uint32_t base);

 private:
  uint32_t LogicalOr(int depth);
  uint32_t LogicalAnd(int depth);
  uint32_t Or(int depth);
  uint32_t And(int depth);
  uint32_t Equality(int depth);
  uint32_t Relational(int depth);
  uint32_t Add(int depth);
  uint32_t Multiply(int depth);
  uint32_t Unary(int depth);
  uint32_t Primary(int depth);
  uint32_t Name(const Token& name);
  TokenSource& source_;
  const ExpressionContext& context_;
};

}  // namespace platform::rc
