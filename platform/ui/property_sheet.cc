// Property sheets: a modal frame with OK, Cancel and Apply around pages made from templates.
#include "ui_internal.h"

namespace platform {
namespace {

constexpr int kApplyButton = 0x3021;  // the identifier Win32 gives the Apply button

DialogState* SheetOf(UserInterface& ui, Hwnd frame) {
  Window* w = UiInternal::FindQuiet(ui, frame);
  return w && w->dialog && w->dialog->sheet ? w->dialog.get() : nullptr;
}

ControlTemplate Button(const char* text, int id, uint32_t style, int x) {
  ControlTemplate b;
  b.className = kButtonClass;
  b.text = text;
  b.id = id;
  b.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | style;
  b.x = x;
  b.cx = 50;
  b.cy = 14;
  return b;
}

DialogTemplate FrameLayout(const PropertySheetHeader& header) {
  DialogTemplate frame;
  frame.caption = header.caption;
  frame.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  frame.controls.push_back(Button("OK", IDOK, BS_DEFPUSHBUTTON, 0));
  frame.controls.push_back(Button("Cancel", IDCANCEL, BS_PUSHBUTTON, 54));
  if (!(header.flags & PSH_NOAPPLYNOW)) {
    frame.controls.push_back(Button("&Apply", kApplyButton, BS_PUSHBUTTON | WS_DISABLED, 108));
  }
  return frame;
}

// Sends a page notification; the page answers through DWLP_MSGRESULT.
LResult NotifyPage(UserInterface& ui, Hwnd frame, Hwnd page, uint32_t code) {
  if (!page) return 0;
  ui.SetWindowLongPtr(page, DWLP_MSGRESULT, 0);
  NMHDR header{frame, 0, code};
  return ui.SendMessage(page, WM_NOTIFY, 0, reinterpret_cast<LParam>(&header));
}

Hwnd PageWindow(UserInterface& ui, Hwnd frame, int index) {
  DialogState* s = SheetOf(ui, frame);
  if (!s || index < 0 || index >= static_cast<int>(s->pageWindows.size())) return 0;
  return s->pageWindows[static_cast<size_t>(index)];
}

// OK and Apply: the page on show may refuse to be left, then every page that was made applies.
bool ApplyPages(UserInterface& ui, Hwnd frame) {
  DialogState* s = SheetOf(ui, frame);
  if (!s) return false;
  if (NotifyPage(ui, frame, PageWindow(ui, frame, s->currentPage), PSN_KILLACTIVE) != 0) return false;
  s = SheetOf(ui, frame);
  for (int i = 0; s && i < static_cast<int>(s->pageWindows.size()); ++i) {
    if (NotifyPage(ui, frame, PageWindow(ui, frame, i), PSN_APPLY) != PSNRET_NOERROR) {
      SheetShowPage(ui, frame, i);
      return false;
    }
    s = SheetOf(ui, frame);
  }
  return true;
}

void CancelPages(UserInterface& ui, Hwnd frame) {
  DialogState* s = SheetOf(ui, frame);
  for (int i = 0; s && i < static_cast<int>(s->pageWindows.size()); ++i) {
    NotifyPage(ui, frame, PageWindow(ui, frame, i), PSN_RESET);
    s = SheetOf(ui, frame);
  }
  ui.EndDialog(frame, 0);
}

void SheetCommand(UserInterface& ui, Hwnd frame, int id) {
  if (id == IDOK) {
    if (ApplyPages(ui, frame)) ui.EndDialog(frame, 1);
  } else if (id == IDCANCEL) {
    CancelPages(ui, frame);
  } else if (id == kApplyButton && ApplyPages(ui, frame)) {
    ui.EnableWindow(ui.GetDlgItem(frame, kApplyButton), false);
  }
}

}  // namespace

bool SheetShowPage(UserInterface& ui, Hwnd frame, int index) {
  DialogState* s = SheetOf(ui, frame);
  if (!s || index < 0 || index >= static_cast<int>(s->pages.size())) return false;
  if (index == s->currentPage) return true;
  Hwnd current = PageWindow(ui, frame, s->currentPage);
  if (current && NotifyPage(ui, frame, current, PSN_KILLACTIVE) != 0) return false;
  if (current) ui.ShowWindow(current, SW_HIDE);
  s = SheetOf(ui, frame);
  if (!s) return false;
  Hwnd page = s->pageWindows[static_cast<size_t>(index)];
  if (!page) {
    PropertyPage p = s->pages[static_cast<size_t>(index)];
    p.dialog.style = (p.dialog.style & ~WS_POPUP) | WS_CHILD;
    page = CreateDialogWindow(ui, p.dialog, 0, p.proc, p.param, false, frame);
    s = SheetOf(ui, frame);
    if (!s || !page) return false;
    s->pageWindows[static_cast<size_t>(index)] = page;
  }
  s->currentPage = index;
  ui.ShowWindow(page, SW_SHOW);
  NotifyPage(ui, frame, page, PSN_SETACTIVE);
  return true;
}

int SheetPageCount(UserInterface& ui, Hwnd frame) {
  DialogState* s = SheetOf(ui, frame);
  return s ? static_cast<int>(s->pages.size()) : 0;
}

int SheetCurrentPage(UserInterface& ui, Hwnd frame) {
  DialogState* s = SheetOf(ui, frame);
  return s ? s->currentPage : -1;
}

Hwnd SheetPage(UserInterface& ui, Hwnd frame, int index) { return PageWindow(ui, frame, index); }

LResult SheetMessage(UserInterface& ui, Hwnd self, uint32_t msg, WParam w, LParam l) {
  switch (msg) {
    case WM_COMMAND:
      if (HiWord(w) == BN_CLICKED) SheetCommand(ui, self, static_cast<int16_t>(LoWord(w)));
      return 0;
    case WM_CLOSE:
      SheetCommand(ui, self, IDCANCEL);
      return 0;
    case PSM_CHANGED:
      ui.EnableWindow(ui.GetDlgItem(self, kApplyButton), true);
      return 0;
    default:
      return ui.DefWindowProc(self, msg, w, l);
  }
}

intptr_t UserInterface::PropertySheet(const PropertySheetHeader& header) {
  if (header.pages.empty()) return -1;
  Hwnd frame = CreateDialogWindow(*this, FrameLayout(header), header.owner, {}, 0, true, 0);
  Window* w = UiInternal::FindQuiet(*this, frame);
  if (!w) return -1;
  w->dialog->sheet = true;
  w->dialog->pages = header.pages;
  w->dialog->pageWindows.assign(header.pages.size(), 0);
  w->proc = [this](Hwnd h, uint32_t m, WParam wp, LParam lp) { return SheetMessage(*this, h, m, wp, lp); };
  int start = header.startPage >= 0 && header.startPage < static_cast<int>(header.pages.size())
                  ? header.startPage : 0;
  SheetShowPage(*this, frame, start);
  return RunModalDialog(*this, frame);
}

}  // namespace platform
