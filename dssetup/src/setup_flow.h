// The setup's flow: one main window whose commands drive the steps (6601 language, 6600
// welcome, 6603 model choice, 1002 copying, 6402 port setup and completion), modal dialogs from
// the language library, the copy dialog fed by Unpack, and the end, which removes the working
// script and unloads the library.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data_source_config.h"
#include "platform/gdi/gdi.h"
#include "identity.h"
#include "platform/modules/modules.h"
#include "platform/ui/ui.h"
#include "setup_paths.h"
#include "setup_script.h"

namespace platform {
class Host;
}

namespace dssetup {

// Step commands posted to the main window.
inline constexpr int kCmdLanguage = 6601;
inline constexpr int kCmdWelcome = 6600;
inline constexpr int kCmdModels = 6603;
inline constexpr int kCmdCopy = 1002;
inline constexpr int kCmdPortSetup = 6402;

enum class WindowsPlatform { kWin9x, kNt3, kNt4OrLater, kUnsupported };
WindowsPlatform PlatformOf(uint32_t platformId, uint32_t major, uint32_t minor);

// String `text` with its first '?' replaced by `disk` and its second by `drive`.
std::string DiskPromptText(std::string text, int disk, char drive);

class SetupFlow {
 public:
  SetupFlow(platform::Host& host, SetupPaths paths);
  ~SetupFlow();
  SetupFlow(const SetupFlow&) = delete;
  SetupFlow& operator=(const SetupFlow&) = delete;

  // Runs the setup until its window is destroyed. 0 when it finished, 1 otherwise.
  int Run();

  // Saves the painted window as PNG to this host path when the window is made.
  void SetSnapshot(std::string path) { snapshot_ = std::move(path); }
  bool finished() const { return finished_; }
  bool restartAdvised() const { return restartAdvised_; }
  const IdentityData& identity() const { return identity_; }

 private:
  platform::LResult WindowProc(platform::Hwnd, uint32_t, platform::WParam, platform::LParam);
  void OnCreate();
  void Step(int command);
  void ChooseLanguage();
  void Welcome();
  void ChooseModels();
  void Copy();
  bool CopyOne(const std::string& entryText, platform::Hwnd copyDialog);
  bool ConfirmOlderVersion(const std::string& installed, const std::string& packed);
  void PortSetupAndFinish();
  bool AspiNeedsInstalling();
  void PortSetup();
  void StartAspiInstaller();
  void ShowScsiPortInfo(int adapter, int target);
  void ShowIdentity();
  void ShowParallelPortInfo(int lptId, int type);
  // "SCSI_INQUIRY" for one adapter: the last target holding the scanner, or -1.
  int ScsiInquiry(int adapter);
  void ManualSettings(PortSettings* settings);
  intptr_t ScsiPage(PortSettings* s, platform::Hwnd d, uint32_t m, platform::WParam wp,
                    platform::LParam lp);
  // Chooses the Orvex type of the page's port: high speed when the probe finds the interface
  // (with the default beep), else standard.
  void ProbeParallelType(PortSettings* s);
  intptr_t ParallelPage(PortSettings* s, platform::Hwnd d, uint32_t m, platform::WParam wp,
                        platform::LParam lp);
  void SendProgramManagerCommands();
  void Restart();
  void OnDestroy();

  // A dialog of the language library; -1 when it has no such dialog.
  intptr_t Dialog(const platform::ResourceId& id, platform::DialogProc proc = {});
  // A dialog procedure whose button 9 opens help dialog `help` (of `from`, else the language
  // library) and returns to the dialog.
  platform::DialogProc WithHelpButton(const platform::ResourceId& help,
                                      platform::DialogProc inner = {},
                                      platform::ModuleHandle from = 0);
  // A procedure under which a push button that `inner` leaves alone ends the dialog.
  platform::DialogProc EndingOnButtons(platform::DialogProc inner);
  // "ExitDlg": true when the person chose to leave.
  bool ConfirmExit();
  std::string LangString(uint32_t id) const;
  void ShowDiskPrompt(int disk);
  void Fail() { SendNext(-1); }
  void SendNext(int command);

  platform::Host& host_;
  platform::UserInterface& ui_;
  platform::Modules& modules_;
  SetupPaths paths_;
  SetupScript script_;
  DataSourceConfig config_;
  WindowsPlatform platform_ = WindowsPlatform::kUnsupported;
  platform::Hwnd window_ = 0;
  platform::ModuleHandle own_ = 0;
  platform::ModuleHandle language_ = 0;
  int languageIndex_ = 1;
  std::vector<int> chosen_;  // model indexes, at most 16
  std::vector<std::string> modelNames_;
  int currentDisk_ = 0;
  bool aspiPresent_ = false;  // wnaspi32.dll could be opened
  bool aspiNeedsInstall_ = false;
  bool restartAdvised_ = true;
  bool finished_ = false;
  IdentityData identity_;
  int parallelPortCount_ = 0;
  std::unique_ptr<platform::GdiBitmap> background_;
  std::string snapshot_;
};

}  // namespace dssetup
