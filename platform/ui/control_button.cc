// Buttons: push buttons, check boxes, radio buttons and group boxes.
#include "ui_internal.h"

namespace platform {
namespace {

uint32_t ButtonType(const Window& w) { return w.style & BS_TYPEMASK; }

bool IsRadio(const Window& w) {
  return w.kind == ControlKind::kRadioButton;
}

// The radio buttons of the group `self` belongs to: a group runs from a control with WS_GROUP
// up to the next one.
std::vector<Hwnd> RadioGroup(UserInterface& ui, const Window& self) {
  std::vector<Hwnd> siblings = ui.GetChildren(self.parent);
  size_t at = 0;
  while (at < siblings.size() && siblings[at] != self.handle) ++at;
  size_t begin = at;
  while (begin > 0) {
    Window* w = UiInternal::FindQuiet(ui, siblings[begin]);
    if (w && (w->style & WS_GROUP)) break;
    --begin;
  }
  std::vector<Hwnd> group;
  for (size_t i = begin; i < siblings.size(); ++i) {
    Window* w = UiInternal::FindQuiet(ui, siblings[i]);
    if (!w) continue;
    if (i > begin && (w->style & WS_GROUP)) break;
    if (IsRadio(*w)) group.push_back(siblings[i]);
  }
  return group;
}

// What a completed click does to the button's own state before the parent hears of it.
void ApplyClick(UserInterface& ui, Window& self) {
  switch (ButtonType(self)) {
    case BS_AUTOCHECKBOX:
      self.check = self.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
      break;
    case BS_AUTO3STATE:
      self.check = (self.check + 1) % 3;
      break;
    case BS_AUTORADIOBUTTON:
      for (Hwnd h : RadioGroup(ui, self)) {
        if (Window* other = UiInternal::FindQuiet(ui, h)) other->check = BST_UNCHECKED;
      }
      self.check = BST_CHECKED;
      break;
    default:
      break;
  }
}

}  // namespace

LResult ButtonMessage(UserInterface& ui, Hwnd self, uint32_t msg, WParam w, LParam l) {
  Window* b = UiInternal::FindQuiet(ui, self);
  if (!b) return 0;
  switch (msg) {
    case WM_LBUTTONDOWN:
      if (b->enabled) b->pushed = true;
      return 0;
    case WM_LBUTTONUP:
      if (!b->pushed) return 0;
      b->pushed = false;
      if (!b->enabled || b->kind == ControlKind::kGroupBox) return 0;
      ApplyClick(ui, *b);
      UiInternal::Notify(ui, self, BN_CLICKED);
      return 0;
    case BM_CLICK:
      if (!b->enabled) return 0;
      ui.SendMessage(self, WM_LBUTTONDOWN, MK_LBUTTON, 0);
      ui.SendMessage(self, WM_LBUTTONUP, 0, 0);
      return 0;
    case BM_GETCHECK:
      return b->check;
    case BM_SETCHECK:
      if (b->kind == ControlKind::kCheckBox || b->kind == ControlKind::kRadioButton) {
        b->check = static_cast<uint32_t>(w) & 3;
      }
      return 0;
    case BM_GETSTATE:
      return b->check | (b->pushed ? BST_PUSHED : 0);
    case BM_SETSTATE:
      b->pushed = w != 0;
      return 0;
    default:
      return ui.DefWindowProc(self, msg, w, l);
  }
}

WindowProc ControlProcedure(UserInterface& ui, ControlKind kind) {
  using Handler = LResult (*)(UserInterface&, Hwnd, uint32_t, WParam, LParam);
  Handler handler = nullptr;
  switch (kind) {
    case ControlKind::kPushButton:
    case ControlKind::kCheckBox:
    case ControlKind::kRadioButton:
    case ControlKind::kGroupBox:
      handler = ButtonMessage;
      break;
    case ControlKind::kListBox: handler = ListBoxMessage; break;
    case ControlKind::kComboBox: handler = ComboBoxMessage; break;
    case ControlKind::kEdit: handler = EditMessage; break;
    case ControlKind::kProgressBar: handler = ProgressMessage; break;
    case ControlKind::kUpDown: handler = UpDownMessage; break;
    case ControlKind::kStatic:
    case ControlKind::kOther:
      return [&ui](Hwnd h, uint32_t m, WParam w, LParam l) { return ui.DefWindowProc(h, m, w, l); };
  }
  return [&ui, handler](Hwnd h, uint32_t m, WParam w, LParam l) { return handler(ui, h, m, w, l); };
}

}  // namespace platform
