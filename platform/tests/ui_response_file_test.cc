#include <gtest/gtest.h>

#include "platform/modules/resources.h"
#include "platform/ui/response_file.h"
#include "platform/ui/scripted_ui.h"
#include "platform/ui/ui.h"

namespace platform {
namespace {

DialogTemplate ChoiceDialog() {
  auto parsed = ParseResourceScript(
      "CHOOSE DIALOG 0, 0, 100, 100\nCAPTION \"Choose\"\nBEGIN\n"
      "  LISTBOX 1007, 8, 8, 80, 60, LBS_MULTIPLESEL\n"
      "  DEFPUSHBUTTON \"OK\", 1, 8, 80, 50, 14\nEND\n");
  return parsed.script->dialogs.at(0);
}

TEST(UiResponseFileTest, DialogsAndBoxesAreAnsweredInOrder) {
  auto backend = std::make_unique<ScriptedUi>();
  ScriptedUi& scripted = *backend;
  ResponseFileError error;
  ASSERT_TRUE(LoadResponseFile(scripted,
                               "# comment\n"
                               "dialog choose: selectmany 1007 0,2; click 1\r\n"
                               "box \"Setup\" \"insert disk\" times=2: Retry\n"
                               "box \"done\": No\n",
                               &error))
      << error.message;
  UserInterface ui(std::move(backend));
  std::vector<int> chosen;
  const intptr_t r = ui.DialogBox(ChoiceDialog(), 0, [&](Hwnd d, uint32_t m, WParam wp,
                                                          LParam) -> intptr_t {
    if (m == WM_INITDIALOG) {
      for (const char* item : {"a", "b", "c"}) {
        ui.SendDlgItemMessage(d, 1007, LB_ADDSTRING, 0, reinterpret_cast<LParam>(item));
      }
      return 1;
    }
    if (m == WM_COMMAND && (wp & 0xFFFF) == IDOK) {
      chosen = ui.GetSelections(ui.GetDlgItem(d, 1007));
      ui.EndDialog(d, IDOK);
      return 1;
    }
    return 0;
  });
  EXPECT_EQ(r, IDOK);
  EXPECT_EQ(chosen, (std::vector<int>{0, 2}));
  EXPECT_EQ(ui.MessageBox(0, "Please insert disk 2", "Setup", MB_RETRYCANCEL), IDRETRY);
  EXPECT_EQ(ui.MessageBox(0, "Please insert disk 3", "Setup", MB_RETRYCANCEL), IDRETRY);
  EXPECT_EQ(ui.MessageBox(0, "All done?", "Setup", MB_YESNO), IDNO);
  EXPECT_TRUE(scripted.Unmet().empty());
}

TEST(UiResponseFileTest, BadLinesAreRefusedWithTheirNumberAndNothingQueued) {
  struct Case {
    const char* text;
    int line;
  };
  for (const Case& c : {Case{"dialog X: click\n", 1}, Case{"\n\nbox \"x\": Maybe\n", 3},
                        Case{"dialog X: click 1\nbox \"open: OK\n", 2},
                        Case{"dialog X\n", 1}, Case{"dialog X times=-1: click 1\n", 1},
                        Case{"window X: click 1\n", 1}, Case{"dialog X: selectmany 1 a\n", 1}}) {
    ScriptedUi ui;
    ResponseFileError error;
    EXPECT_FALSE(LoadResponseFile(ui, c.text, &error)) << c.text;
    EXPECT_EQ(error.line, c.line) << c.text;
    EXPECT_TRUE(ui.Unmet().empty()) << c.text;
  }
}

}  // namespace
}  // namespace platform
