// Dialogs: creation from a template, the dialog manager's default processing, modal runs.
#include "platform/ui/dialog_driver.h"
#include "platform/system/errors.h"
#include "ui_internal.h"

namespace platform {
namespace {

// The class name Win32 gives dialog windows.
constexpr const char* kDialogClass = "#32770";

DialogState* DialogOf(const UserInterface& ui, Hwnd h) {
  Window* w = UiInternal::FindQuiet(ui, h);
  return w ? w->dialog.get() : nullptr;
}

Hwnd FirstTabStop(UserInterface& ui, Hwnd dialog) {
  for (Hwnd c : ui.GetChildren(dialog)) {
    Window* w = UiInternal::FindQuiet(ui, c);
    if (w && (w->style & WS_TABSTOP) && w->enabled) return c;
  }
  return 0;
}

// Without a dialog procedure a dialog is a simple prompt: any push button ends it.
void DefaultCommand(UserInterface& ui, Hwnd self, WParam w, LParam l) {
  if (HiWord(w) != BN_CLICKED) return;
  int id = static_cast<int16_t>(LoWord(w));
  Hwnd source = static_cast<Hwnd>(l);
  bool button = source && ui.GetControlKind(source) == ControlKind::kPushButton;
  if (button || (!source && (id == IDOK || id == IDCANCEL))) ui.EndDialog(self, id);
}

// The close box acts as the Cancel button, and does nothing while that button is disabled.
void CloseAsCancel(UserInterface& ui, Hwnd self) {
  Hwnd cancel = 0;
  for (Hwnd c : ui.GetChildren(self)) {
    if (ui.GetDlgCtrlID(c) == IDCANCEL) cancel = c;
  }
  if (cancel && !ui.IsWindowEnabled(cancel)) return;
  ui.SendMessage(self, WM_COMMAND, MakeWParam(IDCANCEL, BN_CLICKED), static_cast<LParam>(cancel));
}

}  // namespace

LResult DialogMessage(UserInterface& ui, Hwnd self, uint32_t msg, WParam w, LParam l) {
  DialogState* d = DialogOf(ui, self);
  if (!d) return 0;
  DialogProc proc = d->proc;
  if (proc) {
    intptr_t handled = proc(self, msg, w, l);
    if (msg == WM_INITDIALOG) return handled;
    if (handled) {
      d = DialogOf(ui, self);
      return d ? d->msgResult : handled;
    }
  }
  if (!ui.IsWindow(self)) return 0;
  switch (msg) {
    case WM_COMMAND:
      if (!proc) DefaultCommand(ui, self, w, l);
      return 0;
    case WM_CLOSE:
      CloseAsCancel(ui, self);
      return 0;
    default:
      return ui.DefWindowProc(self, msg, w, l);
  }
}

Hwnd CreateDialogWindow(UserInterface& ui, const DialogTemplate& layout, Hwnd owner,
                        DialogProc proc, LParam param, bool modal, Hwnd parent) {
  if ((owner && !ui.IsWindow(owner)) || (parent && !ui.IsWindow(parent))) {
    SetLastError(kErrorInvalidWindowHandle);
    return 0;
  }
  auto w = std::make_unique<Window>();
  w->className = kDialogClass;
  w->child = parent != 0;
  w->parent = parent;
  w->owner = owner;
  w->text = layout.caption;
  w->style = layout.style & ~WS_VISIBLE;
  w->exStyle = layout.exStyle;
  w->enabled = (layout.style & WS_DISABLED) == 0;
  w->dialog = std::make_unique<DialogState>();
  w->dialog->layout = layout;
  w->dialog->proc = std::move(proc);
  w->dialog->modal = modal;
  w->proc = [&ui](Hwnd h, uint32_t m, WParam wp, LParam lp) { return DialogMessage(ui, h, m, wp, lp); };
  Hwnd dialog = UiInternal::Add(ui, std::move(w)).handle;
  for (const ControlTemplate& c : layout.controls) {
    Hwnd control = ui.CreateControl(dialog, c.className, c.text, c.style, c.id);
    if (Window* cw = UiInternal::FindQuiet(ui, control)) cw->exStyle = c.exStyle;
  }
  ui.SendMessage(dialog, WM_INITDIALOG, static_cast<WParam>(FirstTabStop(ui, dialog)), param);
  if (!ui.IsWindow(dialog)) return 0;
  if (!modal && (layout.style & WS_VISIBLE) && !ui.IsDialogEnded(dialog)) {
    ui.ShowWindow(dialog, SW_SHOW);
  }
  return dialog;
}

intptr_t RunModalDialog(UserInterface& ui, Hwnd dialog) {
  DialogDriver driver(ui, dialog, [&ui](const std::string& m) { ui.Fail(m); });
  const std::string name = driver.Describe();
  if (DialogState* d = DialogOf(ui, dialog)) d->running = true;
  if (!ui.IsDialogEnded(dialog)) {
    // Visible without the shown hook: the backend presents a modal dialog when it runs it.
    if (Window* w = UiInternal::FindQuiet(ui, dialog)) {
      w->visible = true;
      w->style |= WS_VISIBLE;
    }
    ui.PumpMessages();  // what the program posted before the dialog came up
  }
  if (ui.IsWindow(dialog) && !ui.IsDialogEnded(dialog)) UiInternal::RunModal(ui, driver);
  if (ui.IsWindow(dialog) && !ui.IsDialogEnded(dialog)) {
    ui.Fail("dialog " + name + " is still open after being driven; it is cancelled");
    CloseAsCancel(ui, dialog);
    if (ui.IsWindow(dialog) && !ui.IsDialogEnded(dialog)) ui.EndDialog(dialog, IDCANCEL);
  }
  DialogState* d = DialogOf(ui, dialog);
  if (!d) return -1;  // the program destroyed its own modal dialog
  intptr_t result = d->result;
  ui.DestroyWindow(dialog);
  return result;
}

intptr_t UserInterface::DialogBox(const DialogTemplate& dialog, Hwnd owner, DialogProc proc,
                                  LParam param) {
  Hwnd h = CreateDialogWindow(*this, dialog, owner, std::move(proc), param, true, 0);
  return h ? RunModalDialog(*this, h) : -1;
}

Hwnd UserInterface::CreateDialog(const DialogTemplate& dialog, Hwnd owner, DialogProc proc,
                                 LParam param) {
  Hwnd h = CreateDialogWindow(*this, dialog, owner, std::move(proc), param, false, 0);
  if (h) UiInternal::ModelessCreated(*this, h);
  return h;
}

bool UserInterface::EndDialog(Hwnd dialog, intptr_t result) {
  DialogState* d = DialogOf(*this, dialog);
  if (!d) {
    SetLastError(IsWindow(dialog) ? kErrorNoWindowsForThread : kErrorInvalidWindowHandle);
    return false;
  }
  d->ended = true;
  d->result = result;
  if (!d->modal) ShowWindow(dialog, SW_HIDE);
  return true;
}

bool UserInterface::IsDialog(Hwnd window) const { return DialogOf(*this, window) != nullptr; }

bool UserInterface::IsDialogEnded(Hwnd dialog) const {
  DialogState* d = DialogOf(*this, dialog);
  return d && d->ended;
}

const DialogTemplate* UserInterface::GetDialogTemplate(Hwnd dialog) const {
  DialogState* d = DialogOf(*this, dialog);
  return d ? &d->layout : nullptr;
}

}  // namespace platform
