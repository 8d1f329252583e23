// Translating a window in place: its caption, each direct child, then its menu.
#include "platform/ui/ui.h"
#include "scancore/message_file.h"

namespace {

// Window texts are read into a buffer of this size, as the library always did.
std::string ReadText(platform::UserInterface& ui, platform::Hwnd window) {
  std::string text = ui.GetWindowText(window);
  if (text.size() >= CMessageFile::kMaxWindowText) text.resize(CMessageFile::kMaxWindowText - 1);
  return text;
}

// Menu item texts are read into a buffer of this size, as the library always did.
constexpr int kMenuTextBuffer = 40;

void TranslateMenuItem(const CMessageFile& file, platform::UserInterface& ui, platform::Hmenu menu,
                       int position) {
  const auto at = static_cast<uint32_t>(position);
  // A text the buffer cannot hold whole would come back cut short, translated or not: such an
  // item keeps its text.
  if (ui.GetMenuString(menu, at, nullptr, 0, platform::MF_BYPOSITION) >= kMenuTextBuffer) return;
  char text[kMenuTextBuffer] = {};
  ui.GetMenuString(menu, at, text, kMenuTextBuffer, platform::MF_BYPOSITION);
  const platform::Hmenu submenu = ui.GetSubMenu(menu, position);
  const uint32_t byPosition = platform::MF_BYPOSITION;
  if (text[0] == '\0') {
    // A popup without a title stays: turning it into a separator would throw its submenu away.
    if (!submenu) ui.ModifyMenu(menu, at, byPosition | platform::MF_SEPARATOR, 0, "");
    return;
  }
  const std::string translated = file.Translate(text);
  if (submenu) {
    ui.ModifyMenu(menu, at, byPosition | platform::MF_POPUP, submenu, translated);
  } else {
    ui.ModifyMenu(menu, at, byPosition | platform::MF_STRING, ui.GetMenuItemID(menu, position),
                  translated);
  }
}

// Each item in order, the bar redrawn after each, and a submenu as soon as its item is done.
void TranslateMenu(const CMessageFile& file, platform::UserInterface& ui, platform::Hwnd window,
                   platform::Hmenu menu) {
  const int count = ui.GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    TranslateMenuItem(file, ui, menu, i);
    ui.DrawMenuBar(window);
    if (platform::Hmenu submenu = ui.GetSubMenu(menu, i)) TranslateMenu(file, ui, window, submenu);
  }
}

}  // namespace

void CMessageFile::TranslateWindow(platform::UserInterface& ui, platform::Hwnd window) const {
  if (!ui.IsWindow(window)) return;
  ui.SetWindowText(window, Translate(ReadText(ui, window)));
  for (platform::Hwnd child : ui.GetChildren(window)) {
    const bool combo = ui.GetControlKind(child) == platform::ControlKind::kComboBox;
    std::vector<std::string> items = combo ? ui.GetItems(child) : std::vector<std::string>{};
    if (items.empty()) {
      ui.SetWindowText(child, Translate(ReadText(ui, child)));
      continue;
    }
    for (size_t i = 0; i < items.size(); ++i) {
      const std::string translated = Translate(items[i]);
      ui.SendMessage(child, platform::CB_DELETESTRING, i, 0);
      ui.SendMessage(child, platform::CB_INSERTSTRING, i,
                     reinterpret_cast<platform::LParam>(translated.c_str()));
    }
  }
  const platform::Hmenu menu = ui.GetMenu(window);
  if (menu && !disabled_) TranslateMenu(*this, ui, window, menu);
}
