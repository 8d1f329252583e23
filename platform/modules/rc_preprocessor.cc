// The preprocessor of resource scripts: #define, #undef and conditional sections.
#include "rc_names.h"
#include "rc_parser.h"

namespace platform::rc {
namespace {

constexpr size_t kMaxConditionDepth = 64;

// Tokens of one directive line, read as an expression.
class VectorSource : public TokenSource {
 public:
  VectorSource(const std::vector<Token>& tokens, size_t first, int line)
      : tokens_(tokens), at_(first) {
    end_.line = line;
  }
  const Token& Peek() override { return at_ < tokens_.size() ? tokens_[at_] : end_; }
  Token Next() override { return at_ < tokens_.size() ? tokens_[at_++] : end_; }
  bool AtEnd() const { return at_ >= tokens_.size(); }

 private:
  const std::vector<Token>& tokens_;
  size_t at_;
  Token end_;
};

}  // namespace

Parser::Parser(std::string_view text) : lexer_(text) {
  auto lookup = [this](const std::string& name) -> std::optional<uint32_t> {
    auto it = defines_.find(name);
    if (it != defines_.end()) return it->second;
    return KnownConstant(name);
  };
  strict_.lookup = lookup;
  loose_.lookup = lookup;
  loose_.unknownIsZero = true;
}

const Token& Parser::Peek() {
  for (;;) {
    const Token& t = lexer_.Peek();
    if (t.kind == Token::Kind::kDirective) {
      Token directive = lexer_.Next();
      Directive(directive);
      continue;
    }
    if (t.kind == Token::Kind::kEnd) {
      if (!conditions_.empty()) Throw(conditions_.back().line, "#if without its #endif");
      return t;
    }
    if (Active()) return t;
    lexer_.Next();  // inside a section that is left out
  }
}

Token Parser::Next() {
  Peek();
  return lexer_.Next();
}

std::vector<Token> Parser::RestOfLine(int line) {
  std::vector<Token> rest;
  while (lexer_.Peek().kind != Token::Kind::kEnd && lexer_.Peek().kind != Token::Kind::kDirective &&
         lexer_.Peek().line == line) {
    rest.push_back(lexer_.Next());
  }
  return rest;
}

void Parser::Define(const std::vector<Token>& rest, int line) {
  if (rest.empty() || rest[0].kind != Token::Kind::kName) Throw(line, "#define needs a name");
  const std::string& name = rest[0].text;
  defines_.erase(name);
  nonNumeric_.erase(name);
  if (rest.size() > 1) {
    VectorSource source(rest, 1, line);
    try {
      uint32_t value = ExpressionReader(source, strict_).Read();
      if (source.AtEnd()) {
        defines_[name] = value;
        return;
      }
    } catch (const ResourceError&) {
      // A text or a macro with arguments: defined, but of no use as a number.
    }
  }
  nonNumeric_.insert(name);
}

bool Parser::Evaluate(const std::vector<Token>& rest, int line) {
  ExpressionContext context = loose_;
  context.isDefined = [this](const std::string& name) {
    return defines_.count(name) > 0 || nonNumeric_.count(name) > 0;
  };
  VectorSource source(rest, 0, line);
  uint32_t value = ExpressionReader(source, context).Read();
  if (!source.AtEnd()) Throw(line, "unexpected " + source.Peek().Describe() + " in the condition");
  return value != 0;
}

void Parser::Directive(const Token& directive) {
  const std::string& name = directive.text;
  int line = directive.line;
  std::vector<Token> rest = RestOfLine(line);
  auto isDefined = [&] {
    if (rest.empty() || rest[0].kind != Token::Kind::kName) Throw(line, "#" + name + " needs a name");
    return defines_.count(rest[0].text) > 0 || nonNumeric_.count(rest[0].text) > 0;
  };
  if (name == "if" || name == "ifdef" || name == "ifndef") {
    if (conditions_.size() >= kMaxConditionDepth) Throw(line, "conditions nested too deeply");
    bool parent = Active();
    bool holds = parent && (name == "if" ? Evaluate(rest, line) : isDefined() == (name == "ifdef"));
    conditions_.push_back(Condition{parent, holds, holds, line});
  } else if (name == "elif" || name == "else") {
    if (conditions_.empty()) Throw(line, "#" + name + " without #if");
    Condition& c = conditions_.back();
    bool holds = c.parentActive && !c.taken && (name == "else" || Evaluate(rest, line));
    c.active = holds;
    c.taken = c.taken || holds;
  } else if (name == "endif") {
    if (conditions_.empty()) Throw(line, "#endif without #if");
    conditions_.pop_back();
  } else if (!Active()) {
    return;
  } else if (name == "define") {
    Define(rest, line);
  } else if (name == "undef") {
    if (!rest.empty()) defines_.erase(rest[0].text), nonNumeric_.erase(rest[0].text);
  }
  // #include, #pragma and the rest change nothing here.
}

}  // namespace platform::rc
