// Modal and modeless dialogs made from parsed templates, driven by scripts through their
// control identifiers, and property sheets.
#include <gtest/gtest.h>

#include "platform/ui/dialog_driver.h"
#include "ui_test_support.h"

namespace platform {
namespace {

using testing::DialogFrom;
using testing::RecordingUi;

constexpr std::string_view kDialogs = R"rc(
CHOOSESCANNER DIALOG 0, 0, 200, 120
CAPTION "Scanner models"
BEGIN
    LTEXT           "Choose your models:",-1,7,7,60,8
    LISTBOX         1007,7,18,120,80,LBS_MULTIPLESEL
    DEFPUSHBUTTON   "OK",IDOK,140,7,50,14
    PUSHBUTTON      "Cancel",IDCANCEL,140,24,50,14
    PUSHBUTTON      "&Help",9,140,41,50,14
END

PORT_SETUP DIALOG 0, 0, 200, 100
CAPTION "Port"
BEGIN
    AUTORADIOBUTTON "Automatic search",2002,7,7,100,10,WS_GROUP
    AUTORADIOBUTTON "Manual",2003,7,20,100,10
    AUTOCHECKBOX    "Remember",2010,7,33,100,10,WS_GROUP
    EDITTEXT        2011,7,46,60,12
    COMBOBOX        1015,7,60,80,50,CBS_DROPDOWNLIST
    AUTORADIOBUTTON "LPT1",2020,7,80,40,10,WS_GROUP
    AUTORADIOBUTTON "LPT2",2021,50,80,40,10
    DEFPUSHBUTTON   "OK",IDOK,140,7,50,14
    PUSHBUTTON      "Cancel",IDCANCEL,140,24,50,14
END

FILENOTFOUND DIALOG 0, 0, 160, 50
CAPTION "File not found"
BEGIN
    LTEXT           "Cannot find:",-1,7,7,60,8
    LTEXT           "",1019,70,7,80,8
    DEFPUSHBUTTON   "OK",IDOK,55,30,50,14
END

COPYDIALOG DIALOG 0, 0, 200, 60
STYLE WS_POPUP | WS_VISIBLE | WS_CAPTION
CAPTION "Copying"
BEGIN
    LTEXT           "",1014,7,7,180,8
    LTEXT           "",1015,7,17,180,8
    CONTROL         "",11111,"msctls_progress32",WS_BORDER,7,28,180,10
    PUSHBUTTON      "Cancel",IDCANCEL,75,42,50,14
END
)rc";

TEST(ModalDialogTest, ScriptDrivesAMultipleSelectionListThroughTheDialogProcedure) {
  RecordingUi r;
  std::vector<int> chosen;
  DialogProc proc = [&](Hwnd dlg, uint32_t msg, WParam w, LParam) -> intptr_t {
    UserInterface& ui = r.ui;
    if (msg == WM_INITDIALOG) {
      for (const char* model : {"610P", "1200S", "620U"}) {
        ui.SendDlgItemMessage(dlg, 1007, LB_ADDSTRING, 0, reinterpret_cast<LParam>(model));
      }
      ui.EnableWindow(ui.GetDlgItem(dlg, IDOK), false);
      return 1;
    }
    if (msg != WM_COMMAND) return 0;
    int id = LoWord(w);
    if (id == 1007 && HiWord(w) == LBN_SELCHANGE) {
      ui.EnableWindow(ui.GetDlgItem(dlg, IDOK), ui.SendDlgItemMessage(dlg, 1007, LB_GETSELCOUNT, 0, 0) > 0);
    } else if (id == 9) {
      ui.MessageBox(dlg, "Choose every model you own.", "KV-TWAIN Setup", MB_OK | MB_ICONQUESTION);
    } else if (id == IDOK || id == IDCANCEL) {
      chosen = ui.GetSelections(ui.GetDlgItem(dlg, 1007));
      ui.EndDialog(dlg, id);
    }
    return 1;
  };
  r.script.ExpectMessageBox("every model", IDOK);
  r.script.ExpectDialog("ChooseScanner", [](DialogDriver& d) {
    EXPECT_EQ(d.Caption(), "Scanner models");
    EXPECT_EQ(d.Items(1007), (std::vector<std::string>{"610P", "1200S", "620U"}));
    EXPECT_FALSE(d.Click(IDOK));  // disabled until something is chosen
    EXPECT_TRUE(d.SelectMany(1007, {0, 2}));
    EXPECT_TRUE(d.IsEnabled(IDOK));
    EXPECT_TRUE(d.Click(9));
    EXPECT_TRUE(d.IsOpen());
    EXPECT_TRUE(d.Click(IDOK));
    EXPECT_FALSE(d.IsOpen());
  });
  intptr_t result = r.ui.DialogBox(DialogFrom(kDialogs, "CHOOSESCANNER"), 0, proc);
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(chosen, (std::vector<int>{0, 2}));
  ASSERT_EQ(r.failures.size(), 1u);
  EXPECT_NE(r.failures[0].find("disabled"), std::string::npos);
  EXPECT_TRUE(r.script.Unmet().empty());
}

TEST(ModalDialogTest, RadioButtonsCheckBoxesEditsAndComboBoxesByIdentifier) {
  RecordingUi r;
  struct Settings { bool manual = false, remember = false; std::string port, card; } got;
  int editChanges = 0;
  DialogProc proc = [&](Hwnd dlg, uint32_t msg, WParam w, LParam) -> intptr_t {
    UserInterface& ui = r.ui;
    if (msg == WM_INITDIALOG) {
      ui.CheckRadioButton(dlg, 2002, 2003, 2002);
      ui.CheckRadioButton(dlg, 2020, 2021, 2021);
      for (const char* card : {"Orvex", "IBM PS/2 (ISA)", "TOSHIBA"}) {
        ui.SendDlgItemMessage(dlg, 1015, CB_ADDSTRING, 0, reinterpret_cast<LParam>(card));
      }
      ui.SendDlgItemMessage(dlg, 1015, CB_SETCURSEL, 0, 0);
      editChanges = 0;
      return 1;
    }
    if (msg == WM_COMMAND && LoWord(w) == 2011 && HiWord(w) == EN_CHANGE) ++editChanges;
    if (msg == WM_COMMAND && LoWord(w) == IDOK) {
      got = {ui.IsDlgButtonChecked(dlg, 2003) == BST_CHECKED, ui.IsDlgButtonChecked(dlg, 2010) == BST_CHECKED,
             ui.GetDlgItemText(dlg, 2011), ui.GetDlgItemText(dlg, 1015)};
      ui.EndDialog(dlg, IDOK);
    }
    return msg == WM_COMMAND;
  };
  r.script.ExpectDialog("PORT_SETUP", [](DialogDriver& d) {
    EXPECT_TRUE(d.IsChecked(2002));
    EXPECT_EQ(d.Text(1015), "Orvex");
    EXPECT_TRUE(d.Check(2003, true));
    EXPECT_FALSE(d.IsChecked(2002));  // one of a group
    EXPECT_TRUE(d.IsChecked(2021));   // another group keeps its choice
    EXPECT_FALSE(d.Check(2003, false));
    EXPECT_TRUE(d.Check(2010, true));
    EXPECT_TRUE(d.Type(2011, "0x378"));
    EXPECT_FALSE(d.Type(1015, "typed"));  // a drop-down list takes no typing
    EXPECT_TRUE(d.SelectText(1015, "TOSHIBA"));
    d.Click(IDOK);
  });
  EXPECT_EQ(r.ui.DialogBox(DialogFrom(kDialogs, "PORT_SETUP"), 0, proc), IDOK);
  EXPECT_TRUE(got.manual);
  EXPECT_TRUE(got.remember);
  EXPECT_EQ(got.port, "0x378");
  EXPECT_EQ(got.card, "TOSHIBA");
  EXPECT_EQ(editChanges, 1);
  EXPECT_EQ(r.failures.size(), 2u);  // clearing a radio button and typing into a list
}

TEST(ModalDialogTest, WithoutAProcedureAnyButtonEndsTheDialog) {
  RecordingUi r;
  r.script.ExpectDialog("FileNotFound", IDOK);
  EXPECT_EQ(r.ui.DialogBox(DialogFrom(kDialogs, "FILENOTFOUND"), 0), IDOK);
  // Ended while it was being made: no prompt is shown, so none is expected.
  DialogProc endAtOnce = [&](Hwnd dlg, uint32_t msg, WParam, LParam) -> intptr_t {
    if (msg == WM_INITDIALOG) r.ui.EndDialog(dlg, 77);
    return 0;
  };
  EXPECT_EQ(r.ui.DialogBox(DialogFrom(kDialogs, "FILENOTFOUND"), 0, endAtOnce), 77);
  EXPECT_TRUE(r.failures.empty());
}

TEST(ModalDialogTest, UnexpectedOrUnfinishedDialogsFailAndAreCancelled) {
  RecordingUi r;
  DialogProc showName = [&](Hwnd dlg, uint32_t msg, WParam, LParam) -> intptr_t {
    if (msg == WM_INITDIALOG) r.ui.SetDlgItemText(dlg, 1019, "SCAN32.DL_");
    return 0;
  };
  EXPECT_EQ(r.ui.DialogBox(DialogFrom(kDialogs, "FILENOTFOUND"), 0, showName), IDCANCEL);
  ASSERT_EQ(r.failures.size(), 1u);
  EXPECT_NE(r.failures[0].find("FILENOTFOUND"), std::string::npos);
  EXPECT_NE(r.failures[0].find("SCAN32.DL_"), std::string::npos);

  // A procedure that ignores Cancel still cannot keep an unfinished dialog open.
  DialogProc stubborn = [](Hwnd, uint32_t msg, WParam, LParam) -> intptr_t { return msg == WM_COMMAND; };
  r.script.ExpectDialog("CHOOSESCANNER", [](DialogDriver& d) { d.SelectMany(1007, {}); });
  EXPECT_EQ(r.ui.DialogBox(DialogFrom(kDialogs, "CHOOSESCANNER"), 0, stubborn), IDCANCEL);
  EXPECT_NE(r.failures.back().find("still open"), std::string::npos);
}

TEST(ModelessDialogTest, CreatedUpdatedByMessagesAndDestroyed) {
  RecordingUi r;
  constexpr uint32_t kSourceName = 0x0C00, kDestinationName = 0x0C01;
  bool destroyed = false;
  DialogProc proc = [&](Hwnd dlg, uint32_t msg, WParam, LParam l) -> intptr_t {
    if (msg == kSourceName || msg == kDestinationName) {
      r.ui.SetDlgItemText(dlg, msg == kSourceName ? 1014 : 1015, reinterpret_cast<const char*>(l));
      return 1;
    }
    if (msg == WM_DESTROY) destroyed = true;
    return msg == WM_INITDIALOG;
  };
  Hwnd seen = 0;
  r.script.ExpectModeless("COPYDIALOG", [&](DialogDriver& d) { seen = d.dialog(); });
  r.script.ExpectModeless("never shown");
  Hwnd dlg = r.ui.CreateDialog(DialogFrom(kDialogs, "COPYDIALOG"), 0, proc);
  ASSERT_NE(dlg, 0u);
  EXPECT_EQ(seen, dlg);
  EXPECT_TRUE(r.ui.IsWindowVisible(dlg));

  r.ui.SendMessage(dlg, kSourceName, 0, reinterpret_cast<LParam>("A:\\...\\SCAN32.DL_"));
  r.ui.SendMessage(dlg, kDestinationName, 0, reinterpret_cast<LParam>("C:\\WINDOWS\\SCAN32.DLL"));
  EXPECT_EQ(r.ui.GetDlgItemText(dlg, 1014), "A:\\...\\SCAN32.DL_");
  EXPECT_EQ(r.ui.GetDlgItemText(dlg, 1015), "C:\\WINDOWS\\SCAN32.DLL");
  Hwnd bar = r.ui.GetDlgItem(dlg, 11111);
  r.ui.SendMessage(bar, PBM_SETRANGE, 0, MakeLParam(0, 100));
  r.ui.SendMessage(bar, PBM_SETPOS, 40, 0);
  EXPECT_EQ(DialogDriver(r.ui, dlg).Position(11111), 40);

  EXPECT_TRUE(r.ui.DestroyWindow(dlg));
  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(r.ui.IsWindow(dlg));
  EXPECT_FALSE(r.ui.IsWindow(bar));
  EXPECT_EQ(r.script.Unmet(), std::vector<std::string>{"modeless dialog never shown"});
  EXPECT_TRUE(r.failures.empty());
}

TEST(PropertySheetTest, PagesAreMadeWhenFirstShownAndApplyOnOk) {
  RecordingUi r;
  std::vector<std::string> events;
  bool refuseToLeave = true;
  auto page = [&](const char* name) {
    return [&, name](Hwnd dlg, uint32_t msg, WParam, LParam l) -> intptr_t {
      if (msg == WM_INITDIALOG) events.push_back(std::string(name) + " init");
      if (msg != WM_NOTIFY) return msg == WM_INITDIALOG;
      uint32_t code = reinterpret_cast<NMHDR*>(l)->code;
      if (code == PSN_SETACTIVE) events.push_back(std::string(name) + " active");
      if (code == PSN_APPLY) events.push_back(std::string(name) + " apply");
      if (code == PSN_RESET) events.push_back(std::string(name) + " reset");
      if (code == PSN_KILLACTIVE && refuseToLeave) {
        refuseToLeave = false;
        r.ui.SetWindowLongPtr(dlg, DWLP_MSGRESULT, 1);
      }
      return 1;
    };
  };
  PropertySheetHeader sheet;
  sheet.caption = "Setup KV-TWAIN 32";
  sheet.flags = PSH_NOAPPLYNOW;
  sheet.pages.push_back({DialogFrom(kDialogs, "PORT_SETUP"), page("parallel"), 0});
  sheet.pages.push_back({DialogFrom(kDialogs, "FILENOTFOUND"), page("scsi"), 0});
  r.script.ExpectDialog("Setup KV-TWAIN 32", [](DialogDriver& d) {
    EXPECT_EQ(d.PageCount(), 2);
    EXPECT_FALSE(d.Has(0x3021));  // no Apply button
    EXPECT_TRUE(d.Check(2003, true));  // a control of the page on show
    EXPECT_FALSE(d.ShowPage(1));       // the page refused once
    EXPECT_TRUE(d.ShowPage(1));
    EXPECT_FALSE(d.Has(2003));
    EXPECT_TRUE(d.ShowPage(0));
    EXPECT_TRUE(d.IsChecked(2003));    // the page kept its state
    d.Click(IDOK);
  });
  EXPECT_EQ(r.ui.PropertySheet(sheet), 1);
  EXPECT_EQ(events, (std::vector<std::string>{"parallel init", "parallel active", "scsi init",
                                               "scsi active", "parallel active", "parallel apply",
                                               "scsi apply"}));
  ASSERT_EQ(r.failures.size(), 1u);  // the refused page turn

  events.clear();
  r.script.ExpectDialog("Setup KV-TWAIN 32", IDCANCEL);
  EXPECT_EQ(r.ui.PropertySheet(sheet), 0);
  EXPECT_EQ(events, (std::vector<std::string>{"parallel init", "parallel active", "parallel reset"}));
}

}  // namespace
}  // namespace platform
