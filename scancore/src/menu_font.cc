#include "menu_font.h"

namespace scancore {

MenuFont::MenuFont(platform::UserInterface& ui) : ui_(ui) {
  platform::NONCLIENTMETRICS metrics{};
  metrics.cbSize = sizeof metrics;
  if (ui_.SystemParametersInfo(platform::SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    font_ = ui_.CreateFontIndirect(metrics.lfMenuFont);
  }
}

MenuFont::~MenuFont() {
  if (font_) ui_.DeleteObject(font_);
}

void MenuFont::ApplyToChildren(platform::Hwnd dialog) const {
  if (!font_) return;
  for (platform::Hwnd child : ui_.GetChildren(dialog)) {
    ui_.SendMessage(child, platform::WM_SETFONT, font_, 0);
  }
}

}  // namespace scancore
