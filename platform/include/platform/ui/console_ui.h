// The console backend: a person at a terminal.
//
// - A message box is printed with its caption, icon, text and buttons; the answer is typed as the
//   button's name, its first letter or its number. An empty line, or the end of input, gives the
//   default button.
// - A modal dialog or property sheet is printed control by control with their identifiers, and
//   driven by typed commands (a button's identifier or name clicks it; "ID ITEM[,ITEM]" selects
//   list items; "ID=TEXT" types into an edit; "page N" turns a sheet's page; "close" closes the
//   dialog). An empty line presses the default button; the end of input presses it and then
//   closes the dialog.
// - A visible modeless dialog prints its caption and its texts as they change, and its progress
//   bars are drawn on the output: redrawn in place on a terminal, one line per tenth otherwise.
//   While the program polls its messages, a line "c" (or "cancel") clicks the dialog's Cancel
//   button.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/ui/ui.h"
#include "platform/ui/ui_backend.h"

namespace platform {

class LineReader;

class ConsoleUi : public UiBackend {
 public:
  ConsoleUi();  // standard input and standard error
  // Reads from `inputFd` and writes to `outputFd`; neither is closed.
  ConsoleUi(int inputFd, int outputFd);
  ~ConsoleUi() override;

  void Fail(const std::string& message) override;
  int PresentMessageBox(const MessageBoxRequest& request) override;
  void RunModal(DialogDriver& driver) override;
  void OnShown(Hwnd window) override;
  void OnHidden(Hwnd window) override;
  void OnDestroyed(Hwnd window) override;
  void OnTextChanged(Hwnd control) override;
  void OnProgress(Hwnd bar, int low, int high, int position) override;
  void PollInput() override;
  void OnBeep(uint32_t type) override;

 private:
  void Write(const std::string& text);
  void EndBarLine();
  Hwnd TopLevelOf(Hwnd window) const;
  bool IsShownModeless(Hwnd window) const;
  bool Execute(DialogDriver& driver, const std::string& command);

  std::unique_ptr<LineReader> input_;
  int output_;
  bool terminal_;
  bool barLineOpen_ = false;       // a progress bar is drawn on the current terminal line
  Hwnd barOwner_ = 0;              // the window whose bar was drawn last
  std::set<Hwnd> shown_;           // modeless dialogs on show
  std::map<Hwnd, int> lastTenth_;  // per progress bar, the tenth last printed (not a terminal)
};

}  // namespace platform
