// Menus: handles, items by position or command, submenus owned by their items, and the menu bar
// of a window.
#include <algorithm>

#include "platform/system/errors.h"
#include "ui_internal.h"

namespace platform {
namespace {

struct ItemRef {
  Hmenu holder = 0;  // the menu that holds the item
  MenuState* menu = nullptr;
  size_t index = 0;
};

// The item `item` names: a position of `menu`, or the first item with that command identifier,
// searched depth first through the submenus.
ItemRef Locate(const UserInterface& ui, Hmenu handle, MenuState& menu, uint32_t item,
               uint32_t flags) {
  if (flags & MF_BYPOSITION) {
    return item < menu.items.size() ? ItemRef{handle, &menu, item} : ItemRef{};
  }
  for (size_t i = 0; i < menu.items.size(); ++i) {
    const MenuItem& entry = menu.items[i];
    if (entry.submenu) {
      MenuState* sub = UiInternal::FindMenu(ui, entry.submenu);
      ItemRef found = sub ? Locate(ui, entry.submenu, *sub, item, flags) : ItemRef{};
      if (found.menu) return found;
    } else if (!(entry.flags & MF_SEPARATOR) && entry.id == item) {
      return ItemRef{handle, &menu, i};
    }
  }
  return {};
}

ItemRef LocateOrFail(const UserInterface& ui, Hmenu handle, uint32_t item, uint32_t flags) {
  MenuState* menu = UiInternal::FindMenu(ui, handle);
  if (!menu) return {};
  ItemRef ref = Locate(ui, handle, *menu, item, flags);
  if (!ref.menu) SetLastError(kErrorInvalidParameter);
  return ref;
}

// Whether `submenu` may become an item's submenu inside `menu`: it must belong nowhere yet and
// must not be `menu` or one of the menus that hold it, or destroying one would free the other
// twice.
bool CanAdopt(const UserInterface& ui, Hmenu menu, Hmenu submenu) {
  const MenuState* sub = UiInternal::FindMenu(ui, submenu);
  if (!sub) return false;
  bool free = !sub->parent && !sub->window;
  for (Hmenu at = menu; free && at; at = UiInternal::FindMenu(ui, at)->parent) {
    free = at != submenu;
  }
  if (!free) SetLastError(kErrorInvalidParameter);
  return free;
}

// The item `flags` describes; empty when the submenu cannot be taken.
bool MakeItem(const UserInterface& ui, Hmenu menu, uint32_t flags, uintptr_t idOrSubmenu,
              std::string_view text, MenuItem* item) {
  item->flags = flags & ~MF_BYPOSITION;
  item->submenu = 0;
  item->id = 0;
  item->text.clear();
  if (flags & MF_SEPARATOR) return true;
  item->text = std::string(text);
  if (flags & MF_POPUP) {
    item->submenu = static_cast<Hmenu>(idOrSubmenu);
    return CanAdopt(ui, menu, item->submenu);
  }
  item->id = static_cast<uint32_t>(idOrSubmenu);
  return true;
}

Hmenu NewMenu(UserInterface& ui, bool popup) {
  auto& state = UiInternal::State(ui);
  Hmenu handle = state.nextMenu;
  state.nextMenu += 4;
  state.menus[handle].popup = popup;
  return handle;
}

// Erases `handle` and everything below it, without touching the item or window it belonged to.
void EraseTree(UserInterface& ui, Hmenu handle) {
  auto& state = UiInternal::State(ui);
  auto it = state.menus.find(handle);
  if (it == state.menus.end()) return;
  std::vector<Hmenu> subs;
  for (const MenuItem& item : it->second.items) {
    if (item.submenu) subs.push_back(item.submenu);
  }
  state.menus.erase(it);
  for (Hmenu sub : subs) EraseTree(ui, sub);
}

}  // namespace

MenuState* UiInternal::FindMenu(const UserInterface& ui, Hmenu handle) {
  auto& menus = ui.impl_->menus;
  auto it = menus.find(handle);
  if (it != menus.end()) return &it->second;
  SetLastError(kErrorInvalidMenuHandle);
  return nullptr;
}

Hmenu UserInterface::CreateMenu() { return NewMenu(*this, false); }

Hmenu UserInterface::CreatePopupMenu() { return NewMenu(*this, true); }

bool UserInterface::IsMenu(Hmenu menu) const { return impl_->menus.count(menu) != 0; }

bool UserInterface::DestroyMenu(Hmenu menu) {
  MenuState* state = UiInternal::FindMenu(*this, menu);
  if (!state) return false;
  if (MenuState* parent = state->parent ? UiInternal::FindMenu(*this, state->parent) : nullptr) {
    std::erase_if(parent->items, [menu](const MenuItem& item) { return item.submenu == menu; });
  }
  if (Window* owner = state->window ? UiInternal::FindQuiet(*this, state->window) : nullptr) {
    owner->menu = 0;
  }
  EraseTree(*this, menu);
  return true;
}

bool UserInterface::AppendMenu(Hmenu menu, uint32_t flags, uintptr_t idOrSubmenu,
                               std::string_view text) {
  if (!UiInternal::FindMenu(*this, menu)) return false;
  MenuItem item;
  if (!MakeItem(*this, menu, flags, idOrSubmenu, text, &item)) return false;
  if (item.submenu) impl_->menus[item.submenu].parent = menu;
  impl_->menus[menu].items.push_back(std::move(item));
  return true;
}

bool UserInterface::ModifyMenu(Hmenu menu, uint32_t item, uint32_t flags, uintptr_t idOrSubmenu,
                               std::string_view text) {
  ItemRef ref = LocateOrFail(*this, menu, item, flags);
  if (!ref.menu) return false;
  MenuItem& old = ref.menu->items[ref.index];
  const bool keepsSubmenu = (flags & MF_POPUP) && old.submenu &&
                            static_cast<Hmenu>(idOrSubmenu) == old.submenu;
  MenuItem replacement;
  if (keepsSubmenu) {
    replacement = old;
    replacement.flags = flags & ~MF_BYPOSITION;
    replacement.text = std::string(text);
  } else if (!MakeItem(*this, ref.holder, flags, idOrSubmenu, text, &replacement)) {
    return false;
  }
  const Hmenu dropped = keepsSubmenu ? 0 : old.submenu;
  if (replacement.submenu && !keepsSubmenu) impl_->menus[replacement.submenu].parent = ref.holder;
  old = std::move(replacement);
  EraseTree(*this, dropped);
  return true;
}

int UserInterface::GetMenuItemCount(Hmenu menu) const {
  MenuState* state = UiInternal::FindMenu(*this, menu);
  return state ? static_cast<int>(state->items.size()) : -1;
}

int UserInterface::GetMenuString(Hmenu menu, uint32_t item, char* buffer, int maxCount,
                                 uint32_t flags) const {
  ItemRef ref = LocateOrFail(*this, menu, item, flags);
  if (!ref.menu) return 0;
  const std::string& text = ref.menu->items[ref.index].text;
  if (!buffer) return static_cast<int>(text.size());
  if (maxCount <= 0) return 0;
  return static_cast<int>(CopyOut(text, buffer, static_cast<size_t>(maxCount)));
}

uint32_t UserInterface::GetMenuItemID(Hmenu menu, int position) const {
  if (position < 0) return kMenuNoItemId;
  ItemRef ref = LocateOrFail(*this, menu, static_cast<uint32_t>(position), MF_BYPOSITION);
  if (!ref.menu) return kMenuNoItemId;
  const MenuItem& entry = ref.menu->items[ref.index];
  return entry.submenu ? kMenuNoItemId : entry.id;
}

Hmenu UserInterface::GetSubMenu(Hmenu menu, int position) const {
  if (position < 0) return 0;
  ItemRef ref = LocateOrFail(*this, menu, static_cast<uint32_t>(position), MF_BYPOSITION);
  return ref.menu ? ref.menu->items[ref.index].submenu : 0;
}

bool UserInterface::SetMenu(Hwnd window, Hmenu menu) {
  Window* w = UiInternal::Find(*this, window);
  if (!w) return false;
  if (w->child) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  if (menu && menu != w->menu) {
    MenuState* state = UiInternal::FindMenu(*this, menu);
    if (!state) return false;
    if (state->parent || state->window) {
      SetLastError(kErrorInvalidParameter);
      return false;
    }
    state->window = window;
  }
  if (w->menu && w->menu != menu) impl_->menus[w->menu].window = 0;
  w->menu = menu;
  return true;
}

Hmenu UserInterface::GetMenu(Hwnd window) const {
  Window* w = UiInternal::Find(*this, window);
  return w ? w->menu : 0;
}

bool UserInterface::DrawMenuBar(Hwnd window) {
  Window* w = UiInternal::Find(*this, window);
  if (!w) return false;
  ++w->menuBarDraws;
  return true;
}

uint32_t UserInterface::MenuBarDrawCount(Hwnd window) const {
  Window* w = UiInternal::Find(*this, window);
  return w ? w->menuBarDraws : 0;
}

}  // namespace platform
