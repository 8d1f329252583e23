// Resource-script statements: the top level, string tables, and resources passed over.
#include "rc_parser.h"

#include "platform/files/winpath.h"
#include "rc_names.h"

namespace platform::rc {
namespace {

// Resource types whose body is always a BEGIN ... END block.
bool IsBlockType(const std::string& type) {
  for (const char* t : {"MENU", "MENUEX", "VERSIONINFO", "ACCELERATORS", "DLGINIT", "TOOLBAR",
                        "TEXTINCLUDE", "DESIGNINFO"}) {
    if (EqualsNoCase(type, t)) return true;
  }
  return false;
}

}  // namespace

ResourceScript Parser::Parse() {
  while (Peek().kind != Token::Kind::kEnd) Statement();
  script_.defines = defines_;
  return std::move(script_);
}

void Parser::Statement() {
  const Token& t = Peek();
  if (t.IsWord("STRINGTABLE")) return StringTable();
  if (t.IsWord("LANGUAGE")) {
    Next();
    Loose();
    Comma("LANGUAGE");
    Loose();
    return;
  }
  if (AtBlockStart() || AtBlockEnd()) Throw(t.line, "unexpected " + t.Describe() + " outside a resource");
  if (t.kind != Token::Kind::kName && t.kind != Token::Kind::kNumber && t.kind != Token::Kind::kString) {
    Throw(t.line, "unexpected " + t.Describe());
  }
  Token name = Next();
  Token type = Next();
  if (type.IsWord("DIALOG") || type.IsWord("DIALOGEX")) {
    return Dialog(NameOrNumber(name), type.IsWord("DIALOGEX"), name.line);
  }
  if (type.kind != Token::Kind::kName && type.kind != Token::Kind::kNumber) {
    Throw(type.line, "expected a resource type after " + name.Describe() + ", found " + type.Describe());
  }
  SkipResource(type);
}

void Parser::StringTable() {
  Token start = Next();
  SkipOptionsUntilBlock(start.line, "STRINGTABLE");
  Next();
  while (!AtBlockEnd()) {
    if (Peek().kind == Token::Kind::kEnd) Throw(start.line, "STRINGTABLE without its END");
    int line = Peek().line;
    uint32_t id = Number();
    OptionalComma();
    if (Peek().kind != Token::Kind::kString) {
      Throw(Peek().line, "expected the text of string " + std::to_string(id) + ", found " + Peek().Describe());
    }
    std::string text = Text();
    if (id > 0xFFFF) Throw(line, "string id " + std::to_string(id) + " is out of range");
    if (!script_.strings.emplace(id, std::move(text)).second) {
      Throw(line, "string " + std::to_string(id) + " is defined twice");
    }
  }
  Next();
}

void Parser::SkipResource(const Token& type) {
  SkipMemoryOptions();
  const Token& next = Peek();
  bool sameLine = next.kind != Token::Kind::kEnd && next.line == type.line;
  if (!IsBlockType(type.text) && sameLine && !AtBlockStart()) {
    SkipLine(type.line);  // a resource taken from a file: NAME ICON "file.ico"
    return;
  }
  std::string what = "resource of type " + type.text.substr(0, 40);
  while (!AtBlockStart()) {
    if (Peek().kind == Token::Kind::kEnd) Throw(type.line, what + " without its BEGIN");
    Next();
  }
  SkipBlock(type.line, what);
}

void Parser::SkipBlock(int line, const std::string& what) {
  int depth = 0;
  do {
    if (Peek().kind == Token::Kind::kEnd) Throw(line, what + " without its END");
    bool open = AtBlockStart();
    bool close = AtBlockEnd();
    Next();
    depth += open ? 1 : close ? -1 : 0;
  } while (depth > 0);
}

bool Parser::SkipCommonOption(const Token& option) {
  if (option.IsWord("LANGUAGE")) {
    Loose();
    Comma("LANGUAGE");
    Loose();
    return true;
  }
  if (option.IsWord("CHARACTERISTICS") || option.IsWord("VERSION")) {
    Loose();
    return true;
  }
  return false;
}

void Parser::SkipOptionsUntilBlock(int line, const std::string& what) {
  while (!AtBlockStart()) {
    const Token& t = Peek();
    if (t.kind == Token::Kind::kEnd) Throw(line, what + " without its BEGIN");
    Token option = Next();
    if (IsMemoryOption(option.text)) continue;
    if (!SkipCommonOption(option)) {
      Throw(option.line, "unexpected " + option.Describe() + " in " + what);
    }
  }
}

void Parser::SkipMemoryOptions() {
  while (Peek().kind == Token::Kind::kName && IsMemoryOption(Peek().text)) Next();
}

void Parser::SkipLine(int line) {
  while (Peek().kind != Token::Kind::kEnd && Peek().line == line) Next();
}

uint32_t Parser::Number() { return ExpressionReader(*this, strict_).Read(); }

uint32_t Parser::Style(uint32_t base) { return ExpressionReader(*this, loose_).ReadStyle(base); }

uint32_t Parser::Loose() { return ExpressionReader(*this, loose_).Read(); }

std::string Parser::Text() {
  if (Peek().kind != Token::Kind::kString) Throw(Peek().line, "expected a string, found " + Peek().Describe());
  std::string text;
  while (Peek().kind == Token::Kind::kString) text += Next().text;
  return text;
}

ResourceId Parser::NameOrNumber(const Token& t) {
  uint32_t value = t.number;
  if (t.kind == Token::Kind::kName) {
    auto it = defines_.find(t.text);
    if (it == defines_.end()) return ResourceId(t.text);
    value = it->second;
  } else if (t.kind == Token::Kind::kString) {
    return ResourceId(t.text);
  }
  if (value == 0 || value > 0xFFFF) Throw(t.line, "resource id " + std::to_string(value) + " is out of range");
  return ResourceId(value);
}

void Parser::Comma(const char* where) {
  const Token& t = Peek();
  if (!t.IsPunct(',')) Throw(t.line, std::string("expected ',' in ") + where + ", found " + t.Describe());
  Next();
}

bool Parser::OptionalComma() {
  if (!Peek().IsPunct(',')) return false;
  Next();
  return true;
}

bool Parser::AtBlockStart() {
  const Token& t = Peek();
  return t.IsWord("BEGIN") || t.IsPunct('{');
}

bool Parser::AtBlockEnd() {
  const Token& t = Peek();
  return t.IsWord("END") || t.IsPunct('}');
}

}  // namespace platform::rc

namespace platform {

std::string ResourceError::ToString() const { return "line " + std::to_string(line) + ": " + message; }

const std::string* ResourceScript::String(uint32_t id) const {
  auto it = strings.find(id);
  return it == strings.end() ? nullptr : &it->second;
}

const DialogTemplate* ResourceScript::Dialog(const ResourceId& id) const {
  for (const DialogTemplate& d : dialogs) {
    if (d.id == id) return &d;
  }
  return nullptr;
}

ResourceParseResult ParseResourceScript(std::string_view text) {
  ResourceParseResult result;
  if (std::optional<ResourceError> bad = rc::CheckText(text)) {
    result.error = *bad;
    return result;
  }
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  try {
    result.script = rc::Parser(text).Parse();
  } catch (const ResourceError& e) {
    result.error = e;
  }
  return result;
}

}  // namespace platform
