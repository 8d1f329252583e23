// The console backend: prompts on a terminal, answers typed by a person.
#include "platform/ui/console_ui.h"

#include <unistd.h>

#include <cerrno>

#include "console_input.h"
#include "console_render.h"
#include "platform/ui/dialog_driver.h"
#include "platform/files/winpath.h"
#include "ui_internal.h"

namespace platform {
namespace {

constexpr int kBarWidth = 30;

bool IsCancelWord(const std::string& line) {
  return EqualsNoCase(line, "c") || EqualsNoCase(line, "cancel") || line == "\x1b";
}

}  // namespace

ConsoleUi::ConsoleUi() : ConsoleUi(STDIN_FILENO, STDERR_FILENO) {}

ConsoleUi::ConsoleUi(int inputFd, int outputFd)
    : input_(std::make_unique<LineReader>(inputFd)),
      output_(outputFd),
      terminal_(::isatty(outputFd) == 1) {}

ConsoleUi::~ConsoleUi() { EndBarLine(); }

void ConsoleUi::Write(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(output_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere to show it; the program goes on regardless
    done += static_cast<size_t>(n);
  }
}

void ConsoleUi::EndBarLine() {
  if (!barLineOpen_) return;
  barLineOpen_ = false;
  Write("\n");
}

void ConsoleUi::Fail(const std::string& message) {
  EndBarLine();
  Write("error: " + message + "\n");
}

int ConsoleUi::PresentMessageBox(const MessageBoxRequest& request) {
  EndBarLine();
  std::vector<int> buttons = MessageBoxButtons(request.type);
  int fallback = MessageBoxDefault(request.type);
  std::string prompt = RenderMessageBox(request);
  Write(prompt);
  std::string line;
  while (input_->ReadLine(&line)) {
    if (int answer = ParseAnswer(line, buttons, fallback)) return answer;
    Write("Please answer with one of the buttons > ");
  }
  Write("\n(end of input: " + std::string(AnswerName(fallback)) + ")\n");
  return fallback;
}

void ConsoleUi::RunModal(DialogDriver& driver) {
  EndBarLine();
  std::string line;
  while (driver.IsOpen()) {
    Write(RenderDialog(driver) + "> ");
    if (!input_->ReadLine(&line)) {
      Write("\n(end of input)\n");
      int def = driver.DefaultButton();
      if (def && driver.IsEnabled(def)) driver.Click(def);
      if (driver.IsOpen()) driver.Close();
      return;
    }
    if (line == "?" || !ExecuteDialogCommand(driver, line)) Write(kDialogHelp);
  }
}

Hwnd ConsoleUi::TopLevelOf(Hwnd window) const {
  Hwnd h = window;
  for (Window* w = UiInternal::FindQuiet(windows(), h); w && w->child; w = UiInternal::FindQuiet(windows(), h)) {
    h = w->parent;
  }
  return h;
}

bool ConsoleUi::IsShownModeless(Hwnd window) const { return shown_.count(TopLevelOf(window)) > 0; }

void ConsoleUi::OnShown(Hwnd window) {
  if (!windows().IsDialog(window)) return;
  shown_.insert(window);
  EndBarLine();
  std::string text = "=== " + windows().GetWindowText(window) + " ===\n";
  for (Hwnd c : windows().GetChildren(window)) {
    ControlKind kind = windows().GetControlKind(c);
    if ((kind == ControlKind::kStatic || kind == ControlKind::kEdit) && windows().IsWindowVisible(c)) {
      std::string t = PlainText(windows().GetWindowText(c));
      if (!t.empty()) text += "  " + t + "\n";
    }
  }
  Write(text);
}

void ConsoleUi::OnHidden(Hwnd window) {
  if (shown_.erase(window) || window == barOwner_) EndBarLine();
}

void ConsoleUi::OnDestroyed(Hwnd window) {
  lastTenth_.erase(window);
  if (shown_.erase(window) || window == barOwner_) EndBarLine();
}

void ConsoleUi::OnTextChanged(Hwnd control) {
  ControlKind kind = windows().GetControlKind(control);
  if (kind != ControlKind::kStatic && kind != ControlKind::kEdit) return;
  if (!IsShownModeless(control) || !windows().IsWindowVisible(control)) return;
  std::string text = PlainText(windows().GetWindowText(control));
  if (text.empty()) return;
  EndBarLine();
  Write(windows().GetWindowText(TopLevelOf(control)) + ": " + text + "\n");
}

void ConsoleUi::OnProgress(Hwnd bar, int low, int high, int position) {
  if (!windows().IsWindowVisible(bar)) return;
  barOwner_ = TopLevelOf(bar);
  std::string caption = windows().GetWindowText(barOwner_);
  std::string line = RenderBar(caption, low, high, position, kBarWidth);
  if (terminal_) {
    Write("\r" + line + "\x1b[K");
    barLineOpen_ = true;
    return;
  }
  int tenth = PercentOf(low, high, position) / 10;
  auto it = lastTenth_.find(bar);
  if (it != lastTenth_.end() && it->second == tenth) return;
  lastTenth_[bar] = tenth;
  Write(line + "\n");
}

void ConsoleUi::OnBeep(uint32_t) { Write("\a"); }

void ConsoleUi::PollInput() {
  Hwnd cancel = 0;
  for (Hwnd dialog : shown_) {
    for (Hwnd button : windows().GetChildren(dialog)) {
      if (windows().GetDlgCtrlID(button) == IDCANCEL && windows().IsWindowEnabled(button) && windows().IsWindowVisible(button)) {
        cancel = button;
      }
    }
  }
  if (!cancel) return;
  std::string line;
  if (!input_->TryReadLine(&line)) return;
  if (!IsCancelWord(line)) {
    input_->Unread(line);  // an answer typed ahead for a later prompt
    return;
  }
  EndBarLine();
  Write("(Cancel pressed)\n");
  windows().PostClick(cancel);
}

}  // namespace platform
