#include "setup_app.h"

#include "platform/clock/clock.h"
#include "platform/ui/ui.h"
#include "platform/system/system.h"
#include "platform/system/version_word.h"
#include "setup_context.h"
#include "shortcuts.h"
#include "system_steps.h"
#include "uninstall_record.h"

namespace hbasetup {

namespace {
constexpr const char* kExitText = "The setup process is not completed!\nDo you want to exit this program?";
constexpr const char* kRebootText =
    "Install OK !!!\n\n You must reboot the system to activate the changes !\n\nReboot Now ?";
}  // namespace

SetupApp::SetupApp(const SetupContext& context, SetupScript script)
    : context_(context), script_(std::move(script)) {}

int SetupApp::Run() {
  if (!script_.display().ShowsWelcome()) {
    InstallRun(false, 0);
  } else {
    const platform::DialogTemplate* welcome = context_.resources.Dialog(kDlgWelcome);
    if (!welcome) return kExitNoResources;
    context_.ui.DialogBox(*welcome, 0,
                          [this](platform::Hwnd dialog, uint32_t message, platform::WParam wParam,
                                 platform::LParam) { return OnWelcome(dialog, message, wParam); });
    if (!ran_) return kExitLeft;
  }
  return last_.copy.skipped > 0 ? kExitFileSkipped : kExitInstalled;
}

intptr_t SetupApp::OnWelcome(platform::Hwnd dialog, uint32_t message, platform::WParam wParam) {
  platform::UserInterface& ui = context_.ui;
  if (message == platform::WM_INITDIALOG) return 1;
  if (message == platform::WM_SYSCOMMAND && (wParam & 0xFFF0) == kIdmAboutBox) {
    if (const platform::DialogTemplate* about = context_.resources.Dialog(kDlgAbout)) {
      ui.DialogBox(*about, dialog);
    }
    return 1;
  }
  const bool exit = message == platform::WM_CLOSE ||
                    (message == platform::WM_COMMAND && platform::LoWord(wParam) == platform::IDCANCEL);
  if (exit) {
    if (ui.MessageBox(dialog, kExitText, "Exit Setup",
                      platform::MB_YESNO | platform::MB_ICONEXCLAMATION) == platform::IDYES) {
      ui.EndDialog(dialog, platform::IDCANCEL);
    }
    return 1;
  }
  if (message == platform::WM_COMMAND && platform::LoWord(wParam) == platform::IDOK) {
    InstallRun(true, dialog);
    ui.EndDialog(dialog, platform::IDOK);
    return 1;
  }
  return 0;
}

InstallRunResult SetupApp::InstallRun(bool fromWelcome, platform::Hwnd owner) {
  ran_ = true;
  InstallRunResult result;
  const InstallType type = InstallTypeFor(platform::GetVersion(context_.system));
  result.type = type;
  platform::UserInterface& ui = context_.ui;

  const CopyPaths paths{context_.setupDirectory, context_.system.WindowsFolder()};
  const std::vector<CopyItem> list =
      BuildCopyList(script_, type, paths, [&](const CopyListMessage& m) {
        ui.MessageBox(owner, m.text, m.caption, platform::MB_OK);
      });
  result.listed = list.size();
  UninstallRecord record(context_.registry, script_.display().groupName);
  result.copy = RunCopy(context_, list, fromWelcome, owner, record);

  if (type != InstallType::kOther) {
    RecordExtraFiles(context_, script_, type, record);
    const std::vector<std::string> groupFiles = MakeShortcuts(context_, script_, type, record);
    StartPrograms(context_, script_, type);
    WriteUninstallEntry(context_, script_);
    DeleteGroupFiles(context_, groupFiles);
  }
  result.config = EditConfigSys(context_, script_);

  if (fromWelcome) {
    if (result.copy.dialog) ui.DestroyWindow(result.copy.dialog);
    result.copy.dialog = 0;
    context_.clock.SleepMs(500);
    ShowClosingDialog(owner);
  }
  if (type == InstallType::kWin95) ClearPciEntries(context_, script_);
  if (type == InstallType::kNt) RegisterService(context_, script_);
  if (result.copy.dialog) ui.DestroyWindow(result.copy.dialog);
  result.copy.dialog = 0;

  if (fromWelcome) result.restarted = AskReboot(owner) && Restart(context_, type);
  last_ = result;
  return result;
}

void SetupApp::ShowClosingDialog(platform::Hwnd owner) {
  const platform::DialogTemplate* layout = context_.resources.Dialog(kDlgClosing);
  if (!layout) return;
  const platform::Hwnd closing = context_.ui.CreateDialog(*layout, owner);
  context_.clock.SleepMs(3000);
  context_.ui.DestroyWindow(closing);
}

bool SetupApp::AskReboot(platform::Hwnd owner) {
  platform::UserInterface& ui = context_.ui;
  ui.MessageBeep(platform::MB_ICONQUESTION);
  return ui.MessageBox(owner, kRebootText, "",
                       platform::MB_YESNO | platform::MB_ICONINFORMATION) == platform::IDYES;
}

}  // namespace hbasetup
