// Copying (1002): every file entry of the language section expanded with Unpack after the
// version check, behind the copy dialog; then the data source's colour and model sections.
#include <cctype>

#include "dearc32/dearc32.h"
#include "display_path.h"
#include "file_entry.h"
#include "file_version.h"
#include "languages.h"
#include "platform/files/files.h"
#include "platform/host/host.h"
#include "setup_flow.h"

namespace dssetup {

using namespace platform;

namespace {

constexpr int kProgressBar = 11111;
constexpr size_t kVersionPathLimit = 40;

std::string AfterLastBackslash(const std::string& path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsFloppy(const std::string& source) {
  return !source.empty() && (std::toupper(static_cast<unsigned char>(source[0])) == 'A' ||
                             std::toupper(static_cast<unsigned char>(source[0])) == 'B');
}

// Creates the folder one component at a time; a component that exists is fine, any other
// failure stops creating the rest.
void CreateFolderPath(FileSystem& files, const std::string& path) {
  size_t at = path.find('\\', 3);
  for (;;) {
    const std::string part = path.substr(0, at);
    if (!files.IsDirectory(part) && !files.CreateDirectory(part)) return;
    if (at == std::string::npos) return;
    at = path.find('\\', at + 1);
  }
}

}  // namespace

void SetupFlow::ShowDiskPrompt(int disk) {
  const char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(paths_.source[0])));
  ui_.MessageBox(window_, DiskPromptText(LangString(4), disk, drive), "KV-TWAIN Setup",
                 MB_OK | MB_ICONERROR);
}

void SetupFlow::Copy() {
  FileSystem& files = host_.files();
  CreateFolderPath(files, paths_.Twain());
  std::optional<DialogTemplate> layout = modules_.LoadDialog(language_, "COPYDIALOG");
  Hwnd copy = 0;
  if (layout) {
    copy = ui_.CreateDialog(*layout, window_, [this](Hwnd d, uint32_t m, WParam,
                                                      LParam lp) -> intptr_t {
      if (m != dearc32::kNotifySource && m != dearc32::kNotifyDestination) return 0;
      const char* text = reinterpret_cast<const char*>(lp);
      ui_.SetDlgItemText(d, m == dearc32::kNotifySource ? 1014 : 1015, text ? text : "");
      ui_.UpdateWindow(d);
      ui_.UpdateWindow(window_);
      return 1;
    });
    ui_.ShowWindow(copy, SW_SHOWNORMAL);
  }
  const std::string section(kLanguages[static_cast<size_t>(languageIndex_)].section);
  const int count = script_.FileCount(section);
  for (int n = 1; n <= count; ++n) {
    const std::string entry = script_.FileEntryText(section, n);
    if (entry == "Error") break;
    if (!CopyOne(entry, copy)) {
      if (copy) ui_.DestroyWindow(copy);
      ConfirmExit();
      return Fail();
    }
  }
  if (copy) ui_.DestroyWindow(copy);
  config_.WriteColorComfort(script_.chosenTables());
  std::vector<std::string> chosen;
  for (int model : chosen_) chosen.push_back(modelNames_[static_cast<size_t>(model)]);
  config_.WriteModels(script_, chosen);
  SendNext(kCmdPortSetup);
}

// One entry: false when copying must stop (its error dialog has been shown).
bool SetupFlow::CopyOne(const std::string& entryText, Hwnd copy) {
  FileSystem& files = host_.files();
  std::optional<FileEntry> entry = ParseFileEntry(entryText);
  if (!entry) return true;  // an entry without its four fields names no file
  const int disk = entry->disk > 0 ? entry->disk - 1 : currentDisk_;
  if (disk != currentDisk_) {
    currentDisk_ = disk;
    if (IsFloppy(paths_.source)) {
      ShowDiskPrompt(disk + 1);
    } else if (paths_.source.size() >= 2) {
      // A folder named like DISK1: its digit sits just before the trailing backslash.
      paths_.source[paths_.source.size() - 2] = static_cast<char>('1' + disk);
    }
  }
  const std::string packed = PackedSourcePath(paths_, *entry);
  std::optional<std::string> destination =
      DestinationPath(paths_, *entry, files.CurrentDirectory());
  auto error = [&](const char* dialog, const std::string& path) {
    Dialog(dialog, [this, path](Hwnd d, uint32_t m, WParam wp, LParam) -> intptr_t {
      if (m == WM_INITDIALOG) ui_.SetDlgItemText(d, 1019, AfterLastBackslash(path));
      if (m == WM_COMMAND && (wp & 0xFFFF) == IDOK) ui_.EndDialog(d, IDOK);
      return m == WM_INITDIALOG || m == WM_COMMAND;
    });
    return false;
  };
  if (!destination) return error("FileNotFound", entry->destination + entry->name);
  if (files.Exists(*destination)) {
    std::optional<FileVersion> installed = InstalledFileVersion(files, *destination);
    std::optional<FileVersion> fromMedium = PackedFileVersion(files, packed);
    // A packed file too short to hold a version is copied: Unpack reports what is wrong with it.
    if (installed && fromMedium && !PackedIsNotOlder(*fromMedium, *installed) &&
        !ConfirmOlderVersion(*destination, packed)) {
      return true;
    }
  }
  const Hwnd progress = copy ? ui_.GetDlgItem(copy, kProgressBar) : 0;
  switch (::Unpack(packed.c_str(), destination->c_str(), copy, progress)) {
    case dearc32::kUnpackDone: return true;
    case dearc32::kUnpackNoSource: return error("FileNotFound", packed);
    case dearc32::kUnpackNoDestination: return error("FileNotFound", *destination);
    case dearc32::kUnpackBadHeader: return error("ReadHeaderError", packed);
    default: return error("CRC_Error", packed);
  }
}

bool SetupFlow::ConfirmOlderVersion(const std::string& installed, const std::string& packed) {
  FileSystem& files = host_.files();
  const FileVersion have = InstalledFileVersion(files, installed).value_or(FileVersion{});
  const FileVersion offered = PackedFileVersion(files, packed).value_or(FileVersion{});
  const intptr_t r = Dialog("VersionDlg", WithHelpButton(6409, [&](Hwnd d, uint32_t m, WParam wp,
                                                                    LParam) -> intptr_t {
    if (m == WM_INITDIALOG) {
      ui_.SetDlgItemText(d, 1014, dearc32::ShortenForDisplay(installed, kVersionPathLimit));
      ui_.SetDlgItemText(d, 1015, dearc32::ShortenForDisplay(packed, kVersionPathLimit));
      ui_.SetDlgItemText(d, 1016, VersionText(have));
      ui_.SetDlgItemText(d, 1017, VersionText(offered));
      return 1;
    }
    if (m == WM_COMMAND && ((wp & 0xFFFF) == 1 || (wp & 0xFFFF) == 2)) {
      // Closing hides the question and brings the setup window back, in case it was put away
      // while the question waited.
      ui_.ShowWindow(d, SW_HIDE);
      ui_.ShowWindow(ui_.GetParent(d), SW_RESTORE);
      ui_.EndDialog(d, static_cast<intptr_t>(wp & 0xFFFF));
      return 1;
    }
    return 0;
  }));
  return r == 1;
}

}  // namespace dssetup
