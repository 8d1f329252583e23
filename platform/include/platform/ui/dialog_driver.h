// A live dialog operated from outside, as a person would: read its controls by identifier, type,
// select, check and click. Backends drive modal dialogs with it (the scripted backend hands it to
// a test's script, the console backend turns typed commands into its calls), and tests use it on
// modeless dialogs.
//
// Every action goes through the same messages a person's input produces: a click is a button-down
// and button-up in the message queue (dispatched at once while the dialog runs modally, else left
// for the program's own loop); typing and selecting change the control and send its notification
// to the dialog. An action on a missing, disabled or hidden control, or on a dialog that has
// ended, does nothing, returns false and is reported to the error sink.
//
// In a property sheet, controls are looked up in the sheet (OK, Cancel, Apply) and then in the
// page on show.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/ui.h"

namespace platform {

class DialogDriver {
 public:
  using ErrorSink = std::function<void(const std::string&)>;
  DialogDriver(UserInterface& ui, Hwnd dialog, ErrorSink onError = {});

  UserInterface& ui() const { return ui_; }
  Hwnd dialog() const { return dialog_; }
  const DialogTemplate* Template() const;
  // The template's id and caption, for messages.
  std::string Describe() const;
  bool IsOpen() const;
  intptr_t Result() const;  // the EndDialog value once ended

  // --- Reading.
  std::string Caption() const;
  Hwnd Control(int id) const;  // 0 when there is none
  bool Has(int id) const { return Control(id) != 0; }
  // The controls in the order a person reads them: the page's after the sheet's own.
  std::vector<Hwnd> Controls() const;
  std::string Text(int id) const;
  std::vector<std::string> Items(int id) const;
  int Selection(int id) const;
  std::vector<int> Selections(int id) const;
  bool IsChecked(int id) const;
  bool IsEnabled(int id) const;
  int Position(int id) const;  // of a progress bar or up-down control
  // The push button a person's Enter presses: the default push button, else IDOK.
  int DefaultButton() const;

  // --- Acting.
  bool Click(int id);
  bool Type(int id, std::string_view text);          // edit, or the edit part of a combo box
  bool Select(int id, int index);                    // the only selection of a list or combo box
  bool SelectText(int id, std::string_view item);    // the item with exactly this text
  bool SelectMany(int id, const std::vector<int>& indexes);  // multi-selection list
  bool Check(int id, bool checked);                  // check box or radio button
  bool SetPosition(int id, int position);            // up-down control
  bool Close();                                      // the close box (WM_CLOSE)

  // --- Property sheets.
  int PageCount() const;
  int CurrentPage() const;  // -1 for a plain dialog
  bool ShowPage(int index);

 private:
  Hwnd Usable(int id, const char* action) const;
  bool Report(const std::string& what) const;
  UserInterface& ui_;
  Hwnd dialog_;
  ErrorSink onError_;
};

}  // namespace platform
