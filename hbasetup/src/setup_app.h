// The adapter setup as a whole: the welcome dialog 102 (Start, Exit, About) or, with bShow other
// than "YES", the install run at once; the install run's steps in order; the closing dialog 103
// and the reboot question.
#pragma once

#include "copy_run.h"
#include "config_sys.h"
#include "install_type.h"
#include "platform/ui/ui_constants.h"
#include "script.h"

namespace hbasetup {

struct SetupContext;

inline constexpr int kDlgAbout = 100;
inline constexpr int kDlgWelcome = 102;
inline constexpr int kDlgClosing = 103;
inline constexpr int kStrAbout = 101;
inline constexpr uint32_t kIdmAboutBox = 0x0010;  // the About entry's system command

struct InstallRunResult {
  InstallType type = InstallType::kOther;
  size_t listed = 0;
  CopyOutcome copy;
  ConfigEdit config = ConfigEdit::kNoConfig;
  bool restarted = false;
};

class SetupApp {
 public:
  SetupApp(const SetupContext& context, SetupScript script);

  // The whole program; returns its exit code (setup_context.h).
  int Run();
  // One install run; with `fromWelcome` the copy and closing dialogs show and the reboot
  // question follows.
  InstallRunResult InstallRun(bool fromWelcome, platform::Hwnd owner);
  const InstallRunResult& last() const { return last_; }

 private:
  intptr_t OnWelcome(platform::Hwnd dialog, uint32_t message, platform::WParam wParam);
  void ShowClosingDialog(platform::Hwnd owner);
  bool AskReboot(platform::Hwnd owner);

  const SetupContext& context_;
  SetupScript script_;
  InstallRunResult last_;
  bool ran_ = false;
};

}  // namespace hbasetup
