// DIALOG and DIALOGEX statements and their controls.
#include "platform/ui/ui_constants.h"
#include "rc_names.h"
#include "rc_parser.h"

namespace platform::rc {
namespace {

constexpr uint32_t kDefaultDialogStyle = WS_POPUP | WS_BORDER | WS_SYSMENU;
constexpr uint32_t kDsSetFont = 0x40;
constexpr uint32_t kControlBase = WS_CHILD | WS_VISIBLE;

// A control keyword: its window class, the styles it adds, whether a text comes first.
struct ControlKeyword {
  const char* word;
  const char* className;
  uint32_t style;
  bool text;
};

constexpr ControlKeyword kKeywords[] = {
    {"LTEXT", "Static", 0x0 | WS_GROUP, true},
    {"RTEXT", "Static", 0x2 | WS_GROUP, true},
    {"CTEXT", "Static", 0x1 | WS_GROUP, true},
    {"ICON", "Static", 0x3, true},
    {"PUSHBUTTON", "Button", BS_PUSHBUTTON | WS_TABSTOP, true},
    {"DEFPUSHBUTTON", "Button", BS_DEFPUSHBUTTON | WS_TABSTOP, true},
    {"PUSHBOX", "Button", 0xA | WS_TABSTOP, true},
    {"CHECKBOX", "Button", BS_CHECKBOX | WS_TABSTOP, true},
    {"AUTOCHECKBOX", "Button", BS_AUTOCHECKBOX | WS_TABSTOP, true},
    {"STATE3", "Button", BS_3STATE | WS_TABSTOP, true},
    {"AUTO3STATE", "Button", BS_AUTO3STATE | WS_TABSTOP, true},
    {"RADIOBUTTON", "Button", BS_RADIOBUTTON, true},
    {"AUTORADIOBUTTON", "Button", BS_AUTORADIOBUTTON, true},
    {"GROUPBOX", "Button", BS_GROUPBOX, true},
    {"EDITTEXT", "Edit", WS_BORDER | WS_TABSTOP, false},
    {"LISTBOX", "ListBox", LBS_NOTIFY | WS_BORDER, false},
    {"COMBOBOX", "ComboBox", CBS_SIMPLE | WS_TABSTOP, false},
    {"SCROLLBAR", "ScrollBar", 0x0, false},
};

const ControlKeyword* FindKeyword(const Token& t) {
  for (const ControlKeyword& k : kKeywords) {
    if (t.IsWord(k.word)) return &k;
  }
  return nullptr;
}

int AsInt(uint32_t v) { return static_cast<int>(static_cast<int32_t>(v)); }

}  // namespace

int Parser::ControlId(uint32_t value, bool extended) const {
  // A DIALOG keeps 16-bit identifiers; -1 (IDC_STATIC) stays -1 either way.
  if (value == 0xFFFFFFFFu) return -1;
  if (extended) return AsInt(value);
  value &= 0xFFFF;
  return value == 0xFFFF ? -1 : static_cast<int>(value);
}

void Parser::Dialog(const ResourceId& id, bool extended, int line) {
  DialogTemplate d;
  d.id = id;
  d.extended = extended;
  extended_ = extended;
  std::string what = std::string(extended ? "DIALOGEX " : "DIALOG ") + id.ToString().substr(0, 40);
  SkipMemoryOptions();
  d.x = AsInt(Number());
  Comma(what.c_str());
  d.y = AsInt(Number());
  Comma(what.c_str());
  d.cx = AsInt(Number());
  Comma(what.c_str());
  d.cy = AsInt(Number());
  if (extended && OptionalComma()) Loose();  // help id
  d.style = kDefaultDialogStyle;
  DialogOptions(d);
  if (!AtBlockStart()) Throw(line, what + " without its BEGIN");
  Next();
  while (!AtBlockEnd()) {
    if (Peek().kind == Token::Kind::kEnd) Throw(line, what + " without its END");
    Token keyword = Next();
    d.controls.push_back(Control(keyword));
    if (AtBlockStart()) SkipBlock(keyword.line, "control data");
  }
  Next();
  if (script_.Dialog(d.id)) Throw(line, what + " is defined twice");
  script_.dialogs.push_back(std::move(d));
}

void Parser::DialogOptions(DialogTemplate& d) {
  bool caption = false, font = false;
  while (!AtBlockStart() && Peek().kind != Token::Kind::kEnd) {
    Token option = Next();
    if (option.IsWord("STYLE")) {
      d.style = Style(0);
    } else if (option.IsWord("EXSTYLE")) {
      d.exStyle = Style(0);
    } else if (option.IsWord("CAPTION")) {
      d.caption = Text();
      caption = true;
    } else if (option.IsWord("FONT")) {
      d.fontSize = AsInt(Number());
      Comma("FONT");
      d.fontFace = Text();
      while (OptionalComma()) Loose();  // weight, italic, character set
      font = true;
    } else if (option.IsWord("CLASS") || option.IsWord("MENU")) {
      Next();
    } else if (!SkipCommonOption(option)) {
      Throw(option.line, "unexpected " + option.Describe() + " in a dialog's options");
    }
  }
  if (caption) d.style |= WS_CAPTION;
  if (font) d.style |= kDsSetFont;
}

ControlTemplate Parser::Control(const Token& keyword) {
  ControlTemplate c;
  c.line = keyword.line;
  bool control = keyword.IsWord("CONTROL");
  const ControlKeyword* k = control ? nullptr : FindKeyword(keyword);
  if (!control && !k) Throw(keyword.line, "unknown control statement " + keyword.Describe());
  std::string where = keyword.text.substr(0, 20);
  if (control || k->text) {
    const Token& t = Peek();
    if (t.kind == Token::Kind::kString) c.text = Text();
    else if (t.kind == Token::Kind::kNumber) c.text = std::to_string(Next().number);
    else if (t.kind == Token::Kind::kName) c.text = Next().text;
    else Throw(t.line, "expected the text of " + where + ", found " + t.Describe());
    Comma(where.c_str());
  }
  c.id = ControlId(Number(), extended_);
  Comma(where.c_str());
  if (control) {
    Token cls = Next();
    if (cls.kind == Token::Kind::kString) c.className = cls.text;
    else if (cls.kind == Token::Kind::kName) c.className = ClassName(cls.text);
    else Throw(cls.line, "expected a window class, found " + cls.Describe());
    Comma(where.c_str());
    c.style = Style(kControlBase);
    Comma(where.c_str());
  } else {
    c.className = k->className;
    c.style = k->style | kControlBase;
  }
  c.x = AsInt(Number());
  Comma(where.c_str());
  c.y = AsInt(Number());
  bool icon = k && keyword.IsWord("ICON");
  if (!icon || OptionalComma()) {
    if (!icon) Comma(where.c_str());
    c.cx = AsInt(Number());
    Comma(where.c_str());
    c.cy = AsInt(Number());
  }
  if (!control && OptionalComma()) c.style = Style(c.style);
  if (OptionalComma()) c.exStyle = Style(0);
  if (OptionalComma()) Loose();  // help id
  return c;
}

}  // namespace platform::rc
