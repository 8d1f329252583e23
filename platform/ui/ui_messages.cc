// Window messages: sending, the queue of posted messages, and default processing.
#include <cstring>

#include "platform/system/errors.h"
#include "ui_internal.h"

namespace platform {
namespace {

bool Matches(const Msg& m, Hwnd window, uint32_t first, uint32_t last) {
  if (window && m.hwnd != window) return false;
  if (first == 0 && last == 0) return true;
  return m.message >= first && m.message <= last;
}

}  // namespace

LResult CopyOut(const std::string& text, char* buffer, size_t size) {
  if (!buffer || size == 0) return 0;
  size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<LResult>(n);
}

LResult UserInterface::SendMessage(Hwnd window, uint32_t message, WParam wParam, LParam lParam) {
  Window* w = UiInternal::Find(*this, window);
  if (!w) return 0;
  // A copy, so that a procedure that destroys its own window keeps running safely.
  WindowProc proc = w->proc;
  if (!proc) return DefWindowProc(window, message, wParam, lParam);
  return proc(window, message, wParam, lParam);
}

LResult UserInterface::DefWindowProc(Hwnd window, uint32_t message, WParam wParam,
                                     LParam lParam) {
  Window* w = UiInternal::Find(*this, window);
  if (!w) return 0;
  switch (message) {
    case WM_SETTEXT:
      w->text = lParam ? reinterpret_cast<const char*>(lParam) : "";
      UiInternal::TextChanged(*this, window);
      return 1;
    case WM_GETTEXT:
      return CopyOut(w->text, reinterpret_cast<char*>(lParam), wParam);
    case WM_GETTEXTLENGTH:
      return static_cast<LResult>(w->text.size());
    case WM_SETFONT:
      w->font = static_cast<Hfont>(wParam);
      if (lParam) UiInternal::Update(*this, window);
      return 0;
    case WM_GETFONT:
      return static_cast<LResult>(w->font);
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    default:
      return 0;
  }
}

std::string UserInterface::GetWindowText(Hwnd window) {
  if (!UiInternal::Find(*this, window)) return {};
  LResult length = SendMessage(window, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length) + 1, '\0');
  LResult got = SendMessage(window, WM_GETTEXT, text.size(), reinterpret_cast<LParam>(text.data()));
  text.resize(static_cast<size_t>(std::max<LResult>(0, std::min<LResult>(got, length))));
  return text;
}

bool UserInterface::SetWindowText(Hwnd window, std::string_view text) {
  if (!UiInternal::Find(*this, window)) return false;
  std::string copy(text);
  return SendMessage(window, WM_SETTEXT, 0, reinterpret_cast<LParam>(copy.c_str())) != 0;
}

bool UserInterface::PostMessage(Hwnd window, uint32_t message, WParam wParam, LParam lParam) {
  auto& state = *impl_;
  {
    std::lock_guard lock(state.queueMutex);
    if (window && !state.live.count(window)) {
      SetLastError(kErrorInvalidWindowHandle);
      return false;
    }
    state.queue.push_back(Msg{window, message, wParam, lParam});
  }
  state.arrived.notify_all();
  return true;
}

void UserInterface::PostQuitMessage(int exitCode) {
  auto& state = *impl_;
  {
    std::lock_guard lock(state.queueMutex);
    state.quit = true;
    state.quitCode = exitCode;
  }
  state.arrived.notify_all();
}

bool UserInterface::PeekMessage(Msg* msg, Hwnd window, uint32_t first, uint32_t last,
                                uint32_t remove) {
  UiInternal::PollInput(*this);
  auto& state = *impl_;
  std::lock_guard lock(state.queueMutex);
  for (auto it = state.queue.begin(); it != state.queue.end(); ++it) {
    if (!Matches(*it, window, first, last)) continue;
    if (msg) *msg = *it;
    if (remove & PM_REMOVE) state.queue.erase(it);
    return true;
  }
  if (!state.quit) return false;
  if (msg) *msg = Msg{0, WM_QUIT, static_cast<WParam>(state.quitCode), 0};
  if (remove & PM_REMOVE) state.quit = false;
  return true;
}

int UserInterface::GetMessage(Msg* msg, Hwnd window, uint32_t first, uint32_t last) {
  using Clock = std::chrono::steady_clock;
  auto& state = *impl_;
  const auto deadline = Clock::now() + state.idleLimit;
  Msg got;
  while (!PeekMessage(&got, window, first, last, PM_REMOVE)) {
    if (Clock::now() >= deadline) {
      Fail("a message loop waited " + std::to_string(state.idleLimit.count()) +
           " ms for a message that never came");
      return -1;
    }
    // Short slices, so that input polled by the backend is seen while waiting.
    std::unique_lock lock(state.queueMutex);
    state.arrived.wait_for(lock, std::chrono::milliseconds(20));
  }
  if (msg) *msg = got;
  return got.message == WM_QUIT ? 0 : 1;
}

LResult UserInterface::DispatchMessage(const Msg& msg) {
  if (!msg.hwnd) return 0;
  return SendMessage(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

bool UserInterface::IsDialogMessage(Hwnd dialog, const Msg& msg) {
  if (!IsDialog(dialog) || !msg.hwnd) return false;
  bool ours = msg.hwnd == dialog;
  for (Hwnd h = msg.hwnd; !ours && h && IsWindow(h);) {
    Window* w = UiInternal::FindQuiet(*this, h);
    h = w && w->child ? w->parent : 0;
    ours = h == dialog;
  }
  if (ours) DispatchMessage(msg);
  return ours;
}

void UserInterface::SetIdleLimit(std::chrono::milliseconds limit) { impl_->idleLimit = limit; }

bool UserInterface::PostClick(Hwnd button) {
  return PostMessage(button, WM_LBUTTONDOWN, MK_LBUTTON, 0) &&
         PostMessage(button, WM_LBUTTONUP, 0, 0);
}

void UserInterface::PumpMessages() {
  // Only what is queued now: a procedure that posts again does not keep the pump going forever.
  size_t pending;
  {
    std::lock_guard lock(impl_->queueMutex);
    pending = impl_->queue.size();
  }
  Msg msg;
  while (pending-- > 0 && PeekMessage(&msg, 0, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // left for the program's own loop
      break;
    }
    DispatchMessage(msg);
  }
}

}  // namespace platform
