// The user interface: message boxes, dialogs made from templates, controls addressed by
// identifier, window messages and property sheets, shaped like the Win32 user and common-control
// functions so that the suite's programs use them as they were written.
//
// Model. A UserInterface owns every window it creates: top-level windows with a window procedure,
// dialogs with a dialog procedure, and the controls inside them. Controls of the classes in
// ControlKind are modelled by the window system itself (texts, list and combo items, selections,
// check states, progress and up-down positions) and answer the standard messages. Nothing is drawn
// on a screen; what a person sees and does is the business of the backend the window system
// takes when it is made (ui_backend.h): scripted or console.
//
// Threads. Windows belong to the thread that uses the interface; every call except PostMessage
// and PostQuitMessage must come from that thread. PostMessage may be called from any thread.
//
// Failures follow Win32: a bad window handle makes a call return 0/false/empty and sets the last
// error (errors.h) to kErrorInvalidWindowHandle.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/modules/dialog_template.h"
#include "platform/ui/ui_backend.h"
#include "platform/ui/ui_constants.h"

namespace platform {

struct Msg {
  Hwnd hwnd = 0;
  uint32_t message = 0;
  WParam wParam = 0;
  LParam lParam = 0;
};

// A window procedure receives every message sent or dispatched to its window.
using WindowProc = std::function<LResult(Hwnd, uint32_t, WParam, LParam)>;
// A dialog procedure returns nonzero for a message it handled; a notification's result goes in
// DWLP_MSGRESULT (SetWindowLongPtr), as in Win32.
using DialogProc = std::function<intptr_t(Hwnd, uint32_t, WParam, LParam)>;

struct MessageBoxRequest {
  Hwnd owner = 0;
  std::string text;
  std::string caption;
  uint32_t type = MB_OK;
};
// The answers a message box of `type` offers, in the order shown; empty for an invalid type.
std::vector<int> MessageBoxButtons(uint32_t type);
// The answer of the default button (MB_DEFBUTTONn, the first when out of range).
int MessageBoxDefault(uint32_t type);
// The answer that does least when nobody is there to choose: Cancel, else No, else Abort, else OK.
int MessageBoxSafeAnswer(uint32_t type);
// "OK", "Cancel", "Abort", "Retry", "Ignore", "Yes", "No"; empty for others.
std::string_view AnswerName(int answer);
// "error", "question", "warning", "information" or empty.
std::string_view IconName(uint32_t type);

// One page of a property sheet: a dialog template and its procedure.
struct PropertyPage {
  DialogTemplate dialog;
  DialogProc proc;
  LParam param = 0;
};
struct PropertySheetHeader {
  std::string caption;
  uint32_t flags = 0;  // PSH_NOAPPLYNOW leaves out the Apply button
  Hwnd owner = 0;
  std::vector<PropertyPage> pages;
  int startPage = 0;
};

class DialogDriver;

class UserInterface final {
 public:
  explicit UserInterface(std::unique_ptr<UiBackend> backend);
  ~UserInterface();
  UserInterface(const UserInterface&) = delete;
  UserInterface& operator=(const UserInterface&) = delete;

  // --- Message boxes. Returns the answer (IDOK ... IDNO), or 0 for an invalid type.
  int MessageBox(Hwnd owner, std::string_view text, std::string_view caption, uint32_t type);
  // MessageBeep: the sound of a message-box icon (MB_ICONQUESTION ...), or 0xFFFFFFFF for the
  // simple beep; what a person hears is the backend's business.
  bool MessageBeep(uint32_t type);

  // --- Windows.
  // A window with a procedure of its own. With WS_CHILD in `style` it sits inside `parent`
  // under identifier `id`; otherwise `parent` is its owner. WM_CREATE is sent before it returns.
  Hwnd CreateWindow(std::string_view className, std::string_view title, uint32_t style,
                    Hwnd parent, WindowProc proc, int id = 0);
  // A control of a class the window system models (ControlKind), inside `parent`.
  Hwnd CreateControl(Hwnd parent, std::string_view className, std::string_view text,
                     uint32_t style, int id);
  // Destroys the window and its children (children first get WM_DESTROY after their parent, as
  // in Win32) and discards messages still queued for them.
  bool DestroyWindow(Hwnd window);
  bool IsWindow(Hwnd window) const;
  Hwnd GetParent(Hwnd window) const;
  // Direct children in creation order (the order GetWindow(GW_CHILD/GW_HWNDNEXT) walks them).
  std::vector<Hwnd> GetChildren(Hwnd window) const;
  Hwnd GetDlgItem(Hwnd dialog, int id) const;
  int GetDlgCtrlID(Hwnd window) const;
  std::string GetClassName(Hwnd window) const;
  ControlKind GetControlKind(Hwnd window) const;
  std::string GetWindowText(Hwnd window);
  bool SetWindowText(Hwnd window, std::string_view text);
  // Returns whether the window was disabled before, as EnableWindow does.
  bool EnableWindow(Hwnd window, bool enable);
  bool IsWindowEnabled(Hwnd window) const;
  // Returns whether the window was visible before.
  bool ShowWindow(Hwnd window, int command);
  bool IsWindowVisible(Hwnd window) const;
  // Asks the backend to bring what it shows of the window up to date.
  bool UpdateWindow(Hwnd window);
  LParam SetWindowLongPtr(Hwnd window, int index, LParam value);
  LParam GetWindowLongPtr(Hwnd window, int index) const;
  // Replaces the window's procedure and returns the previous one, which the new one may call for
  // the messages it does not handle itself.
  WindowProc SubclassWindow(Hwnd window, WindowProc proc);
  // What a window does with a message its procedure leaves alone: texts, WM_CLOSE destroys it.
  LResult DefWindowProc(Hwnd window, uint32_t message, WParam wParam, LParam lParam);

  // --- Controls of a dialog, by identifier.
  std::string GetDlgItemText(Hwnd dialog, int id);
  bool SetDlgItemText(Hwnd dialog, int id, std::string_view text);
  uint32_t GetDlgItemInt(Hwnd dialog, int id, bool* translated, bool isSigned);
  bool SetDlgItemInt(Hwnd dialog, int id, int value, bool isSigned);
  bool CheckDlgButton(Hwnd dialog, int id, uint32_t state);
  uint32_t IsDlgButtonChecked(Hwnd dialog, int id);
  bool CheckRadioButton(Hwnd dialog, int firstId, int lastId, int checkId);
  LResult SendDlgItemMessage(Hwnd dialog, int id, uint32_t message, WParam wParam,
                             LParam lParam);
  // Items and selections of a list or combo box, through its messages.
  std::vector<std::string> GetItems(Hwnd control);
  int GetSelection(Hwnd control);                 // -1 for none
  std::vector<int> GetSelections(Hwnd control);   // every selected item of a multi-selection list

  // --- Dialogs.
  // A modal dialog: creates it, sends WM_INITDIALOG (lParam = `param`), lets the backend run it
  // until EndDialog, destroys it and returns the EndDialog value. Without a procedure, a click on
  // any push button ends the dialog with the button's identifier. -1 when `owner` is not a window.
  intptr_t DialogBox(const DialogTemplate& dialog, Hwnd owner, DialogProc proc = {},
                     LParam param = 0);
  // A modeless dialog; it stays until DestroyWindow. Shown when its template has WS_VISIBLE.
  Hwnd CreateDialog(const DialogTemplate& dialog, Hwnd owner, DialogProc proc = {},
                    LParam param = 0);
  // Ends a modal dialog with `result` once its current message is handled; hides a modeless one.
  bool EndDialog(Hwnd dialog, intptr_t result);
  bool IsDialog(Hwnd window) const;
  bool IsDialogEnded(Hwnd dialog) const;
  // The template a dialog was made from (null for other windows); valid while the dialog lives.
  const DialogTemplate* GetDialogTemplate(Hwnd dialog) const;
  // A modal property sheet: 1 when closed with OK, 0 with Cancel, -1 without pages. Pages are
  // created (WM_INITDIALOG) when first shown and get PSN_SETACTIVE, PSN_KILLACTIVE, PSN_APPLY and
  // PSN_RESET through WM_NOTIFY.
  intptr_t PropertySheet(const PropertySheetHeader& header);

  // --- Menus. A menu holds items by position: strings with a command identifier, separators,
  // and popup items that own a submenu. A submenu belongs to the one item it was appended to, a
  // window's menu to its window: destroying the item's menu or the window destroys it too, and a
  // menu that already belongs somewhere cannot be attached a second time. Failures return
  // 0/false/-1 and set the last error to kErrorInvalidMenuHandle (a bad menu), or
  // kErrorInvalidParameter (no such item, a menu attached twice or inside itself).
  Hmenu CreateMenu();
  Hmenu CreatePopupMenu();
  // Destroys the menu and its submenus; a menu that belonged to an item loses that item, a
  // window's menu leaves the window without one.
  bool DestroyMenu(Hmenu menu);
  bool IsMenu(Hmenu menu) const;
  // `idOrSubmenu` is the command identifier, or with MF_POPUP the submenu; MF_SEPARATOR ignores
  // both it and `text`.
  bool AppendMenu(Hmenu menu, uint32_t flags, uintptr_t idOrSubmenu, std::string_view text);
  // Replaces the item at `item` (a position with MF_BYPOSITION, else a command identifier,
  // searched depth first). An item's submenu is destroyed unless the new item keeps it.
  bool ModifyMenu(Hmenu menu, uint32_t item, uint32_t flags, uintptr_t idOrSubmenu,
                  std::string_view text);
  int GetMenuItemCount(Hmenu menu) const;  // -1 for a bad menu
  // Copies at most `maxCount` - 1 characters of the item's text and a final zero; returns the
  // characters copied, or without a buffer the text's length; 0 when there is no such item.
  int GetMenuString(Hmenu menu, uint32_t item, char* buffer, int maxCount, uint32_t flags) const;
  // The command identifier at `position`: 0 for a separator, kMenuNoItemId for a popup item or
  // none.
  uint32_t GetMenuItemID(Hmenu menu, int position) const;
  Hmenu GetSubMenu(Hmenu menu, int position) const;  // 0 unless the item is a popup
  // Gives a top-level window its menu bar (0: none). The previous menu is handed back to the
  // caller's care, as in Win32: it is no longer the window's and is not destroyed.
  bool SetMenu(Hwnd window, Hmenu menu);
  Hmenu GetMenu(Hwnd window) const;
  // Redraws the window's menu bar; counted, so that a test sees when it was asked for.
  bool DrawMenuBar(Hwnd window);
  uint32_t MenuBarDrawCount(Hwnd window) const;

  // --- Fonts. A control keeps the font WM_SETFONT gives it and answers WM_GETFONT with it (0 for
  // the system font); it does not own it, so the font must outlive the control's use of it.
  // SPI_GETNONCLIENTMETRICS fills a NONCLIENTMETRICS whose cbSize is set; SPI_SETNONCLIENTMETRICS
  // replaces the metrics (as a person changing the desktop's fonts would). Other actions fail.
  bool SystemParametersInfo(uint32_t action, uint32_t param, void* data, uint32_t winIni);
  Hfont CreateFontIndirect(const LOGFONT& font);
  bool DeleteObject(Hfont font);
  // The record a font was made from; false for a font that does not exist (any more).
  bool GetObject(Hfont font, LOGFONT* out) const;
  // Fonts made and not yet deleted: a font that is never deleted is a leak tests can see.
  size_t LiveFontCount() const;

  // --- Messages.
  LResult SendMessage(Hwnd window, uint32_t message, WParam wParam, LParam lParam);
  // Queues a message for the window (0: for the thread). Safe from any thread.
  bool PostMessage(Hwnd window, uint32_t message, WParam wParam, LParam lParam);
  void PostQuitMessage(int exitCode);
  // Looks for a queued message for `window` (0: any) with a number in [first, last] (both 0: any).
  // WM_QUIT is found only once the queue holds nothing else that matches.
  bool PeekMessage(Msg* msg, Hwnd window, uint32_t first, uint32_t last, uint32_t remove);
  // Waits for a matching message: 1, 0 for WM_QUIT, -1 when nothing arrives within the idle
  // limit (a loop waiting for a message that will never come is reported, not left hanging).
  int GetMessage(Msg* msg, Hwnd window, uint32_t first, uint32_t last);
  LResult DispatchMessage(const Msg& msg);
  // For loops that run modeless dialogs: dispatches `msg` and returns true when it is meant for
  // `dialog` or one of its controls; false, leaving it alone, otherwise.
  bool IsDialogMessage(Hwnd dialog, const Msg& msg);
  void SetIdleLimit(std::chrono::milliseconds limit);
  // Puts a person's click on `button` into the queue: WM_LBUTTONDOWN, then WM_LBUTTONUP.
  bool PostClick(Hwnd button);
  // Dispatches every message queued so far, as a modal loop does between a person's actions.
  void PumpMessages();

  // A loud failure (an unexpected prompt, a dialog left open), reported by the backend.
  void Fail(const std::string& message) { backend_->Fail(message); }

  UiBackend& backend() const { return *backend_; }

 private:
  friend struct UiInternal;
  struct Impl;
  std::unique_ptr<UiBackend> backend_;
  std::unique_ptr<Impl> impl_;
};

// A window system with the backend chosen by SCANSUITE_UI: "console" (the default) or
// "scripted". An unknown value is reported on stderr and gives the console.
std::unique_ptr<UserInterface> CreateDefaultUserInterface();

}  // namespace platform
