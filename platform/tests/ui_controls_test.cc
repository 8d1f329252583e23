// Controls answering their messages: list and combo boxes, up-down controls with a buddy, dialog
// item numbers, and routing messages to modeless dialogs.
#include <gtest/gtest.h>

#include "platform/ui/dialog_driver.h"
#include "platform/system/errors.h"
#include "ui_test_support.h"

namespace platform {
namespace {

using testing::DialogFrom;
using testing::RecordingUi;

constexpr std::string_view kPortPage = R"rc(
PARALLEL_PORT DIALOG 0, 0, 200, 100
STYLE WS_CHILD | WS_VISIBLE
BEGIN
    LTEXT           "1",1022,7,7,20,8
    CONTROL         "",1017,"msctls_updown32",UDS_SETBUDDYINT,30,7,10,14
    COMBOBOX        1015,7,30,100,60,CBS_DROPDOWNLIST
    LISTBOX         1018,7,50,100,40,LBS_SORT | LBS_NOTIFY
    EDITTEXT        1019,120,7,40,12
END
)rc";

LParam Text(const char* s) { return reinterpret_cast<LParam>(s); }

TEST(ListBoxTest, SortedInsertionSearchAndSelectionFollowDeletes) {
  RecordingUi r;
  Hwnd page = r.ui.CreateDialog(DialogFrom(kPortPage, "PARALLEL_PORT"), 0);
  Hwnd list = r.ui.GetDlgItem(page, 1018);
  for (const char* item : {"ID#-3: SCANNER", "id#-1: disk", "ID#-2: cd-rom"}) r.ui.SendMessage(list, LB_ADDSTRING, 0, Text(item));
  EXPECT_EQ(r.ui.GetItems(list), (std::vector<std::string>{"id#-1: disk", "ID#-2: cd-rom", "ID#-3: SCANNER"}));
  EXPECT_EQ(r.ui.SendMessage(list, LB_FINDSTRING, static_cast<WParam>(-1), Text("id#-2")), 1);
  EXPECT_EQ(r.ui.SendMessage(list, LB_FINDSTRING, 1, Text("ID#-1")), 0);  // wraps round
  EXPECT_EQ(r.ui.SendMessage(list, LB_FINDSTRINGEXACT, static_cast<WParam>(-1), Text("id#-2")), LB_ERR);
  EXPECT_EQ(r.ui.SendMessage(list, LB_SETCURSEL, 2, 0), 2);
  r.ui.SendMessage(list, LB_SETITEMDATA, 2, 6);
  EXPECT_EQ(r.ui.SendMessage(list, LB_DELETESTRING, 0, 0), 2);
  EXPECT_EQ(r.ui.GetSelection(list), 1);  // the same item, one place up
  EXPECT_EQ(r.ui.SendMessage(list, LB_GETITEMDATA, 1, 0), 6);
  r.ui.SendMessage(list, LB_DELETESTRING, 1, 0);
  EXPECT_EQ(r.ui.GetSelection(list), -1);
  EXPECT_EQ(r.ui.SendMessage(list, LB_SETCURSEL, 5, 0), LB_ERR);
  EXPECT_EQ(r.ui.SendMessage(list, LB_SETSEL, 1, 0), LB_ERR);  // not a multiple-selection list
  EXPECT_EQ(r.ui.SendMessage(list, LB_INSERTSTRING, 9, Text("x")), LB_ERR);
}

TEST(ComboBoxTest, ItemsReplacedInPlaceKeepTheirOrderAndSelection) {
  RecordingUi r;
  Hwnd page = r.ui.CreateDialog(DialogFrom(kPortPage, "PARALLEL_PORT"), 0);
  Hwnd combo = r.ui.GetDlgItem(page, 1015);
  for (const char* item : {"Orvex", "IBM PS/2 (ISA)", "TOSHIBA"}) r.ui.SendMessage(combo, CB_ADDSTRING, 0, Text(item));
  r.ui.SendMessage(combo, CB_SETCURSEL, 1, 0);
  EXPECT_EQ(r.ui.GetWindowText(combo), "IBM PS/2 (ISA)");
  // What a translator does to every child that holds items: delete each one and insert its
  // translation at the same place. Children without items answer CB_GETCOUNT with 0.
  int withItems = 0;
  for (Hwnd child : r.ui.GetChildren(page)) {
    LResult count = r.ui.SendMessage(child, CB_GETCOUNT, 0, 0);
    withItems += count > 0;
    for (LResult i = 0; i < count; ++i) {
      std::string text = r.ui.GetItems(child)[static_cast<size_t>(i)];
      r.ui.SendMessage(child, CB_DELETESTRING, static_cast<WParam>(i), 0);
      std::string translated = "[" + text + "]";
      r.ui.SendMessage(child, CB_INSERTSTRING, static_cast<WParam>(i), Text(translated.c_str()));
    }
  }
  EXPECT_EQ(withItems, 1);
  EXPECT_EQ(r.ui.GetItems(combo), (std::vector<std::string>{"[Orvex]", "[IBM PS/2 (ISA)]", "[TOSHIBA]"}));
  EXPECT_EQ(r.ui.GetSelection(combo), -1);  // the selected item was deleted on the way
  EXPECT_EQ(r.ui.GetWindowText(combo), "");
}

TEST(UpDownTest, APersonMovingItUpdatesTheBuddyAndTellsTheDialog) {
  RecordingUi r;
  std::vector<int> scrolled;
  bool refuse = false;
  DialogProc proc = [&](Hwnd dlg, uint32_t msg, WParam w, LParam l) -> intptr_t {
    if (msg == WM_VSCROLL && LoWord(w) == SB_THUMBPOSITION) scrolled.push_back(static_cast<int16_t>(HiWord(w)));
    if (msg == WM_NOTIFY && reinterpret_cast<NMHDR*>(l)->code == UDN_DELTAPOS && refuse) {
      r.ui.SetWindowLongPtr(dlg, DWLP_MSGRESULT, 1);
      return 1;
    }
    return 0;
  };
  Hwnd page = r.ui.CreateDialog(DialogFrom(kPortPage, "PARALLEL_PORT"), 0, proc);
  Hwnd updown = r.ui.GetDlgItem(page, 1017);
  r.ui.SendMessage(updown, UDM_SETBUDDY, r.ui.GetDlgItem(page, 1022), 0);
  r.ui.SendMessage(updown, UDM_SETRANGE, 0, MakeLParam(3, 1));  // upper limit first
  EXPECT_EQ(r.ui.SendMessage(updown, UDM_GETRANGE, 0, 0), MakeLParam(3, 1));
  r.ui.SendMessage(updown, UDM_SETPOS, 0, MakeLParam(2, 0));
  EXPECT_EQ(r.ui.GetDlgItemText(page, 1022), "2");

  DialogDriver d(r.ui, page);
  EXPECT_TRUE(d.SetPosition(1017, 9));
  EXPECT_EQ(d.Position(1017), 3);  // held within the range
  EXPECT_EQ(r.ui.GetDlgItemText(page, 1022), "3");
  refuse = true;
  EXPECT_TRUE(d.SetPosition(1017, 1));
  EXPECT_EQ(d.Position(1017), 3);
  EXPECT_EQ(scrolled, std::vector<int>{3});
  EXPECT_TRUE(r.failures.empty());
}

TEST(DialogItemTest, NumbersReadFromTextsAsWin32ReadsThem) {
  RecordingUi r;
  Hwnd page = r.ui.CreateDialog(DialogFrom(kPortPage, "PARALLEL_PORT"), 0);
  struct Case { const char* text; bool isSigned; bool ok; uint32_t value; };
  for (const Case& c : {Case{"  888", false, true, 888}, Case{"-2", true, true, static_cast<uint32_t>(-2)},
                        Case{"-2", false, false, 0}, Case{"0x378", false, false, 0},
                        Case{"", false, false, 0}, Case{"4294967296", false, false, 0},
                        Case{"12 ", false, true, 12}}) {
    r.ui.SetDlgItemText(page, 1019, c.text);
    bool translated = !c.ok;
    EXPECT_EQ(r.ui.GetDlgItemInt(page, 1019, &translated, c.isSigned), c.value) << c.text;
    EXPECT_EQ(translated, c.ok) << c.text;
  }
  r.ui.SetDlgItemInt(page, 1019, -7, true);
  EXPECT_EQ(r.ui.GetDlgItemText(page, 1019), "-7");
  EXPECT_EQ(r.ui.GetDlgItem(page, 4242), 0u);
  EXPECT_EQ(GetLastError(), kErrorControlIdNotFound);
}

TEST(ModelessRoutingTest, IsDialogMessageTakesOnlyItsOwnAndEndDialogHides) {
  RecordingUi r;
  int commands = 0;
  DialogProc proc = [&](Hwnd, uint32_t msg, WParam, LParam) -> intptr_t {
    commands += msg == WM_COMMAND;
    return 0;
  };
  Hwnd page = r.ui.CreateDialog(DialogFrom(kPortPage, "PARALLEL_PORT"), 0, proc);
  Hwnd other = r.ui.CreateWindow("Other", "", WS_POPUP, 0, {});
  EXPECT_TRUE(r.ui.IsDialogMessage(page, Msg{r.ui.GetDlgItem(page, 1019), WM_SETTEXT, 0, Text("abc")}));
  EXPECT_EQ(commands, 1);  // the edit told its dialog
  EXPECT_FALSE(r.ui.IsDialogMessage(page, Msg{other, WM_SETTEXT, 0, Text("abc")}));
  EXPECT_EQ(r.ui.GetWindowText(other), "");
  EXPECT_TRUE(r.ui.IsWindowVisible(page));
  EXPECT_TRUE(r.ui.EndDialog(page, 1));
  EXPECT_FALSE(r.ui.IsWindowVisible(page));
  EXPECT_TRUE(r.ui.IsWindow(page));
  EXPECT_FALSE(r.ui.EndDialog(other, 1));
  EXPECT_EQ(r.ui.CreateDialog(DialogFrom(kPortPage, "PARALLEL_PORT"), 0xBAD0), 0u);
}

}  // namespace
}  // namespace platform
