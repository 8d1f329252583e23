// Resource scripts: string tables, dialogs and their controls, the preprocessor, and refusals of
// malformed text with the line where it goes wrong.
#include <gtest/gtest.h>

#include "platform/modules/resources.h"
#include "platform/ui/ui_constants.h"
#include "ui_test_support.h"

namespace platform {
namespace {

using testing::ParseOrFail;

constexpr std::string_view kLanguageLibrary = R"rc(// Language library
#include "resource.h"
#define IDS_BASE      100
#define IDC_MODELS    1007
#define IDC_HELPBTN   9

STRINGTABLE DISCARDABLE
BEGIN
    3                   "Choose the models\nyou own."
    IDS_BASE+1,         "Say ""hello"" \\ \t tab"
    IDS_BASE + 2        "joined " "text"
END

CHOOSESCANNER DIALOG DISCARDABLE  0, 0, 200, 120
STYLE DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Scanner models"
FONT 8, "MS Sans Serif"
BEGIN
    LTEXT           "Models:",IDC_STATIC,7,7,60,8
    LISTBOX         IDC_MODELS,7,18,120,80,LBS_MULTIPLESEL | WS_VSCROLL | NOT WS_BORDER
    DEFPUSHBUTTON   "OK",IDOK,140,7,50,14
    PUSHBUTTON      "Cancel",IDCANCEL,140,24,50,14
    PUSHBUTTON      "&Help",IDC_HELPBTN,140,41,50,14
    COMBOBOX        1015,7,100,60,40,CBS_DROPDOWNLIST | WS_TABSTOP
    CONTROL         "",42072,"msctls_progress32",WS_BORDER,7,60,120,10
    CONTROL         "Auto",2002,BUTTON,BS_AUTORADIOBUTTON | WS_GROUP,
                    140,60,50,10
END

6401 DIALOGEX 10, 10, 100, 50, 0
EXSTYLE WS_EX_CONTEXTHELP
CAPTION "Help"
FONT 8, "MS Shell Dlg", 400, 0, 0x1
{
    CTEXT "Read the manual.", -1, 5, 5, 90, 20
    AUTOCHECKBOX "Don't show again", 1001, 5, 30, 90, 10, WS_TABSTOP, 0, 77
}
)rc";

TEST(ResourceScriptTest, ReadsStringTablesWithEscapesDefinesAndJoinedLiterals) {
  ResourceScript s = ParseOrFail(kLanguageLibrary);
  ASSERT_EQ(s.strings.size(), 3u);
  EXPECT_EQ(*s.String(3), "Choose the models\nyou own.");
  EXPECT_EQ(*s.String(101), "Say \"hello\" \\ \t tab");
  EXPECT_EQ(*s.String(102), "joined text");
  EXPECT_EQ(s.String(4), nullptr);
  EXPECT_EQ(s.defines.at("IDC_MODELS"), 1007u);
}

TEST(ResourceScriptTest, ReadsDialogsWithControlsKindsAndStyles) {
  ResourceScript s = ParseOrFail(kLanguageLibrary);
  const DialogTemplate* d = s.Dialog("choosescanner");  // names match without regard to case
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->caption, "Scanner models");
  EXPECT_EQ(d->fontFace, "MS Sans Serif");
  EXPECT_EQ(d->fontSize, 8);
  EXPECT_EQ(d->cx, 200);
  EXPECT_TRUE(d->style & WS_CAPTION);
  ASSERT_EQ(d->controls.size(), 8u);

  EXPECT_EQ(d->controls[0].id, IDC_STATIC);
  EXPECT_EQ(d->controls[0].kind(), ControlKind::kStatic);
  const ControlTemplate* list = d->Control(1007);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->kind(), ControlKind::kListBox);
  EXPECT_TRUE(list->style & LBS_MULTIPLESEL);
  EXPECT_TRUE(list->style & LBS_NOTIFY);       // the keyword's own style stays
  EXPECT_FALSE(list->style & WS_BORDER);       // NOT takes it away
  EXPECT_TRUE(list->style & WS_VISIBLE);
  EXPECT_EQ(d->Control(IDOK)->style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(d->Control(9)->text, "&Help");
  EXPECT_EQ(d->Control(1015)->style & 3, CBS_DROPDOWNLIST);
  EXPECT_EQ(d->Control(42072)->kind(), ControlKind::kProgressBar);  // a 16-bit id above 32767
  const ControlTemplate* radio = d->Control(2002);
  EXPECT_EQ(radio->kind(), ControlKind::kRadioButton);
  EXPECT_EQ(radio->cy, 10);  // continued on the next line
  EXPECT_EQ(radio->line, 26);

  const DialogTemplate* help = s.Dialog(6401);
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->extended);
  EXPECT_EQ(help->exStyle, 0x400u);
  EXPECT_EQ(help->Control(1001)->kind(), ControlKind::kCheckBox);
  EXPECT_EQ(help->controls[0].id, -1);
  EXPECT_EQ(s.Dialog("#6401"), help);
}

TEST(ResourceScriptTest, ConditionalSectionsAndOtherResourcesArePassedOver) {
  ResourceScript s = ParseOrFail(R"rc(
#define LANG 2
#ifdef APSTUDIO_INVOKED
1 TEXTINCLUDE BEGIN "resource.h\0" END
#else
#if LANG == 2 && defined(LANG) || 0
#define IDS_GREETING 7
#elif LANG > 2
#define IDS_GREETING 8
#endif
#endif
#ifndef IDS_GREETING
#error never
#endif
1SETUP ICON "setup.ico"
IDR_MENU MENU DISCARDABLE
BEGIN
    POPUP "&File"
    BEGIN
        MENUITEM "E&xit", 100
    END
END
1 VERSIONINFO
 FILEVERSION 1,0,0,1
BEGIN
    BLOCK "StringFileInfo" { VALUE "FileVersion", "1.0" }
END
LANGUAGE LANG_GERMAN, SUBLANG_GERMAN
STRINGTABLE { IDS_GREETING "Hallo" }
)rc");
  ASSERT_EQ(s.strings.size(), 1u);
  ASSERT_NE(s.String(7), nullptr);
  EXPECT_EQ(*s.String(7), "Hallo");
  EXPECT_TRUE(s.dialogs.empty());
}

struct BadScript {
  const char* name;
  std::string text;
  int line;
  const char* says;
};

TEST(ResourceScriptTest, MalformedTextIsRefusedWithItsLine) {
  const std::vector<BadScript> cases = {
      {"no END", "STRINGTABLE\nBEGIN\n 1 \"a\"\n", 1, "without its END"},
      {"dialog without END", "X DIALOG 0,0,1,1\nBEGIN\n LTEXT \"a\",1,0,0,1,1\n", 1, "without its END"},
      {"open quote", "STRINGTABLE\nBEGIN\n 1 \"abc\nEND\n", 3, "closing quote"},
      {"NUL byte", std::string("STRINGTABLE\nBEGIN\n 1 \"a") + '\0' + "b\"\nEND\n", 3, "NUL"},
      {"long line", "// x\n" + std::string(100 * 1024, 'a') + "\n", 2, "longer than"},
      {"invalid UTF-8", "STRINGTABLE\n{\n 1 \"caf\xe9\"\n}\n", 3, "UTF-8"},
      {"overlong UTF-8", "// \xc0\xaf\n", 1, "UTF-8"},
      {"undefined id", "STRINGTABLE\n{\n IDS_MISSING \"a\"\n}\n", 3, "IDS_MISSING"},
      {"duplicate string", "STRINGTABLE { 1 \"a\"\n 1 \"b\" }\n", 2, "twice"},
      {"duplicate dialog", "A DIALOG 0,0,1,1 {}\nA DIALOG 0,0,1,1 {}\n", 2, "twice"},
      {"unknown control", "A DIALOG 0,0,1,1\n{\n SLIDER 1,2,3,4,5\n}\n", 3, "SLIDER"},
      {"missing comma", "A DIALOG 0,0,1,1\n{\n PUSHBUTTON \"OK\" 1,2,3,4,5\n}\n", 3, "','"},
      {"open comment", "/* never closed\nSTRINGTABLE {}\n", 1, "comment"},
      {"open #if", "#if 1\nSTRINGTABLE { 1 \"a\" }\n", 1, "#endif"},
      {"stray END", "END\n", 1, "outside"},
      {"id out of range", "STRINGTABLE { 70000 \"a\" }\n", 1, "out of range"},
      {"huge number", "STRINGTABLE { 99999999999 \"a\" }\n", 1, "too large"},
      {"division by zero", "STRINGTABLE { 1/0 \"a\" }\n", 1, "division"},
      {"deep nesting", "STRINGTABLE { " + std::string(200, '(') + "1" + std::string(200, ')') + " \"a\" }", 1, "deeply"},
  };
  for (const BadScript& c : cases) {
    ResourceParseResult r = ParseResourceScript(c.text);
    ASSERT_FALSE(r.ok()) << c.name;
    EXPECT_EQ(r.error.line, c.line) << c.name << ": " << r.error.ToString();
    EXPECT_NE(r.error.message.find(c.says), std::string::npos) << c.name << ": " << r.error.ToString();
  }
}

TEST(ResourceScriptTest, ByteOrderMarkAndWindowsLineEndsAreAccepted) {
  ResourceScript s = ParseOrFail("\xEF\xBB\xBFSTRINGTABLE\r\nBEGIN\r\n 5 \"caf\xc3\xa9\"\r\nEND\r\n");
  EXPECT_EQ(*s.String(5), "caf\xc3\xa9");
}

}  // namespace
}  // namespace platform
