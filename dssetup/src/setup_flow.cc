#include "setup_flow.h"

#include <cstdio>

#include "background.h"
#include "languages.h"
#include "own_resources.h"
#include "platform/files/files.h"
#include "platform/host/host.h"
#include "platform/profile/profile.h"
#include "platform/system/system.h"

namespace dssetup {

using namespace platform;

WindowsPlatform PlatformOf(uint32_t platformId, uint32_t major, uint32_t minor) {
  if (platformId == kPlatformWin32Windows) return WindowsPlatform::kWin9x;
  if (platformId == kPlatformWin32Nt && major >= 4) return WindowsPlatform::kNt4OrLater;
  if (platformId == kPlatformWin32Nt && minor > 1) return WindowsPlatform::kNt3;
  return WindowsPlatform::kUnsupported;
}

std::string DiskPromptText(std::string text, int disk, char drive) {
  size_t at = text.find('?');
  if (at != std::string::npos) {
    text[at] = static_cast<char>('0' + disk);
    at = text.find('?', at + 1);
    if (at != std::string::npos) text[at] = drive;
  }
  return text;
}

SetupFlow::SetupFlow(Host& host, SetupPaths paths)
    : host_(host),
      ui_(host.ui()),
      modules_(host.modules()),
      paths_(std::move(paths)),
      script_(host.files(), host.profiles(), paths_),
      config_(host.profiles(), paths_) {}

SetupFlow::~SetupFlow() {
  if (window_ && ui_.IsWindow(window_)) ui_.DestroyWindow(window_);
  if (own_) modules_.FreeLibrary(own_);
}

int SetupFlow::Run() {
  modules_.RegisterBuiltin(std::string(kOwnModule), {}, OwnResourceScript());
  own_ = modules_.LoadLibrary(kOwnModule);
  window_ = ui_.CreateWindow("GenericWClass", script_.TitleText(), 0x80840080u, 0,
                             [this](Hwnd w, uint32_t m, WParam wp, LParam lp) {
                               return WindowProc(w, m, wp, lp);
                             });
  // The window is made hidden and shown once it exists, as a program's start shows its window.
  if (window_) {
    ui_.ShowWindow(window_, SW_SHOWNORMAL);
    ui_.UpdateWindow(window_);
  }
  Msg msg;
  while (window_ && ui_.GetMessage(&msg, 0, 0, 0) > 0) ui_.DispatchMessage(msg);
  return finished_ ? 0 : 1;
}

LResult SetupFlow::WindowProc(Hwnd w, uint32_t message, WParam wp, LParam lp) {
  switch (message) {
    case WM_CREATE:
      window_ = w;
      OnCreate();
      return 0;
    case WM_COMMAND:
      Step(static_cast<int>(wp & 0xFFFF));
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    default:
      return ui_.DefWindowProc(w, message, wp, lp);
  }
}

void SetupFlow::OnCreate() {
  script_.CopyToWorkingCopy();  // a missing script is not reported: nothing gets copied
  background_ = PaintBackground(kWindowWidth, kWindowHeight, script_.TitleText(),
                                script_.FontSize());
  if (!snapshot_.empty() && !background_->SavePng(snapshot_)) {
    std::fprintf(stderr, "dssetup: cannot write %s\n", snapshot_.c_str());
  }
  const VersionRecord v = host_.system().GetVersionEx();
  platform_ = PlatformOf(v.platformId, v.major, v.minor);
  if (platform_ == WindowsPlatform::kUnsupported) {
    ui_.MessageBox(window_, "Falsche Windows Version!\nWrong Windows Version!", "Orvex Setup",
                   MB_OK | MB_ICONERROR);
    ui_.PostMessage(window_, WM_CLOSE, 0, 0);
    return;
  }
  ui_.PostMessage(window_, WM_COMMAND, kCmdLanguage, 0);
}

void SetupFlow::SendNext(int command) {
  if (command < 0) {
    ui_.DestroyWindow(window_);
    return;
  }
  ui_.PostMessage(window_, WM_COMMAND, static_cast<WParam>(command), 0);
}

void SetupFlow::Step(int command) {
  switch (command) {
    case kCmdLanguage: ChooseLanguage(); break;
    case kCmdWelcome: Welcome(); break;
    case kCmdModels: ChooseModels(); break;
    case kCmdCopy: Copy(); break;
    case kCmdPortSetup: PortSetupAndFinish(); break;
    default: break;
  }
}

std::string SetupFlow::LangString(uint32_t id) const {
  return modules_.LoadString(language_, id).value_or("");
}

intptr_t SetupFlow::Dialog(const ResourceId& id, DialogProc proc) {
  std::optional<DialogTemplate> dialog = modules_.LoadDialog(language_, id);
  if (!dialog) return -1;
  return ui_.DialogBox(*dialog, window_, EndingOnButtons(std::move(proc)));
}

DialogProc SetupFlow::WithHelpButton(const ResourceId& help, DialogProc inner,
                                     ModuleHandle from) {
  return [this, help, inner = std::move(inner), from](Hwnd d, uint32_t m, WParam wp,
                                                      LParam lp) -> intptr_t {
    if (m == WM_COMMAND && (wp & 0xFFFF) == 9) {
      if (auto dialog = modules_.LoadDialog(from ? from : language_, help)) {
        ui_.DialogBox(*dialog, d);
      }
      return 1;
    }
    return inner ? inner(d, m, wp, lp) : 0;
  };
}

DialogProc SetupFlow::EndingOnButtons(DialogProc inner) {
  return [this, inner = std::move(inner)](Hwnd d, uint32_t m, WParam wp, LParam lp) -> intptr_t {
    if (inner && inner(d, m, wp, lp)) return 1;
    // A push button the procedure left alone ends the dialog with its identifier.
    const int id = static_cast<int>(wp & 0xFFFF);
    if (m == WM_COMMAND && (wp >> 16) == BN_CLICKED &&
        ui_.GetControlKind(ui_.GetDlgItem(d, id)) == ControlKind::kPushButton) {
      ui_.EndDialog(d, id);
      return 1;
    }
    return 0;
  };
}

bool SetupFlow::ConfirmExit() {
  const intptr_t r = Dialog("ExitDlg", WithHelpButton(6410, [this](
      Hwnd d, uint32_t m, WParam wp, LParam) -> intptr_t {
    if (m == WM_COMMAND && ((wp & 0xFFFF) == 1 || (wp & 0xFFFF) == 2)) {
      ui_.EndDialog(d, static_cast<intptr_t>(wp & 0xFFFF));
      return 1;
    }
    return 0;
  }));
  return r != 1;  // 2, or no dialog at all: leave
}

void SetupFlow::ChooseLanguage() {
  const int count = script_.LanguageCount();
  int index = script_.FixedLanguage();
  while (count > 1) {
    std::optional<DialogTemplate> dialog = modules_.LoadDialog(own_, "SPRACHEDLG");
    int selected = 0;
    const intptr_t r = ui_.DialogBox(*dialog, window_, [&](Hwnd d, uint32_t m, WParam wp,
                                                           LParam) -> intptr_t {
      if (m == WM_INITDIALOG) {
        for (int i = 0; i < count; ++i) {
          const std::string name(kLanguages[static_cast<size_t>(i)].name);
          ui_.SendDlgItemMessage(d, 1027, LB_ADDSTRING, 0, reinterpret_cast<LParam>(name.c_str()));
        }
        ui_.SendDlgItemMessage(d, 1027, LB_SETCURSEL, 0, 0);
        return 1;
      }
      if (m == WM_COMMAND && ((wp & 0xFFFF) == IDOK || (wp & 0xFFFF) == IDCANCEL)) {
        selected = ui_.GetSelection(ui_.GetDlgItem(d, 1027));
        ui_.EndDialog(d, static_cast<intptr_t>(wp & 0xFFFF));
        return 1;
      }
      return 0;
    });
    if (r == IDOK) {
      index = selected < 0 ? 0 : selected;
      break;
    }
    // Without the language library the exit dialog cannot be shown: a cancel leaves.
    if (!language_ || ConfirmExit()) return Fail();
  }
  const Language* language = LanguageAt(index);
  language_ = language ? modules_.LoadLibrary(language->library) : 0;
  if (!language_) {
    std::optional<DialogTemplate> dialog = modules_.LoadDialog(own_, "LOADDLLERROR");
    if (dialog) {
      ui_.DialogBox(*dialog, window_, EndingOnButtons(WithHelpButton(6410, {}, own_)));
    }
    return Fail();
  }
  languageIndex_ = index;
  SendNext(kCmdWelcome);
}

void SetupFlow::Welcome() {
  for (;;) {
    const intptr_t r = Dialog("StartDlg", WithHelpButton(6401));
    if (r == IDOK) return SendNext(kCmdModels);
    if (ConfirmExit()) return Fail();
  }
}

void SetupFlow::ChooseModels() {
  modelNames_ = script_.ModelNames();
  for (;;) {
    std::vector<int> selected;
    auto updateOk = [this](Hwnd d) {
      const bool any = !ui_.GetSelections(ui_.GetDlgItem(d, 1007)).empty();
      ui_.EnableWindow(ui_.GetDlgItem(d, IDOK), any);
    };
    const intptr_t r = Dialog("CHOOSESCANNER", [&](Hwnd d, uint32_t m, WParam wp,
                                                    LParam) -> intptr_t {
      const int id = static_cast<int>(wp & 0xFFFF);
      if (m == WM_INITDIALOG) {
        for (const std::string& name : modelNames_) {
          ui_.SendDlgItemMessage(d, 1007, LB_ADDSTRING, 0, reinterpret_cast<LParam>(name.c_str()));
        }
        updateOk(d);
        return 1;
      }
      if (m != WM_COMMAND) return 0;
      if (id == 1007) updateOk(d);
      if (id == 9) {
        ui_.MessageBox(d, LangString(3), "KV-TWAIN Setup", MB_OK | MB_ICONQUESTION);
      } else if (id == IDOK || id == IDCANCEL) {
        selected = ui_.GetSelections(ui_.GetDlgItem(d, 1007));
        ui_.EndDialog(d, id);
      }
      return 1;
    });
    if (r == IDOK && !selected.empty()) {
      if (selected.size() > static_cast<size_t>(kMaxChosenModels)) {
        selected.resize(kMaxChosenModels);
      }
      chosen_ = selected;
      const std::string section(kLanguages[static_cast<size_t>(languageIndex_)].section);
      for (int model : chosen_) {
        script_.ExtendForModel(modelNames_[static_cast<size_t>(model)], section, &ui_);
      }
      return SendNext(kCmdCopy);
    }
    if (ConfirmExit()) return Fail();
  }
}

void SetupFlow::OnDestroy() {
  background_.reset();
  if (language_) modules_.FreeLibrary(language_);
  language_ = 0;
  script_.RemoveWorkingCopy();
  window_ = 0;
  ui_.PostQuitMessage(0);
}

}  // namespace dssetup
