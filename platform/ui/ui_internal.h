// The window system's own state, shared by the files that implement UserInterface.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/ui/ui.h"

namespace platform {

// Items of a list box or of a combo box's list.
struct ListState {
  std::vector<std::string> items;
  std::vector<LParam> data;
  std::vector<bool> selected;  // multi-selection lists only
  int current = -1;            // the selection (single) or the caret item (multi)
  std::string editText;        // the edit part of a combo box
};

// Range and position of a progress bar or up-down control.
struct RangeState {
  int low = 0;
  int high = 100;
  int position = 0;
  int step = 10;
  int base = 10;
  Hwnd buddy = 0;
};

struct DialogState {
  DialogTemplate layout;
  DialogProc proc;  // empty: push buttons end the dialog
  bool modal = false;
  bool running = false;  // a modal loop is running it
  bool ended = false;
  intptr_t result = 0;
  LParam msgResult = 0;  // DWLP_MSGRESULT
  LParam user = 0;       // DWLP_USER
  // Property sheets: the frame keeps its pages, created when first shown.
  bool sheet = false;
  std::vector<PropertyPage> pages;
  std::vector<Hwnd> pageWindows;
  int currentPage = -1;
};

// One item of a menu: a string with a command identifier, a separator, or a popup item that owns
// its submenu.
struct MenuItem {
  uint32_t flags = MF_STRING;
  uint32_t id = 0;
  Hmenu submenu = 0;
  std::string text;
};

struct MenuState {
  bool popup = false;
  std::vector<MenuItem> items;
  Hmenu parent = 0;  // the menu whose popup item owns this one
  Hwnd window = 0;   // the window whose menu bar this is
};

struct Window {
  Hwnd handle = 0;
  Hwnd parent = 0;  // the window a child sits in
  Hwnd owner = 0;   // the owner of a top-level window
  int id = 0;
  std::string className;
  ControlKind kind = ControlKind::kOther;
  bool child = false;
  std::string text;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  bool enabled = true;
  bool visible = false;
  WindowProc proc;
  std::vector<Hwnd> children;
  LParam userData = 0;
  std::unique_ptr<DialogState> dialog;
  // Control state, used according to `kind`.
  ListState list;
  uint32_t check = BST_UNCHECKED;
  bool pushed = false;
  RangeState range;
  size_t textLimit = 0;  // 0: none
  Hfont font = 0;        // WM_SETFONT's font; 0: the system font
  Hmenu menu = 0;        // the menu bar, destroyed with the window
  uint32_t menuBarDraws = 0;
};

// The metrics of a fresh desktop: the system's 8-point fonts.
NONCLIENTMETRICS DefaultNonClientMetrics();

struct UserInterface::Impl {
  std::map<Hwnd, std::unique_ptr<Window>> windows;
  Hwnd nextHandle = 0x10010;
  // Menus and fonts count in steps of 4 from other offsets, so no handle names two objects.
  std::map<Hmenu, MenuState> menus;
  Hmenu nextMenu = 0x10012;
  std::map<Hfont, LOGFONT> fonts;
  Hfont nextFont = 0x10011;
  NONCLIENTMETRICS metrics = DefaultNonClientMetrics();
  // The message queue is the only state other threads touch.
  std::mutex queueMutex;
  std::condition_variable arrived;
  std::deque<Msg> queue;
  std::set<Hwnd> live;
  bool quit = false;
  int quitCode = 0;
  std::chrono::milliseconds idleLimit{30000};
};

// Access to the window system's internals for the files that implement it.
struct UiInternal {
  static UserInterface::Impl& State(UserInterface& ui) { return *ui.impl_; }
  static const UserInterface::Impl& State(const UserInterface& ui) { return *ui.impl_; }
  // Null (and the last error set) when `handle` is not a window.
  static Window* Find(const UserInterface& ui, Hwnd handle);
  static Window* FindQuiet(const UserInterface& ui, Hwnd handle);
  static Window& Add(UserInterface& ui, std::unique_ptr<Window> window);
  // Null (and the last error set) when `handle` is not a menu.
  static MenuState* FindMenu(const UserInterface& ui, Hmenu handle);
  // Sends WM_COMMAND(id, code) from a control to its parent.
  static void Notify(UserInterface& ui, Hwnd control, uint16_t code);
  static int PresentMessageBox(UserInterface& ui, const MessageBoxRequest& request) {
    return ui.backend().PresentMessageBox(request);
  }
  static void RunModal(UserInterface& ui, DialogDriver& driver) { ui.backend().RunModal(driver); }
  static void ModelessCreated(UserInterface& ui, Hwnd h) { ui.backend().OnModelessCreated(h); }
  static void Shown(UserInterface& ui, Hwnd h) { ui.backend().OnShown(h); }
  static void Hidden(UserInterface& ui, Hwnd h) { ui.backend().OnHidden(h); }
  static void Destroyed(UserInterface& ui, Hwnd h) { ui.backend().OnDestroyed(h); }
  static void TextChanged(UserInterface& ui, Hwnd h) { ui.backend().OnTextChanged(h); }
  static void Progress(UserInterface& ui, Hwnd h, const RangeState& r) {
    ui.backend().OnProgress(h, r.low, r.high, r.position);
  }
  static void Update(UserInterface& ui, Hwnd h) { ui.backend().OnUpdate(h); }
  static void PollInput(UserInterface& ui) { ui.backend().PollInput(); }
};

// The procedures of the controls the window system models.
WindowProc ControlProcedure(UserInterface& ui, ControlKind kind);
LResult ButtonMessage(UserInterface& ui, Hwnd self, uint32_t msg, WParam w, LParam l);
LResult ListBoxMessage(UserInterface& ui, Hwnd self, uint32_t msg, WParam w, LParam l);
LResult ComboBoxMessage(UserInterface& ui, Hwnd self, uint32_t msg, WParam w, LParam l);
LResult EditMessage(UserInterface& ui, Hwnd self, uint32_t msg, WParam w, LParam l);
LResult ProgressMessage(UserInterface& ui, Hwnd self, uint32_t msg, WParam w, LParam l);
LResult UpDownMessage(UserInterface& ui, Hwnd self, uint32_t msg, WParam w, LParam l);
// The dialog manager's procedure around a dialog procedure, and the property sheet frame's.
LResult DialogMessage(UserInterface& ui, Hwnd self, uint32_t msg, WParam w, LParam l);
LResult SheetMessage(UserInterface& ui, Hwnd self, uint32_t msg, WParam w, LParam l);
// Creates a dialog's window and controls and sends WM_INITDIALOG.
Hwnd CreateDialogWindow(UserInterface& ui, const DialogTemplate& layout, Hwnd owner,
                        DialogProc proc, LParam param, bool modal, Hwnd parent);
// Runs a modal dialog that has been created, then destroys it and returns its result.
intptr_t RunModalDialog(UserInterface& ui, Hwnd dialog);
// Property sheet frames: pages by index, the page on show, and turning to another page (the
// page on show may refuse to be left).
bool SheetShowPage(UserInterface& ui, Hwnd frame, int index);
int SheetPageCount(UserInterface& ui, Hwnd frame);
int SheetCurrentPage(UserInterface& ui, Hwnd frame);
Hwnd SheetPage(UserInterface& ui, Hwnd frame, int index);
// Copies `text` into a caller's buffer of `size` characters with a final zero; returns the
// characters copied, as WM_GETTEXT and LB_GETTEXT do.
LResult CopyOut(const std::string& text, char* buffer, size_t size);

}  // namespace platform
