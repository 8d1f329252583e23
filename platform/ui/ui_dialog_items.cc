// Controls of a dialog addressed by identifier, and typed readers of list and combo boxes.
#include <cctype>
#include <cstdio>
#include <limits>

#include "platform/system/errors.h"
#include "ui_internal.h"

namespace platform {
namespace {

// Decimal digits after optional blanks and, when signed, a minus sign; blanks may follow.
bool ParseDialogInt(const std::string& text, bool isSigned, int64_t* value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = isSigned && i < text.size() && text[i] == '-';
  if (negative) ++i;
  size_t digits = 0;
  int64_t v = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
    v = v * 10 + (text[i] - '0');
    if (v > 0xFFFFFFFFLL) return false;
  }
  while (i < text.size() && text[i] == ' ') ++i;
  if (digits == 0 || i != text.size()) return false;
  if (negative) v = -v;
  if (isSigned && (v > std::numeric_limits<int32_t>::max() || v < std::numeric_limits<int32_t>::min())) {
    return false;
  }
  *value = v;
  return true;
}

bool IsCombo(UserInterface& ui, Hwnd control) {
  return ui.GetControlKind(control) == ControlKind::kComboBox;
}

}  // namespace

LResult UserInterface::SendDlgItemMessage(Hwnd dialog, int id, uint32_t message, WParam wParam,
                                          LParam lParam) {
  Hwnd item = GetDlgItem(dialog, id);
  return item ? SendMessage(item, message, wParam, lParam) : 0;
}

std::string UserInterface::GetDlgItemText(Hwnd dialog, int id) {
  Hwnd item = GetDlgItem(dialog, id);
  return item ? GetWindowText(item) : std::string();
}

bool UserInterface::SetDlgItemText(Hwnd dialog, int id, std::string_view text) {
  Hwnd item = GetDlgItem(dialog, id);
  return item && SetWindowText(item, text);
}

uint32_t UserInterface::GetDlgItemInt(Hwnd dialog, int id, bool* translated, bool isSigned) {
  if (translated) *translated = false;
  Hwnd item = GetDlgItem(dialog, id);
  if (!item) return 0;
  int64_t value = 0;
  if (!ParseDialogInt(GetWindowText(item), isSigned, &value)) return 0;
  if (translated) *translated = true;
  return static_cast<uint32_t>(value);
}

bool UserInterface::SetDlgItemInt(Hwnd dialog, int id, int value, bool isSigned) {
  char text[16];
  if (isSigned) std::snprintf(text, sizeof text, "%d", value);
  else std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
  return SetDlgItemText(dialog, id, text);
}

bool UserInterface::CheckDlgButton(Hwnd dialog, int id, uint32_t state) {
  Hwnd item = GetDlgItem(dialog, id);
  if (!item) return false;
  SendMessage(item, BM_SETCHECK, state, 0);
  return true;
}

uint32_t UserInterface::IsDlgButtonChecked(Hwnd dialog, int id) {
  Hwnd item = GetDlgItem(dialog, id);
  return item ? static_cast<uint32_t>(SendMessage(item, BM_GETCHECK, 0, 0)) : 0;
}

bool UserInterface::CheckRadioButton(Hwnd dialog, int firstId, int lastId, int checkId) {
  if (!UiInternal::Find(*this, dialog)) return false;
  for (Hwnd child : GetChildren(dialog)) {
    int id = GetDlgCtrlID(child);
    if (id < firstId || id > lastId) continue;
    SendMessage(child, BM_SETCHECK, id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return true;
}

std::vector<std::string> UserInterface::GetItems(Hwnd control) {
  if (!UiInternal::Find(*this, control)) return {};
  bool combo = IsCombo(*this, control);
  LResult count = SendMessage(control, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
  std::vector<std::string> items;
  for (LResult i = 0; i < count; ++i) {
    LResult length = SendMessage(control, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, i, 0);
    if (length < 0) break;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessage(control, combo ? CB_GETLBTEXT : LB_GETTEXT, i, reinterpret_cast<LParam>(text.data()));
    text.resize(static_cast<size_t>(length));
    items.push_back(std::move(text));
  }
  return items;
}

int UserInterface::GetSelection(Hwnd control) {
  if (!UiInternal::Find(*this, control)) return -1;
  bool combo = IsCombo(*this, control);
  return static_cast<int>(SendMessage(control, combo ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
}

std::vector<int> UserInterface::GetSelections(Hwnd control) {
  if (!UiInternal::Find(*this, control)) return {};
  LResult count = IsCombo(*this, control) ? LB_ERR : SendMessage(control, LB_GETSELCOUNT, 0, 0);
  if (count == LB_ERR) {
    int one = GetSelection(control);
    return one < 0 ? std::vector<int>{} : std::vector<int>{one};
  }
  std::vector<int> selected(static_cast<size_t>(std::max<LResult>(count, 0)));
  LResult got = SendMessage(control, LB_GETSELITEMS, selected.size(),
                            reinterpret_cast<LParam>(selected.data()));
  selected.resize(static_cast<size_t>(std::max<LResult>(got, 0)));
  return selected;
}

}  // namespace platform
