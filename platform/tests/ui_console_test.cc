// The console backend through pipes and a pseudo-terminal: dialogs driven by typed commands,
// progress bars drawn on the output, a typed Cancel noticed while a loop polls its messages.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include "platform/ui/console_ui.h"
#include "ui_test_support.h"

namespace platform {
namespace {

using testing::DialogFrom;
using testing::Pipe;

constexpr std::string_view kDialogs = R"rc(
SPRACHEDLG DIALOG 0, 0, 150, 90
CAPTION "Language"
BEGIN
    LTEXT           "Choose your language:",-1,7,7,100,8
    LISTBOX         1027,7,18,80,60
    AUTOCHECKBOX    "Remember",1030,7,80,60,10
    EDITTEXT        1031,90,80,40,12
    DEFPUSHBUTTON   "OK",IDOK,95,7,50,14
    PUSHBUTTON      "&Cancel",IDCANCEL,95,24,50,14
END

COPYDIALOG DIALOG 0, 0, 200, 60
STYLE WS_POPUP | WS_VISIBLE | WS_CAPTION
CAPTION "Copying"
BEGIN
    LTEXT           "",1014,7,7,180,8
    CONTROL         "",11111,"msctls_progress32",0,7,28,180,10
    PUSHBUTTON      "Cancel",IDCANCEL,75,42,50,14
END
)rc";

struct LanguageChoice {
  intptr_t result = 0;
  int language = -1;
  bool remember = false;
  std::string note;
};

// Shows the language dialog on a console that reads `typed`.
LanguageChoice ChooseLanguage(UserInterface& ui) {
  LanguageChoice out;
  DialogProc proc = [&](Hwnd dlg, uint32_t msg, WParam w, LParam) -> intptr_t {
    if (msg == WM_INITDIALOG) {
      for (const char* name : {"Deutsch", "English", "French"}) {
        ui.SendDlgItemMessage(dlg, 1027, LB_ADDSTRING, 0, reinterpret_cast<LParam>(name));
      }
      ui.SendDlgItemMessage(dlg, 1027, LB_SETCURSEL, 0, 0);
      return 1;
    }
    if (msg == WM_COMMAND && (LoWord(w) == IDOK || LoWord(w) == IDCANCEL)) {
      out.language = static_cast<int>(ui.SendDlgItemMessage(dlg, 1027, LB_GETCURSEL, 0, 0));
      out.remember = ui.IsDlgButtonChecked(dlg, 1030) == BST_CHECKED;
      out.note = ui.GetDlgItemText(dlg, 1031);
      ui.EndDialog(dlg, LoWord(w));
      return 1;
    }
    return 0;
  };
  out.result = ui.DialogBox(DialogFrom(kDialogs, "SPRACHEDLG"), 0, proc);
  return out;
}

TEST(ConsoleDialogTest, TypedCommandsDriveAModalDialog) {
  Pipe in, out;
  in.Write("1027 2\n1030\n1031=hello there\nnonsense\n\n");
  UserInterface ui(std::make_unique<ConsoleUi>(in.read(), out.write()));
  LanguageChoice got = ChooseLanguage(ui);
  EXPECT_EQ(got.result, IDOK);
  EXPECT_EQ(got.language, 2);
  EXPECT_TRUE(got.remember);
  EXPECT_EQ(got.note, "hello there");
  std::string shown = out.Drain();
  EXPECT_NE(shown.find("=== Language [SPRACHEDLG] ==="), std::string::npos);
  EXPECT_NE(shown.find("[1027] list:\n        0 * Deutsch"), std::string::npos);
  EXPECT_NE(shown.find("[1030] [x] Remember"), std::string::npos);
  EXPECT_NE(shown.find("[1] <OK>*  [2] <Cancel>"), std::string::npos);
  EXPECT_NE(shown.find("Type a button's number"), std::string::npos);  // help after nonsense
}

TEST(ConsoleDialogTest, ButtonNamesAndTheEndOfInput) {
  {
    Pipe in, out;
    in.Write("cancel\n");
    UserInterface ui(std::make_unique<ConsoleUi>(in.read(), out.write()));
    EXPECT_EQ(ChooseLanguage(ui).result, IDCANCEL);
  }
  {
    Pipe in, out;
    in.Write("1027 1\n");
    in.CloseWrite();
    UserInterface ui(std::make_unique<ConsoleUi>(in.read(), out.write()));
    LanguageChoice got = ChooseLanguage(ui);
    EXPECT_EQ(got.result, IDOK);  // the default button, once input ends
    EXPECT_EQ(got.language, 1);
  }
}

TEST(ConsoleProgressTest, WithoutATerminalOneLinePerTenth) {
  Pipe in, out;
  UserInterface ui(std::make_unique<ConsoleUi>(in.read(), out.write()));
  Hwnd dlg = ui.CreateDialog(DialogFrom(kDialogs, "COPYDIALOG"), 0);
  ui.SetDlgItemText(dlg, 1014, "A:\\SCAN32.DL_");
  Hwnd bar = ui.GetDlgItem(dlg, 11111);
  ui.SendMessage(bar, PBM_SETRANGE, 0, MakeLParam(0, 200));
  for (int pos = 0; pos <= 200; ++pos) ui.SendMessage(bar, PBM_SETPOS, static_cast<WParam>(pos), 0);
  ui.DestroyWindow(dlg);
  std::string shown = out.Drain();
  EXPECT_NE(shown.find("=== Copying ==="), std::string::npos);
  EXPECT_NE(shown.find("Copying: A:\\SCAN32.DL_\n"), std::string::npos);
  EXPECT_NE(shown.find("Copying [" + std::string(15, '#') + std::string(15, '.') + "]  50%\n"), std::string::npos);
  EXPECT_NE(shown.find("Copying [" + std::string(30, '#') + "] 100%\n"), std::string::npos);
  size_t lines = 0;
  for (size_t at = shown.find("Copying ["); at != std::string::npos; at = shown.find("Copying [", at + 1)) ++lines;
  EXPECT_EQ(lines, 11u);  // at 0% when the range is set, then once per tenth
}

TEST(ConsoleProgressTest, ABarInAPlainWindowIsCaptionedWithThatWindow) {
  Pipe in, out;
  UserInterface ui(std::make_unique<ConsoleUi>(in.read(), out.write()));
  Hwnd window = ui.CreateWindow("dearc", "dearc", WS_VISIBLE, 0, {});
  Hwnd hidden = ui.CreateControl(window, kProgressClass, "", 0, 2);
  Hwnd bar = ui.CreateControl(window, kProgressClass, "", WS_VISIBLE, 1);
  ui.SendMessage(hidden, PBM_SETPOS, 50, 0);
  ui.SendMessage(bar, PBM_SETPOS, 100, 0);
  EXPECT_EQ(out.Drain(), "dearc [" + std::string(30, '#') + "] 100%\n");
}

TEST(ConsoleProgressTest, ATypedCancelReachesALoopThatPollsItsMessages) {
  Pipe in, out;
  in.Write("y\nc\n");  // the first line answers a later prompt; the second cancels
  UserInterface ui(std::make_unique<ConsoleUi>(in.read(), out.write()));
  int cancels = 0;
  DialogProc proc = [&](Hwnd, uint32_t m, WParam w, LParam) -> intptr_t {
    cancels += m == WM_COMMAND && LoWord(w) == IDCANCEL;
    return 1;
  };
  Hwnd dlg = ui.CreateDialog(DialogFrom(kDialogs, "COPYDIALOG"), 0, proc);
  Msg m;
  int polls = 0;
  while (cancels == 0 && polls < 1000) {
    ++polls;
    while (ui.PeekMessage(&m, 0, 0, 0, PM_REMOVE)) ui.DispatchMessage(m);
  }
  EXPECT_EQ(cancels, 0) << "the first line is not a cancel";
  ui.DestroyWindow(dlg);
  EXPECT_EQ(ui.MessageBox(0, "Continue?", "Setup", MB_YESNO | MB_DEFBUTTON2), IDYES);

  dlg = ui.CreateDialog(DialogFrom(kDialogs, "COPYDIALOG"), 0, proc);
  for (polls = 0; cancels == 0 && polls < 1000; ++polls) {
    while (ui.PeekMessage(&m, 0, 0, 0, PM_REMOVE)) ui.DispatchMessage(m);
  }
  EXPECT_EQ(cancels, 1);
  EXPECT_NE(out.Drain().find("(Cancel pressed)"), std::string::npos);
}

// A pseudo-terminal: the console sees a terminal on both sides.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master_, 0);
    EXPECT_EQ(::grantpt(master_), 0);
    EXPECT_EQ(::unlockpt(master_), 0);
    slave_ = ::open(::ptsname(master_), O_RDWR | O_NOCTTY);
    EXPECT_GE(slave_, 0);
    termios t{};
    ::tcgetattr(slave_, &t);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO);  // keep the typed text out of what is read back
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    ::tcsetattr(slave_, TCSANOW, &t);
  }
  ~PseudoTerminal() {
    ::close(slave_);
    ::close(master_);
  }
  int terminal() const { return slave_; }
  void Type(std::string_view text) { ASSERT_EQ(::write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size())); }
  std::string Screen() {
    std::string out;
    char buf[4096];
    int flags = ::fcntl(master_, F_GETFL);
    ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    ssize_t n;
    while ((n = ::read(master_, buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    ::fcntl(master_, F_SETFL, flags);
    return out;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
};

TEST(ConsoleTerminalTest, AnswersFromATerminalAndRedrawsTheBarInPlace) {
  PseudoTerminal pty;
  UserInterface ui(std::make_unique<ConsoleUi>(pty.terminal(), pty.terminal()));
  pty.Type("r\n");
  EXPECT_EQ(ui.MessageBox(0, "Scanner is not found!", "Tovelink", MB_RETRYCANCEL | MB_ICONEXCLAMATION), IDRETRY);
  EXPECT_NE(pty.Screen().find("--- Tovelink (warning) ---\nScanner is not found!\n1) [R]etry*  2) [C]ancel > "),
            std::string::npos);

  Hwnd dlg = ui.CreateDialog(DialogFrom(kDialogs, "COPYDIALOG"), 0);
  Hwnd bar = ui.GetDlgItem(dlg, 11111);
  for (int pos : {10, 11, 12}) ui.SendMessage(bar, PBM_SETPOS, static_cast<WParam>(pos), 0);
  std::string screen = pty.Screen();
  std::string bar3 = "\rCopying [###" + std::string(27, '.') + "]  ";
  EXPECT_NE(screen.find(bar3 + "10%\x1b[K" + bar3 + "11%\x1b[K"), std::string::npos);
  ui.DestroyWindow(dlg);
  EXPECT_EQ(pty.Screen(), "\n");  // the bar's line is ended when its dialog goes
}

}  // namespace
}  // namespace platform
