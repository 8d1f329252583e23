// Evaluating the integer expressions of resource scripts.
#include "rc_expression.h"

namespace platform::rc {
namespace {

constexpr int kMaxDepth = 64;  // nesting of parentheses and unary operators

void CheckDepth(int depth, int line) {
  if (depth > kMaxDepth) Throw(line, "expression nested too deeply");
}

}  // namespace

uint32_t ExpressionReader::Read() { return LogicalOr(0); }

uint32_t ExpressionReader::ReadStyle(uint32_t base) {
  uint32_t value = base;
  for (;;) {
    if (source_.Peek().IsWord("NOT")) {
      source_.Next();
      value &= ~Unary(1);
    } else {
      value |= And(1);
    }
    if (!source_.Peek().IsPunct('|')) return value;
    source_.Next();
  }
}

uint32_t ExpressionReader::LogicalOr(int depth) {
  uint32_t v = LogicalAnd(depth);
  while (source_.Peek().IsOperator("||")) {
    source_.Next();
    uint32_t rhs = LogicalAnd(depth);
    v = (v != 0 || rhs != 0) ? 1 : 0;
  }
  return v;
}

uint32_t ExpressionReader::LogicalAnd(int depth) {
  uint32_t v = Or(depth);
  while (source_.Peek().IsOperator("&&")) {
    source_.Next();
    uint32_t rhs = Or(depth);
    v = (v != 0 && rhs != 0) ? 1 : 0;
  }
  return v;
}

uint32_t ExpressionReader::Or(int depth) {
  uint32_t v = And(depth);
  while (source_.Peek().IsPunct('|')) {
    source_.Next();
    v |= And(depth);
  }
  return v;
}

uint32_t ExpressionReader::And(int depth) {
  uint32_t v = Equality(depth);
  while (source_.Peek().IsPunct('&')) {
    source_.Next();
    v &= Equality(depth);
  }
  return v;
}

uint32_t ExpressionReader::Equality(int depth) {
  uint32_t v = Relational(depth);
  for (;;) {
    bool equal = source_.Peek().IsOperator("==");
    if (!equal && !source_.Peek().IsOperator("!=")) return v;
    source_.Next();
    uint32_t rhs = Relational(depth);
    v = ((v == rhs) == equal) ? 1 : 0;
  }
}

// Comparisons read the values as signed, as the preprocessor does.
uint32_t ExpressionReader::Relational(int depth) {
  uint32_t v = Add(depth);
  for (;;) {
    std::string op = source_.Peek().text;
    if (source_.Peek().kind != Token::Kind::kPunct || (op != "<" && op != ">" && op != "<=" && op != ">=")) {
      return v;
    }
    source_.Next();
    auto a = static_cast<int32_t>(v), b = static_cast<int32_t>(Add(depth));
    bool holds = op == "<" ? a < b : op == ">" ? a > b : op == "<=" ? a <= b : a >= b;
    v = holds ? 1 : 0;
  }
}

uint32_t ExpressionReader::Add(int depth) {
  uint32_t v = Multiply(depth);
  for (;;) {
    const Token& op = source_.Peek();
    if (op.IsPunct('+')) {
      source_.Next();
      v += Multiply(depth);
    } else if (op.IsPunct('-')) {
      source_.Next();
      v -= Multiply(depth);
    } else {
      return v;
    }
  }
}

uint32_t ExpressionReader::Multiply(int depth) {
  uint32_t v = Unary(depth);
  for (;;) {
    const Token& op = source_.Peek();
    if (op.IsPunct('*')) {
      source_.Next();
      v *= Unary(depth);
    } else if (op.IsPunct('/')) {
      int line = source_.Next().line;
      uint32_t d = Unary(depth);
      if (d == 0) Throw(line, "division by zero");
      v /= d;
    } else {
      return v;
    }
  }
}

uint32_t ExpressionReader::Unary(int depth) {
  CheckDepth(depth, source_.Peek().line);
  const Token& t = source_.Peek();
  if (t.IsPunct('-')) return source_.Next(), 0u - Unary(depth + 1);
  if (t.IsPunct('+')) return source_.Next(), Unary(depth + 1);
  if (t.IsPunct('~')) return source_.Next(), ~Unary(depth + 1);
  if (t.IsPunct('!') && context_.isDefined) return source_.Next(), Unary(depth + 1) == 0 ? 1u : 0u;
  return Primary(depth);
}

uint32_t ExpressionReader::Primary(int depth) {
  Token t = source_.Next();
  switch (t.kind) {
    case Token::Kind::kNumber:
      return t.number;
    case Token::Kind::kName:
      return Name(t);
    case Token::Kind::kPunct:
      if (t.IsPunct('(')) {
        uint32_t v = LogicalOr(depth + 1);
        if (!source_.Next().IsPunct(')')) Throw(t.line, "'(' without its ')'");
        return v;
      }
      [[fallthrough]];
    default:
      Throw(t.line, "expected a number, found " + t.Describe());
  }
}

uint32_t ExpressionReader::Name(const Token& name) {
  if (context_.isDefined && name.text == "defined") {
    bool parenthesised = source_.Peek().IsPunct('(');
    if (parenthesised) source_.Next();
    Token what = source_.Next();
    if (what.kind != Token::Kind::kName) Throw(name.line, "defined needs a name");
    if (parenthesised && !source_.Next().IsPunct(')')) Throw(name.line, "'(' without its ')'");
    return context_.isDefined(what.text) ? 1 : 0;
  }
  if (std::optional<uint32_t> v = context_.lookup(name.text)) return *v;
  if (context_.unknownIsZero) return 0;
  Throw(name.line, "'" + name.text.substr(0, 40) + "' is not defined as a number");
}

}  // namespace platform::rc
