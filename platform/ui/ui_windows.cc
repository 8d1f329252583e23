// Windows: creation, destruction, the tree of parents and children, and their plain properties.
#include <algorithm>

#include "platform/system/errors.h"
#include "platform/files/winpath.h"
#include "ui_internal.h"

namespace platform {

UserInterface::UserInterface(std::unique_ptr<UiBackend> backend)
    : backend_(std::move(backend)), impl_(std::make_unique<Impl>()) {
  backend_->windows_ = this;
}

UserInterface::~UserInterface() = default;

Window* UiInternal::FindQuiet(const UserInterface& ui, Hwnd handle) {
  const auto& windows = ui.impl_->windows;
  auto it = windows.find(handle);
  return it == windows.end() ? nullptr : it->second.get();
}

Window* UiInternal::Find(const UserInterface& ui, Hwnd handle) {
  Window* w = FindQuiet(ui, handle);
  if (!w) SetLastError(kErrorInvalidWindowHandle);
  return w;
}

Window& UiInternal::Add(UserInterface& ui, std::unique_ptr<Window> window) {
  auto& state = *ui.impl_;
  window->handle = state.nextHandle;
  state.nextHandle += 4;
  Window& ref = *window;
  if (ref.child) {
    if (Window* parent = FindQuiet(ui, ref.parent)) parent->children.push_back(ref.handle);
  }
  state.windows.emplace(ref.handle, std::move(window));
  std::lock_guard lock(state.queueMutex);
  state.live.insert(ref.handle);
  return ref;
}

void UiInternal::Notify(UserInterface& ui, Hwnd control, uint16_t code) {
  Window* w = FindQuiet(ui, control);
  if (!w || !w->child) return;
  Hwnd parent = w->parent;
  WParam wParam = MakeWParam(static_cast<uint16_t>(w->id), code);
  ui.SendMessage(parent, WM_COMMAND, wParam, static_cast<LParam>(control));
}

Hwnd UserInterface::CreateWindow(std::string_view className, std::string_view title,
                                 uint32_t style, Hwnd parent, WindowProc proc, int id) {
  bool child = (style & WS_CHILD) != 0;
  if (parent && !UiInternal::Find(*this, parent)) return 0;
  if (child && !parent) {
    SetLastError(kErrorInvalidParameter);
    return 0;
  }
  auto w = std::make_unique<Window>();
  w->className = std::string(className);
  w->kind = ControlKind::kOther;
  w->child = child;
  (child ? w->parent : w->owner) = parent;
  w->id = child ? id : 0;
  w->text = std::string(title);
  w->style = style;
  w->enabled = (style & WS_DISABLED) == 0;
  w->proc = std::move(proc);
  Hwnd handle = UiInternal::Add(*this, std::move(w)).handle;
  if (SendMessage(handle, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(handle);
    return 0;
  }
  if ((style & WS_VISIBLE) && IsWindow(handle)) ShowWindow(handle, SW_SHOW);
  return IsWindow(handle) ? handle : 0;
}

Hwnd UserInterface::CreateControl(Hwnd parent, std::string_view className, std::string_view text,
                                  uint32_t style, int id) {
  if (!UiInternal::Find(*this, parent)) return 0;
  auto w = std::make_unique<Window>();
  w->className = std::string(className);
  w->style = style | WS_CHILD;
  w->kind = ControlKindOf(className, w->style);
  w->child = true;
  w->parent = parent;
  w->id = id;
  w->text = std::string(text);
  w->enabled = (style & WS_DISABLED) == 0;
  w->visible = (style & WS_VISIBLE) != 0;
  w->proc = ControlProcedure(*this, w->kind);
  return UiInternal::Add(*this, std::move(w)).handle;
}

bool UserInterface::DestroyWindow(Hwnd window) {
  Window* w = UiInternal::Find(*this, window);
  if (!w) return false;
  if (w->visible && !w->child) {
    w->visible = false;
    UiInternal::Hidden(*this, window);
  }
  UiInternal::Destroyed(*this, window);
  SendMessage(window, WM_DESTROY, 0, 0);
  w = UiInternal::FindQuiet(*this, window);
  if (!w) return true;  // destroyed from its own WM_DESTROY
  std::vector<Hwnd> children = w->children;
  for (Hwnd c : children) DestroyWindow(c);
  auto& state = *impl_;
  if (Window* gone = UiInternal::FindQuiet(*this, window)) {
    if (gone->menu) DestroyMenu(gone->menu);
    if (gone->child) {
      if (Window* parent = UiInternal::FindQuiet(*this, gone->parent)) {
        std::erase(parent->children, window);
      }
    }
  }
  state.windows.erase(window);
  std::lock_guard lock(state.queueMutex);
  state.live.erase(window);
  std::erase_if(state.queue, [window](const Msg& m) { return m.hwnd == window; });
  return true;
}

bool UserInterface::IsWindow(Hwnd window) const {
  return UiInternal::FindQuiet(*this, window) != nullptr;
}

Hwnd UserInterface::GetParent(Hwnd window) const {
  Window* w = UiInternal::Find(*this, window);
  if (!w) return 0;
  return w->child ? w->parent : w->owner;
}

std::vector<Hwnd> UserInterface::GetChildren(Hwnd window) const {
  Window* w = UiInternal::Find(*this, window);
  return w ? w->children : std::vector<Hwnd>{};
}

Hwnd UserInterface::GetDlgItem(Hwnd dialog, int id) const {
  Window* w = UiInternal::Find(*this, dialog);
  if (!w) return 0;
  for (Hwnd c : w->children) {
    Window* child = UiInternal::FindQuiet(*this, c);
    if (child && child->id == id) return c;
  }
  SetLastError(kErrorControlIdNotFound);
  return 0;
}

int UserInterface::GetDlgCtrlID(Hwnd window) const {
  Window* w = UiInternal::Find(*this, window);
  return w && w->child ? w->id : 0;
}

std::string UserInterface::GetClassName(Hwnd window) const {
  Window* w = UiInternal::Find(*this, window);
  return w ? w->className : std::string();
}

ControlKind UserInterface::GetControlKind(Hwnd window) const {
  Window* w = UiInternal::Find(*this, window);
  return w ? w->kind : ControlKind::kOther;
}

bool UserInterface::EnableWindow(Hwnd window, bool enable) {
  Window* w = UiInternal::Find(*this, window);
  if (!w) return false;
  bool wasDisabled = !w->enabled;
  if (w->enabled != enable) {
    w->enabled = enable;
    if (enable) w->style &= ~WS_DISABLED; else w->style |= WS_DISABLED;
    SendMessage(window, WM_ENABLE, enable ? 1 : 0, 0);
  }
  return wasDisabled;
}

bool UserInterface::IsWindowEnabled(Hwnd window) const {
  Window* w = UiInternal::Find(*this, window);
  return w && w->enabled;
}

bool UserInterface::ShowWindow(Hwnd window, int command) {
  Window* w = UiInternal::Find(*this, window);
  if (!w) return false;
  bool was = w->visible;
  bool show = command != SW_HIDE;
  if (was == show) return was;
  w->visible = show;
  if (show) w->style |= WS_VISIBLE; else w->style &= ~WS_VISIBLE;
  SendMessage(window, WM_SHOWWINDOW, show ? 1 : 0, 0);
  if (IsWindow(window) && !w->child) {
    if (show) UiInternal::Shown(*this, window); else UiInternal::Hidden(*this, window);
  }
  return was;
}

bool UserInterface::IsWindowVisible(Hwnd window) const {
  for (Window* w = UiInternal::FindQuiet(*this, window); w;
       w = w->child ? UiInternal::FindQuiet(*this, w->parent) : nullptr) {
    if (!w->visible) return false;
    if (!w->child) return true;
  }
  return false;
}

bool UserInterface::UpdateWindow(Hwnd window) {
  if (!UiInternal::Find(*this, window)) return false;
  UiInternal::Update(*this, window);
  return true;
}

LParam UserInterface::SetWindowLongPtr(Hwnd window, int index, LParam value) {
  Window* w = UiInternal::Find(*this, window);
  if (!w) return 0;
  LParam* slot = nullptr;
  if (index == GWLP_USERDATA) slot = &w->userData;
  else if (w->dialog && index == DWLP_MSGRESULT) slot = &w->dialog->msgResult;
  else if (w->dialog && index == DWLP_USER) slot = &w->dialog->user;
  if (index == GWLP_ID && w->child) {
    LParam old = w->id;
    w->id = static_cast<int>(value);
    return old;
  }
  if (!slot) {
    SetLastError(kErrorInvalidParameter);
    return 0;
  }
  LParam old = *slot;
  *slot = value;
  return old;
}

LParam UserInterface::GetWindowLongPtr(Hwnd window, int index) const {
  Window* w = UiInternal::Find(*this, window);
  if (!w) return 0;
  if (index == GWLP_USERDATA) return w->userData;
  if (index == GWLP_ID) return w->child ? w->id : 0;
  if (w->dialog && index == DWLP_MSGRESULT) return w->dialog->msgResult;
  if (w->dialog && index == DWLP_USER) return w->dialog->user;
  SetLastError(kErrorInvalidParameter);
  return 0;
}

WindowProc UserInterface::SubclassWindow(Hwnd window, WindowProc proc) {
  Window* w = UiInternal::Find(*this, window);
  if (!w) return {};
  WindowProc old = std::move(w->proc);
  w->proc = std::move(proc);
  return old;
}

}  // namespace platform
