// What a person sees and does. The window system (UserInterface, ui.h) models every window and
// control itself; a backend is the small part that presents to a person what must reach one
// (message boxes, modal dialogs, windows shown and hidden, progress) and brings the answers back.
// A window system takes one backend when it is made:
//   - ScriptedUi (scripted_ui.h): tests and unattended runs say in advance which prompts come
//     and how they are answered; anything else is a loud failure.
//   - ConsoleUi (console_ui.h): a person at a terminal.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui/ui_constants.h"

namespace platform {

class DialogDriver;
class UserInterface;
struct MessageBoxRequest;

class UiBackend {
 public:
  virtual ~UiBackend() = default;

  // A loud failure (an unexpected prompt, a dialog left open).
  virtual void Fail(const std::string& message) = 0;
  // Shows a message box and returns one of MessageBoxButtons(request.type).
  virtual int PresentMessageBox(const MessageBoxRequest& request) = 0;
  // Runs a modal dialog (or property sheet) until it ends. Returning with the dialog still open
  // is a failure: the window system reports it and cancels the dialog.
  virtual void RunModal(DialogDriver& driver) = 0;
  // A modeless dialog was created (after WM_INITDIALOG).
  virtual void OnModelessCreated(Hwnd dialog) { (void)dialog; }
  // A top-level window or dialog became visible or hidden, or is being destroyed.
  virtual void OnShown(Hwnd window) { (void)window; }
  virtual void OnHidden(Hwnd window) { (void)window; }
  virtual void OnDestroyed(Hwnd window) { (void)window; }
  // A control's text or a progress bar's position changed, or UpdateWindow was called.
  virtual void OnTextChanged(Hwnd control) { (void)control; }
  virtual void OnProgress(Hwnd bar, int low, int high, int position) {
    (void)bar, (void)low, (void)high, (void)position;
  }
  virtual void OnUpdate(Hwnd window) { (void)window; }
  virtual void OnBeep(uint32_t type) { (void)type; }
  // Called while a program polls or waits for messages, so that a person's input can arrive.
  virtual void PollInput() {}

 protected:
  // The window system this backend presents; set when a UserInterface takes the backend.
  UserInterface& windows() const { return *windows_; }

 private:
  friend class UserInterface;
  UserInterface* windows_ = nullptr;
};

}  // namespace platform
