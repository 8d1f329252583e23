// Operating a live dialog as a person would.
#include "platform/ui/dialog_driver.h"

#include <algorithm>
#include <cctype>

#include "ui_internal.h"

namespace platform {
namespace {

bool IsButton(ControlKind k) {
  return k == ControlKind::kPushButton || k == ControlKind::kCheckBox ||
         k == ControlKind::kRadioButton;
}

bool IsAutomatic(uint32_t style) {
  uint32_t type = style & BS_TYPEMASK;
  return type == BS_AUTOCHECKBOX || type == BS_AUTO3STATE || type == BS_AUTORADIOBUTTON;
}

bool AllDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

}  // namespace

DialogDriver::DialogDriver(UserInterface& ui, Hwnd dialog, ErrorSink onError)
    : ui_(ui), dialog_(dialog), onError_(std::move(onError)) {}

const DialogTemplate* DialogDriver::Template() const { return ui_.GetDialogTemplate(dialog_); }

std::string DialogDriver::Describe() const {
  const DialogTemplate* t = Template();
  return t ? t->Describe() : "window " + std::to_string(dialog_);
}

bool DialogDriver::IsOpen() const { return ui_.IsWindow(dialog_) && !ui_.IsDialogEnded(dialog_); }

intptr_t DialogDriver::Result() const {
  Window* w = UiInternal::FindQuiet(ui_, dialog_);
  return w && w->dialog ? w->dialog->result : 0;
}

std::string DialogDriver::Caption() const { return ui_.GetWindowText(dialog_); }

Hwnd DialogDriver::Control(int id) const {
  for (Hwnd h : Controls()) {
    if (ui_.GetDlgCtrlID(h) == id) return h;
  }
  return 0;
}

std::vector<Hwnd> DialogDriver::Controls() const {
  std::vector<Hwnd> out;
  Hwnd page = SheetPage(ui_, dialog_, SheetCurrentPage(ui_, dialog_));
  for (Hwnd h : ui_.GetChildren(dialog_)) {
    if (!ui_.IsDialog(h)) out.push_back(h);
  }
  if (page) {
    for (Hwnd h : ui_.GetChildren(page)) out.push_back(h);
  }
  return out;
}

std::string DialogDriver::Text(int id) const {
  Hwnd h = Control(id);
  return h ? ui_.GetWindowText(h) : std::string();
}

std::vector<std::string> DialogDriver::Items(int id) const {
  Hwnd h = Control(id);
  return h ? ui_.GetItems(h) : std::vector<std::string>{};
}

int DialogDriver::Selection(int id) const {
  Hwnd h = Control(id);
  return h ? ui_.GetSelection(h) : -1;
}

std::vector<int> DialogDriver::Selections(int id) const {
  Hwnd h = Control(id);
  return h ? ui_.GetSelections(h) : std::vector<int>{};
}

bool DialogDriver::IsChecked(int id) const {
  Hwnd h = Control(id);
  return h && ui_.SendMessage(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool DialogDriver::IsEnabled(int id) const {
  Hwnd h = Control(id);
  return h && ui_.IsWindowEnabled(h);
}

int DialogDriver::Position(int id) const {
  Hwnd h = Control(id);
  if (!h) return 0;
  if (ui_.GetControlKind(h) == ControlKind::kUpDown) {
    return static_cast<int16_t>(LoWord(ui_.SendMessage(h, UDM_GETPOS, 0, 0)));
  }
  return static_cast<int>(ui_.SendMessage(h, PBM_GETPOS, 0, 0));
}

int DialogDriver::DefaultButton() const {
  int fallback = 0;
  for (Hwnd h : Controls()) {
    Window* w = UiInternal::FindQuiet(ui_, h);
    if (!w || w->kind != ControlKind::kPushButton) continue;
    if ((w->style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return w->id;
    if (w->id == IDOK) fallback = IDOK;
  }
  return fallback;
}

bool DialogDriver::Report(const std::string& what) const {
  if (onError_) onError_("dialog " + Describe() + ": " + what);
  return false;
}

Hwnd DialogDriver::Usable(int id, const char* action) const {
  std::string act = std::string(action) + " control " + std::to_string(id);
  if (!IsOpen()) return Report("cannot " + act + ": the dialog is not open"), 0;
  Hwnd h = Control(id);
  if (!h) return Report("cannot " + act + ": there is no such control"), 0;
  if (!ui_.IsWindowVisible(h)) return Report("cannot " + act + ": it is hidden"), 0;
  if (!ui_.IsWindowEnabled(h)) return Report("cannot " + act + ": it is disabled"), 0;
  return h;
}

bool DialogDriver::Click(int id) {
  Hwnd h = Usable(id, "click");
  if (!h) return false;
  if (!IsButton(ui_.GetControlKind(h))) return Report("control " + std::to_string(id) + " is not a button");
  ui_.PostClick(h);
  Window* w = UiInternal::FindQuiet(ui_, dialog_);
  if (w && w->dialog && w->dialog->running) ui_.PumpMessages();
  return true;
}

bool DialogDriver::Type(int id, std::string_view text) {
  Hwnd h = Usable(id, "type into");
  if (!h) return false;
  Window* w = UiInternal::FindQuiet(ui_, h);
  if (w->kind == ControlKind::kComboBox && (w->style & 0x3) != CBS_DROPDOWNLIST) {
    ui_.SetWindowText(h, text);
    UiInternal::Notify(ui_, h, CBN_EDITCHANGE);
    return true;
  }
  if (w->kind != ControlKind::kEdit) return Report("control " + std::to_string(id) + " takes no typing");
  if (w->style & ES_READONLY) return Report("edit " + std::to_string(id) + " is read-only");
  if ((w->style & ES_NUMBER) && !AllDigits(text)) return Report("edit " + std::to_string(id) + " takes digits only");
  std::string typed(text);
  if (w->textLimit && typed.size() > w->textLimit) typed.resize(w->textLimit);
  ui_.SetWindowText(h, typed);
  return true;
}

bool DialogDriver::Select(int id, int index) { return SelectMany(id, {index}); }

bool DialogDriver::SelectText(int id, std::string_view item) {
  std::vector<std::string> items = Items(id);
  auto it = std::find(items.begin(), items.end(), item);
  if (it == items.end()) {
    if (!Usable(id, "select in")) return false;
    return Report("list " + std::to_string(id) + " has no item \"" + std::string(item) + "\"");
  }
  return Select(id, static_cast<int>(it - items.begin()));
}

bool DialogDriver::SelectMany(int id, const std::vector<int>& indexes) {
  Hwnd h = Usable(id, "select in");
  if (!h) return false;
  Window* w = UiInternal::FindQuiet(ui_, h);
  bool combo = w->kind == ControlKind::kComboBox;
  if (!combo && w->kind != ControlKind::kListBox) return Report("control " + std::to_string(id) + " is not a list");
  int count = static_cast<int>(w->list.items.size());
  for (int i : indexes) {
    if (i < 0 || i >= count) return Report("list " + std::to_string(id) + " has no item " + std::to_string(i));
  }
  bool multi = !combo && (w->style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL));
  if (indexes.size() != 1 && !multi) return Report("list " + std::to_string(id) + " takes one selection");
  bool notify = combo || (w->style & LBS_NOTIFY);
  if (combo) {
    ui_.SendMessage(h, CB_SETCURSEL, static_cast<WParam>(indexes[0]), 0);
  } else if (multi) {
    ui_.SendMessage(h, LB_SETSEL, 0, -1);
    for (int i : indexes) ui_.SendMessage(h, LB_SETSEL, 1, i);
  } else {
    ui_.SendMessage(h, LB_SETCURSEL, static_cast<WParam>(indexes[0]), 0);
  }
  if (notify) UiInternal::Notify(ui_, h, combo ? CBN_SELCHANGE : LBN_SELCHANGE);
  return true;
}

bool DialogDriver::Check(int id, bool checked) {
  Hwnd h = Usable(id, "check");
  if (!h) return false;
  Window* w = UiInternal::FindQuiet(ui_, h);
  ControlKind kind = w->kind;
  if (kind != ControlKind::kCheckBox && kind != ControlKind::kRadioButton) {
    return Report("control " + std::to_string(id) + " is not a check box or radio button");
  }
  if (IsChecked(id) == checked) return true;
  if (kind == ControlKind::kRadioButton && !checked) {
    return Report("radio button " + std::to_string(id) + " is cleared only by choosing another");
  }
  // An automatic three-state box needs up to two clicks; a plain one leaves it to the program.
  bool automatic = IsAutomatic(w->style);
  for (int clicks = 0; clicks < 3; ++clicks) {
    if (!Click(id)) return false;
    if (!automatic || IsChecked(id) == checked || !IsOpen()) break;
  }
  return true;
}

bool DialogDriver::SetPosition(int id, int position) {
  Hwnd h = Usable(id, "move");
  if (!h) return false;
  if (ui_.GetControlKind(h) != ControlKind::kUpDown) return Report("control " + std::to_string(id) + " is not an up-down control");
  int current = Position(id);
  NMUPDOWN change{{h, static_cast<uintptr_t>(id), UDN_DELTAPOS}, current, position - current};
  Hwnd parent = ui_.GetParent(h);
  ui_.SetWindowLongPtr(parent, DWLP_MSGRESULT, 0);
  if (ui_.SendMessage(parent, WM_NOTIFY, static_cast<WParam>(id), reinterpret_cast<LParam>(&change)) != 0) {
    return true;  // the program refused the change
  }
  ui_.SendMessage(h, UDM_SETPOS, 0, MakeLParam(static_cast<uint16_t>(position), 0));
  int now = Position(id);
  ui_.SendMessage(parent, WM_VSCROLL, MakeWParam(SB_THUMBPOSITION, static_cast<uint16_t>(now)),
                  static_cast<LParam>(h));
  return true;
}

bool DialogDriver::Close() {
  if (!IsOpen()) return Report("cannot close: the dialog is not open");
  ui_.SendMessage(dialog_, WM_CLOSE, 0, 0);
  Window* w = UiInternal::FindQuiet(ui_, dialog_);
  if (w && w->dialog && w->dialog->running) ui_.PumpMessages();
  return true;
}

int DialogDriver::PageCount() const { return SheetPageCount(ui_, dialog_); }

int DialogDriver::CurrentPage() const { return SheetCurrentPage(ui_, dialog_); }

bool DialogDriver::ShowPage(int index) {
  if (!IsOpen()) return Report("cannot turn the page: the sheet is not open");
  if (index < 0 || index >= PageCount()) return Report("there is no page " + std::to_string(index));
  if (!SheetShowPage(ui_, dialog_, index)) return Report("the page on show refused to be left");
  return true;
}

}  // namespace platform
