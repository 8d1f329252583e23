#include "copy_run.h"

#include <cstdio>

#include "platform/clock/clock.h"
#include "platform/files/files.h"
#include "platform/files/winpath.h"
#include "platform/ui/ui.h"
#include "setup_context.h"
#include "setup_shell.h"
#include "uninstall_record.h"

namespace hbasetup {

namespace {
constexpr const char* kAbortText = "The setup process is not completed!\nDo you want to exit this program?";
constexpr std::string_view kAspiFallbackWindow = "Untitled - Quexal32";

std::string RetryText(std::string_view destination) {
  return "Destination File: '" + std::string(destination) +
         "'\n can't be copied !\nIt may be write protected or run on system.\nPlease set the "
         "file writable or terminate the program and try again.\n\nDo you want to try again ?";
}

// Every folder on the way to the destination; failures (an existing folder, a drive) are normal.
void MakeFolders(platform::FileSystem& files, std::string_view destination) {
  for (size_t i = destination.find('\\'); i != std::string_view::npos;
       i = destination.find('\\', i + 1)) {
    if (i > 0 && destination[i - 1] != ':') files.CreateDirectory(destination.substr(0, i));
  }
}

// Closes the running program that may hold the destination; true when one was asked to close.
bool CloseHolder(const SetupContext& context, std::string_view destination) {
  const std::string name = ProgramNameOf(destination);
  if (name.empty()) return false;
  uintptr_t window = context.shell.FindTopLevelWindow(name);
  if (window == 0 && platform::EqualsNoCase(std::string_view(name).substr(0, 4), "ASPI")) {
    window = context.shell.FindTopLevelWindow(kAspiFallbackWindow);
  }
  if (window == 0) return false;
  context.shell.RequestClose(window);
  context.clock.SleepMs(500);
  return true;
}

// Copies one item with the retries a person asks for; true when it was copied.
bool CopyOne(const SetupContext& context, const CopyItem& item, platform::Hwnd dialog) {
  bool closeTried = false;
  for (;;) {
    if (context.files.CopyFile(item.source, item.destination, false)) return true;
    if (!closeTried) {
      closeTried = true;
      if (CloseHolder(context, item.destination)) continue;
    }
    const int answer = context.ui.MessageBox(dialog, RetryText(item.destination), "",
                                             platform::MB_YESNO | platform::MB_ICONQUESTION);
    if (answer != platform::IDYES) return false;
  }
}
}  // namespace

std::string ProgramNameOf(std::string_view destination) {
  constexpr std::string_view kExe = ".EXE";
  if (destination.size() < kExe.size() ||
      !platform::EqualsNoCase(destination.substr(destination.size() - kExe.size()), kExe)) {
    return {};
  }
  std::string_view stem = destination.substr(0, destination.size() - kExe.size());
  const size_t cut = stem.find_last_of("\\:");
  return std::string(cut == std::string_view::npos ? stem : stem.substr(cut + 1));
}

CopyOutcome RunCopy(const SetupContext& context, const std::vector<CopyItem>& list,
                    bool showDialog, platform::Hwnd owner, UninstallRecord& record) {
  CopyOutcome outcome;
  if (list.empty()) return outcome;
  const platform::DialogTemplate* found = context.resources.Dialog(kDlgCopyFiles);
  if (!found) return outcome;
  // Shown from its creation when the welcome dialog is shown; made hidden otherwise.
  platform::DialogTemplate shown = *found;
  if (showDialog) shown.style |= platform::WS_VISIBLE;
  const platform::DialogTemplate* layout = &shown;
  platform::UserInterface& ui = context.ui;
  bool cancelRequested = false;
  const platform::Hwnd dialog = ui.CreateDialog(
      *layout, owner,
      [&](platform::Hwnd, uint32_t message, platform::WParam wParam, platform::LParam) -> intptr_t {
        if (message == platform::WM_INITDIALOG) return 1;
        if (message == platform::WM_COMMAND && platform::LoWord(wParam) == kCtlCancel) {
          cancelRequested = true;
          return 1;
        }
        return 0;
      });
  outcome.dialog = dialog;
  ui.SendDlgItemMessage(dialog, kCtlProgress, platform::PBM_SETRANGE32, 0,
                        static_cast<platform::LParam>(list.size()));
  for (size_t i = 0; i < list.size(); ++i) {
    const CopyItem& item = list[i];
    context.clock.SleepMs(200);
    ui.PumpMessages();  // a Cancel click made since the last item arrives now
    if (cancelRequested) {
      cancelRequested = false;
      if (ui.MessageBox(dialog, kAbortText, "Abort",
                        platform::MB_YESNO | platform::MB_ICONEXCLAMATION) == platform::IDYES) {
        outcome.stopped = true;
        break;
      }
    }
    MakeFolders(context.files, item.destination);
    context.clock.SleepMs(100);
    ui.SetDlgItemText(dialog, kCtlFrom, "From: " + item.source);
    ui.SetDlgItemText(dialog, kCtlTo, "To: " + item.destination);
    if (CopyOne(context, item, dialog)) {
      record.Record(item.destination);
      ++outcome.copied;
    } else {
      ++outcome.skipped;
    }
    ui.SendDlgItemMessage(dialog, kCtlProgress, platform::PBM_SETPOS, i + 1, 0);
  }
  return outcome;
}

}  // namespace hbasetup
