// Port setup and completion (6402): the ASPI check, the port search or manual settings, the
// ASPI installer, the program group, the control-panel applet and the closing dialog.
#include <cstdio>

#include "aspi_layer.h"
#include "file_version.h"
#include "platform/files/files.h"
#include "platform/host/host.h"
#include "platform/shell/shell.h"
#include "platform/system/system.h"
#include "port_search.h"
#include "setup_flow.h"

namespace dssetup {

using namespace platform;

namespace {

constexpr uint32_t kAspiMinimumMs = 0x00040000;  // major version 4
constexpr uint32_t kAspiMinimumBuild = 970;

}  // namespace

bool SetupFlow::AspiNeedsInstalling() {
  const std::string layer = paths_.system + "\\wnaspi32.dll";
  auto file = File::Open(host_.files(), layer, File::Mode::kRead);
  aspiPresent_ = file != nullptr;
  if (!file) return true;
  const FileVersion v = InstalledFileVersion(host_.files(), layer).value_or(FileVersion{});
  return v.ms < kAspiMinimumMs || v.ls < kAspiMinimumBuild;
}

void SetupFlow::PortSetupAndFinish() {
  if (platform_ == WindowsPlatform::kNt4OrLater) {
    host_.files().DeleteFile(paths_.windows + "\\TWUNK_16.EXE");
    host_.files().DeleteFile(paths_.windows + "\\TWUNK_32.EXE");
  }
  aspiNeedsInstall_ = AspiNeedsInstalling();
  // An old layer is still a layer: its adapters can be searched before it is replaced.
  if (aspiPresent_ || platform_ == WindowsPlatform::kWin9x) PortSetup();
  const bool nt = platform_ != WindowsPlatform::kWin9x;
  if ((restartAdvised_ || nt) && aspiNeedsInstall_) StartAspiInstaller();
  SendProgramManagerCommands();
  config_.RegisterControlPanelApplet();
  config_.WriteLanguage(languageIndex_);
  finished_ = true;
  if (restartAdvised_) {
    if (aspiNeedsInstall_) {
      if (Dialog("RebootDlg", WithHelpButton(6410)) == 1) Restart();
    } else {
      Dialog("FinalDlg", WithHelpButton(6410));
    }
  }
  ui_.DestroyWindow(window_);
}

void SetupFlow::PortSetup() {
  bool automatic = true;
  const intptr_t r = Dialog("PORT_SETUP", [&](Hwnd d, uint32_t m, WParam wp, LParam) -> intptr_t {
    const int id = static_cast<int>(wp & 0xFFFF);
    if (m == WM_INITDIALOG) {
      ui_.CheckRadioButton(d, 2002, 2003, 2002);
      return 1;
    }
    if (m == WM_COMMAND && id == 9) {
      if (auto help = modules_.LoadDialog(language_, "PORT_SETUP_HELP")) ui_.DialogBox(*help, d);
      return 1;
    }
    if (m == WM_COMMAND && (id == IDOK || id == IDCANCEL)) {
      automatic = ui_.IsDlgButtonChecked(d, 2002) != 0;
      ui_.EndDialog(d, id);
      return 1;
    }
    return 0;
  });
  if (r != IDOK) return;
  bool complete = false;
  PortSettings settings = config_.ReadPortSettings(&complete);
  if (!complete) return;
  bool found = false;
  if (automatic) {
    Hwnd searchDialog = 0;
    SearchDisplay display;
    display.open = [&] {
      if (auto layout = modules_.LoadDialog(language_, "SEARCH_SCAN_PORT")) {
        searchDialog = ui_.CreateDialog(*layout, window_);
        ui_.ShowWindow(searchDialog, SW_SHOWNORMAL);
      }
    };
    // Without the dialog the status texts go nowhere.
    display.status = [&](const std::string& text) {
      if (!searchDialog) return;
      ui_.SetDlgItemText(searchDialog, 1008, text);
      ui_.UpdateWindow(searchDialog);
    };
    display.close = [&] {
      if (searchDialog) ui_.DestroyWindow(searchDialog);
      searchDialog = 0;
    };
    display.foundScsi = [&](int adapter, int target) { ShowScsiPortInfo(adapter, target); };
    display.foundParallel = [&](int lptId, int type) { ShowParallelPortInfo(lptId, type); };
    found = PortSearch(host_, display)
                .Run(&settings, &identity_, LangString(12), LangString(13),
                     platform_ == WindowsPlatform::kWin9x);
    if (!found && Dialog("NO_SCANNER_PORT", WithHelpButton(6410)) == 1) {
      ManualSettings(&settings);
    }
  } else {
    ManualSettings(&settings);
  }
  config_.WritePortSettings(settings);
  restartAdvised_ = settings.scanDeviceType == kDeviceScsi;
}

void SetupFlow::StartAspiInstaller() {
  // The installer is looked for, and started, in the setup's own KVTWAIN folder.
  const std::string folder = paths_.SourceStem() + "\\KVTWAIN\\COMMON\\WINASPI";
  if (!host_.files().Exists(folder + "\\ASPIINST.EXE")) {
    if (!paths_.source.empty() && (paths_.source[0] == 'A' || paths_.source[0] == 'a' ||
                                   paths_.source[0] == 'B' || paths_.source[0] == 'b')) {
      ShowDiskPrompt(1);
    }
  }
  const std::string commandLine = folder + "\\ASPIINST /SILENT";
  const uint32_t result = Shell::Of(host_).WinExec(commandLine, SW_SHOWNORMAL);
  if (result == kExecFileNotFound) {
    ui_.MessageBox(window_, "File not found!", commandLine, MB_OK);
  } else if (result == kExecPathNotFound) {
    ui_.MessageBox(window_, "Path not found!", commandLine, MB_OK);
  } else if (result == kExecBadFormat) {
    ui_.MessageBox(window_, "Bad format!", "COPY", MB_OK);
  }
  if (result <= 31) {
    char text[64];
    std::snprintf(text, sizeof text, "WinExec failed (return code = %u)!", result);
    ui_.MessageBox(window_, text, commandLine, MB_OK);
  }
}

void SetupFlow::SendProgramManagerCommands() {
  Shell& shell = Shell::Of(host_);
  const DdeInstance instance = shell.DdeInitialize();
  if (!instance) return;
  const DdeConversation conversation = shell.DdeConnect(instance, "PROGMAN", "PROGMAN");
  const std::pair<std::string, const char*> commands[] = {
      {"[CreateGroup(Orvex Scanner)]", "SendShellCommand(Orvex Scanner) failed!"},
      {"[AddItem(control.exe kvctrl32.cpl,Orvex TWAIN 32 Setup," + paths_.windows +
           "\\kvctrl32.cpl)]",
       "SendShellCommand(AddItem failed!)"},
      {"[ShowGroup(Orvex Scanner, 6)]", "SendShellCommand(ShowGroup failed!)"},
  };
  for (const auto& [command, failure] : commands) {
    if (!shell.DdeExecute(conversation, command, kDdeDefaultTimeoutMs)) {
      ui_.MessageBox(window_, failure, "Error", MB_OK);
    }
  }
  shell.DdeDisconnect(conversation);
  shell.DdeUninitialize(instance);
}

void SetupFlow::Restart() {
  SystemInfo& system = host_.system();
  if (platform_ != WindowsPlatform::kWin9x && !system.RequestPrivilege("SeShutdownPrivilege")) {
    return;
  }
  system.RequestRestart("EWX_REBOOT");
  Shell::Of(host_).RecordRestart("dssetup");
}

}  // namespace dssetup
