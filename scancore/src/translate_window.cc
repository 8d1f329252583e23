// Translating a dialog in place: its caption, then each direct child.
#include "platform/ui.h"
#include "scancore/message_file.h"

namespace {

// Window texts are read into a buffer of this size, as the library always did.
std::string ReadText(platform::UserInterface& ui, platform::Hwnd window) {
  std::string text = ui.GetWindowText(window);
  if (text.size() >= CMessageFile::kMaxWindowText) text.resize(CMessageFile::kMaxWindowText - 1);
  return text;
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
}
