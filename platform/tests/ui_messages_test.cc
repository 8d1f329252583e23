// Window messages: posted, sent and peeked by window and range; message loops; a progress bar fed
// by messages; a cancel button that a long operation polls.
#include <gtest/gtest.h>

#include <thread>

#include "platform/ui/dialog_driver.h"
#include "ui_test_support.h"

namespace platform {
namespace {

using testing::DialogFrom;
using testing::RecordingUi;

// A top-level window that records what it receives.
struct RecordingWindow {
  explicit RecordingWindow(UserInterface& ui) : ui(ui) {
    handle = ui.CreateWindow("GenericWClass", "Setup", WS_POPUP, 0,
                             [this](Hwnd h, uint32_t m, WParam w, LParam l) -> LResult {
                               received.push_back(Msg{h, m, w, l});
                               return this->ui.DefWindowProc(h, m, w, l);
                             });
  }
  UserInterface& ui;
  Hwnd handle = 0;
  std::vector<Msg> received;
};

TEST(MessageQueueTest, PeekFiltersByWindowAndRangeAndRemovesOnlyWhenAsked) {
  RecordingUi r;
  RecordingWindow a(r.ui), b(r.ui);
  r.ui.PostMessage(a.handle, WM_COMMAND, 6601, 0);
  r.ui.PostMessage(b.handle, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  r.ui.PostMessage(b.handle, WM_LBUTTONUP, 0, 0);
  Msg m;
  EXPECT_FALSE(r.ui.PeekMessage(&m, a.handle, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
  ASSERT_TRUE(r.ui.PeekMessage(&m, b.handle, WM_LBUTTONUP, WM_LBUTTONUP, PM_NOREMOVE));
  EXPECT_EQ(m.message, WM_LBUTTONUP);
  ASSERT_TRUE(r.ui.PeekMessage(&m, b.handle, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE));
  EXPECT_EQ(m.message, WM_LBUTTONDOWN);  // the earliest that matches
  ASSERT_TRUE(r.ui.PeekMessage(&m, 0, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.hwnd, a.handle);
  EXPECT_EQ(r.ui.DispatchMessage(m), 0);
  ASSERT_EQ(a.received.size(), 2u);  // WM_CREATE, then the command
  EXPECT_EQ(a.received[1].wParam, 6601u);
  EXPECT_TRUE(r.ui.PeekMessage(&m, 0, 0, 0, PM_REMOVE));
  EXPECT_FALSE(r.ui.PeekMessage(&m, 0, 0, 0, PM_REMOVE));
  EXPECT_FALSE(r.ui.PostMessage(0xDEAD0, WM_NULL, 0, 0));
}

TEST(MessageQueueTest, MessageLoopEndsWithQuitAfterEverythingElse) {
  RecordingUi r;
  int commands = 0;
  Hwnd main = r.ui.CreateWindow("GenericWClass", "Setup", WS_POPUP, 0,
                                [&](Hwnd h, uint32_t m, WParam w, LParam l) -> LResult {
                                  if (m == WM_COMMAND && ++commands < 3) r.ui.PostMessage(h, WM_COMMAND, w + 1, 0);
                                  if (m == WM_COMMAND && commands == 2) r.ui.DestroyWindow(h);
                                  if (m == WM_DESTROY) r.ui.PostQuitMessage(5);
                                  return r.ui.DefWindowProc(h, m, w, l);
                                });
  r.ui.PostMessage(main, WM_COMMAND, 6601, 0);
  Msg m;
  int got;
  while ((got = r.ui.GetMessage(&m, 0, 0, 0)) > 0) r.ui.DispatchMessage(m);
  EXPECT_EQ(got, 0);
  EXPECT_EQ(m.wParam, 5u);
  EXPECT_EQ(commands, 2);  // the third command went with its window
  EXPECT_TRUE(r.failures.empty());
}

TEST(MessageQueueTest, ALoopWaitingForNothingIsReportedNotLeftHanging) {
  RecordingUi r;
  r.ui.SetIdleLimit(std::chrono::milliseconds(30));
  Msg m;
  EXPECT_EQ(r.ui.GetMessage(&m, 0, 0, 0), -1);
  ASSERT_EQ(r.failures.size(), 1u);
  EXPECT_NE(r.failures[0].find("never came"), std::string::npos);
}

TEST(MessageQueueTest, AnotherThreadCanPostToAWaitingLoop) {
  RecordingUi r;
  RecordingWindow w(r.ui);
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    r.ui.PostMessage(w.handle, WM_USER + 7, 1, 2);
  });
  Msg m;
  EXPECT_EQ(r.ui.GetMessage(&m, 0, 0, 0), 1);
  poster.join();
  EXPECT_EQ(m.message, WM_USER + 7);
}

TEST(MessageQueueTest, SendCallsTheProcedureAndSubclassingWrapsIt) {
  RecordingUi r;
  RecordingWindow w(r.ui);
  EXPECT_TRUE(r.ui.SetWindowText(w.handle, "Orvex Setup"));
  EXPECT_EQ(r.ui.GetWindowText(w.handle), "Orvex Setup");
  WindowProc original = r.ui.SubclassWindow(w.handle, {});
  int seen = 0;
  r.ui.SubclassWindow(w.handle, [&](Hwnd h, uint32_t m, WParam wp, LParam lp) -> LResult {
    if (m == WM_USER) return 42;
    ++seen;
    return original(h, m, wp, lp);
  });
  EXPECT_EQ(r.ui.SendMessage(w.handle, WM_USER, 0, 0), 42);
  r.ui.SendMessage(w.handle, WM_USER + 1, 0, 0);
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(w.received.back().message, WM_USER + 1);
  EXPECT_EQ(r.ui.SendMessage(0xDEAD0, WM_USER, 0, 0), 0);
}

TEST(ProgressBarTest, FedByMessages) {
  RecordingUi r;
  RecordingWindow w(r.ui);
  Hwnd bar = r.ui.CreateControl(w.handle, kProgressClass, "", WS_CHILD | WS_VISIBLE, 11111);
  auto send = [&](uint32_t m, WParam wp, LParam lp) { return r.ui.SendMessage(bar, m, wp, lp); };
  EXPECT_EQ(send(PBM_SETRANGE, 0, MakeLParam(0, 100)), MakeLParam(0, 100));  // the default range
  EXPECT_EQ(send(PBM_SETSTEP, 1, 0), 10);
  EXPECT_EQ(send(PBM_SETPOS, 40, 0), 0);
  EXPECT_EQ(send(PBM_STEPIT, 0, 0), 40);
  EXPECT_EQ(send(PBM_GETPOS, 0, 0), 41);
  EXPECT_EQ(send(PBM_DELTAPOS, 100, 0), 41);
  EXPECT_EQ(send(PBM_GETPOS, 0, 0), 100);  // clamped to the range
  send(PBM_STEPIT, 0, 0);
  EXPECT_EQ(send(PBM_GETPOS, 0, 0), 0);  // past the end it starts over
  send(PBM_SETPOS, static_cast<WParam>(-5), 0);
  EXPECT_EQ(send(PBM_GETPOS, 0, 0), 0);
  EXPECT_EQ(send(PBM_SETRANGE32, 10, 20), MakeLParam(0, 100));
  EXPECT_EQ(send(PBM_GETPOS, 0, 0), 10);  // moved into the new range
  PBRange range{};
  EXPECT_EQ(send(PBM_GETRANGE, 1, reinterpret_cast<LParam>(&range)), 10);
  EXPECT_EQ(range.iHigh, 20);
}

// The way a long scan notices its Cancel button: it looks for button-down and button-up
// messages of that one window between reads, without dispatching anything else.
bool IsCancelPressed(UserInterface& ui, Hwnd cancel, bool& pressed) {
  Msg m;
  if (ui.PeekMessage(&m, cancel, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE)) {
    ui.SendMessage(cancel, WM_LBUTTONDOWN, m.wParam, m.lParam);
    pressed = true;
  } else if (!pressed) {
    return false;
  }
  if (!ui.PeekMessage(&m, cancel, WM_LBUTTONUP, WM_LBUTTONUP, PM_REMOVE)) return false;
  ui.SendMessage(cancel, WM_LBUTTONUP, m.wParam, m.lParam);
  pressed = false;
  return true;
}

TEST(CancelButtonTest, ALongLoopPollsTheCancelButtonOfAModelessDialog) {
  RecordingUi r;
  DialogTemplate progress = DialogFrom(R"rc(
Progress DIALOG 0, 0, 190, 56
STYLE WS_POPUP | WS_VISIBLE | WS_CAPTION
CAPTION "Scanning"
BEGIN
    LTEXT "", 1224, 7, 7, 176, 8
    CONTROL "", 42072, "msctls_progress32", 0, 7, 20, 176, 10
    PUSHBUTTON "Cancel", IDCANCEL, 70, 36, 50, 14
END
)rc", "Progress");
  int clicks = 0;
  DialogProc proc = [&](Hwnd, uint32_t m, WParam w, LParam) -> intptr_t {
    if (m == WM_COMMAND && LoWord(w) == IDCANCEL) ++clicks;
    return 1;
  };
  Hwnd dialog = 0;
  r.script.ExpectModeless("Progress", [&](DialogDriver& d) { dialog = d.dialog(); });
  Hwnd created = r.ui.CreateDialog(progress, 0, proc);
  ASSERT_EQ(created, dialog);
  Hwnd cancel = r.ui.GetDlgItem(dialog, IDCANCEL);
  Hwnd other = r.ui.CreateWindow("Other", "", WS_POPUP, 0, {});
  r.ui.PostMessage(other, WM_USER, 0, 0);  // not the loop's business: it stays queued

  bool pressed = false;
  int line = 0;
  for (; line < 100; ++line) {
    r.ui.SendDlgItemMessage(dialog, 42072, PBM_SETPOS, static_cast<WParam>(line), 0);
    if (line == 30) DialogDriver(r.ui, dialog).Click(IDCANCEL);  // a person clicks
    if (IsCancelPressed(r.ui, cancel, pressed)) break;
  }
  EXPECT_EQ(line, 30);
  EXPECT_EQ(clicks, 1);  // the button told its dialog as well
  Msg m;
  EXPECT_TRUE(r.ui.PeekMessage(&m, 0, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.hwnd, other);
  r.ui.DestroyWindow(dialog);
  EXPECT_TRUE(r.failures.empty());
}

TEST(CancelButtonTest, ADisabledButtonIgnoresClicks) {
  RecordingUi r;
  RecordingWindow w(r.ui);
  Hwnd button = r.ui.CreateControl(w.handle, kButtonClass, "Cancel", WS_VISIBLE, IDCANCEL);
  r.ui.EnableWindow(button, false);
  r.ui.SendMessage(button, BM_CLICK, 0, 0);
  r.ui.EnableWindow(button, true);
  r.ui.SendMessage(button, BM_CLICK, 0, 0);
  int commands = 0;
  for (const Msg& m : w.received) commands += m.message == WM_COMMAND && LoWord(m.wParam) == IDCANCEL;
  EXPECT_EQ(commands, 1);
}

}  // namespace
}  // namespace platform
