// The font the library's dialogs give their controls: the system menu font of the non-client
// metrics, made when a dialog opens and deleted when it has closed. Without metrics the
// controls keep the system font.
#pragma once

#include "platform/ui/ui.h"

namespace scancore {

class MenuFont {
 public:
  explicit MenuFont(platform::UserInterface& ui);
  ~MenuFont();
  MenuFont(const MenuFont&) = delete;
  MenuFont& operator=(const MenuFont&) = delete;

  // Gives every direct child of `dialog` the font; they must not outlive it.
  void ApplyToChildren(platform::Hwnd dialog) const;
  platform::Hfont handle() const { return font_; }

 private:
  platform::UserInterface& ui_;
  platform::Hfont font_ = 0;
};

}  // namespace scancore
