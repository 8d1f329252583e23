// Message boxes: the buttons of each type, and the checks around the backend's answer.
#include <algorithm>

#include "platform/system/errors.h"
#include "ui_internal.h"

namespace platform {

std::vector<int> MessageBoxButtons(uint32_t type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK: return {IDOK};
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {};
  }
}

int MessageBoxDefault(uint32_t type) {
  std::vector<int> buttons = MessageBoxButtons(type);
  if (buttons.empty()) return 0;
  size_t index = (type & MB_DEFMASK) >> 8;
  return index < buttons.size() ? buttons[index] : buttons[0];
}

int MessageBoxSafeAnswer(uint32_t type) {
  std::vector<int> buttons = MessageBoxButtons(type);
  for (int safe : {IDCANCEL, IDNO, IDABORT, IDOK}) {
    if (std::find(buttons.begin(), buttons.end(), safe) != buttons.end()) return safe;
  }
  return 0;
}

std::string_view AnswerName(int answer) {
  switch (answer) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "Abort";
    case IDRETRY: return "Retry";
    case IDIGNORE: return "Ignore";
    case IDYES: return "Yes";
    case IDNO: return "No";
    default: return "";
  }
}

std::string_view IconName(uint32_t type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONERROR: return "error";
    case MB_ICONQUESTION: return "question";
    case MB_ICONWARNING: return "warning";
    case MB_ICONINFORMATION: return "information";
    default: return "";
  }
}

bool UserInterface::MessageBeep(uint32_t type) {
  backend_->OnBeep(type);
  return true;
}

int UserInterface::MessageBox(Hwnd owner, std::string_view text, std::string_view caption,
                              uint32_t type) {
  std::vector<int> buttons = MessageBoxButtons(type);
  if (buttons.empty()) {
    SetLastError(kErrorInvalidParameter);
    return 0;
  }
  if (owner && !UiInternal::Find(*this, owner)) return 0;
  MessageBoxRequest request{owner, std::string(text), std::string(caption), type};
  int answer = UiInternal::PresentMessageBox(*this, request);
  if (std::find(buttons.begin(), buttons.end(), answer) == buttons.end()) {
    Fail("message box \"" + request.caption + "\" was answered " + std::to_string(answer) +
         ", which is none of its buttons: \"" + request.text + "\"");
    return MessageBoxSafeAnswer(type);
  }
  return answer;
}

}  // namespace platform
