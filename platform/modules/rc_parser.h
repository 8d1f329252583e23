// The resource-script parser: a preprocessor over the lexer, then the statements.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/modules/resources.h"
#include "rc_expression.h"
#include "rc_lexer.h"

namespace platform::rc {

class Parser : public TokenSource {
 public:
  explicit Parser(std::string_view text);
  // Throws ResourceError.
  ResourceScript Parse();

  // Tokens that survive the preprocessor.
  const Token& Peek() override;
  Token Next() override;

 private:
  // Preprocessor.
  struct Condition {
    bool parentActive;
    bool taken;   // some branch has been active
    bool active;  // this branch is active
    int line;
  };
  void Directive(const Token& directive);
  std::vector<Token> RestOfLine(int line);
  void Define(const std::vector<Token>& rest, int line);
  bool Evaluate(const std::vector<Token>& rest, int line);
  bool Active() const { return conditions_.empty() || conditions_.back().active; }

  // Statements.
  void Statement();
  void StringTable();
  void Dialog(const ResourceId& id, bool extended, int line);
  void DialogOptions(DialogTemplate& dialog);
  ControlTemplate Control(const Token& keyword);
  void SkipResource(const Token& type);
  void SkipBlock(int line, const std::string& what);
  void SkipOptionsUntilBlock(int line, const std::string& what);
  // LANGUAGE, CHARACTERISTICS and VERSION, which any resource may carry and nothing here uses;
  // false (nothing read) for another option.
  bool SkipCommonOption(const Token& option);
  void SkipMemoryOptions();
  void SkipLine(int line);

  // Pieces of statements.
  uint32_t Number();                 // an expression whose names must all be defined
  uint32_t Style(uint32_t base);     // a style expression; unknown names count as 0
  uint32_t Loose();                  // a value whose meaning does not matter here
  std::string Text();                // adjacent string literals joined
  ResourceId NameOrNumber(const Token& t);
  void Comma(const char* where);
  bool OptionalComma();
  bool AtBlockStart();
  bool AtBlockEnd();
  int ControlId(uint32_t value, bool extended) const;

  Lexer lexer_;
  std::vector<Condition> conditions_;
  std::map<std::string, uint32_t> defines_;
  std::set<std::string> nonNumeric_;  // defined, but not as a number
  ExpressionContext strict_;
  ExpressionContext loose_;
  ResourceScript script_;
  bool extended_ = false;  // inside a DIALOGEX
};

}  // namespace platform::rc
