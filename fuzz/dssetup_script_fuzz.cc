// Setup scripts of any content: read, extended for every model they name and turned into the
// data source's configuration, without a crash, a hang or a file written outside the Windows
// folder.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "data_source_config.h"
#include "file_entry.h"
#include "languages.h"
#include "platform/files/files.h"
#include "platform/profile/profile.h"
#include "setup_script.h"
#include "scratch_folder.h"

namespace fs = std::filesystem;

namespace {

fs::path Folder() {
  static fs::path dir = [] {
    auto d = ScratchFolder("dssetup-script-fuzz");
    fs::create_directories(d / "a");
    fs::create_directories(d / "c" / "WINDOWS" / "twain_32");
    return d;
  }();
  return dir;
}

// Every file the run left must lie in the Windows folder (or be the script on A:). Only what lies
// beside the Windows folder is walked: what is inside it is allowed, whatever it is.
void CheckNothingOutside() {
  static const fs::path drive = Folder() / "c";
  for (const auto& top : fs::directory_iterator(drive)) {
    if (top.path().filename() == "WINDOWS" && top.is_directory()) continue;
    if (top.is_regular_file()) std::abort();
    if (!top.is_directory()) continue;
    for (const auto& e : fs::recursive_directory_iterator(top.path())) {
      if (e.is_regular_file()) std::abort();
    }
  }
}

// The script on A:, written as it stands.
void PutScript(const uint8_t* data, size_t size) {
  static const std::string script = (Folder() / "a" / "SETUP.INI").string();
  const int fd = ::open(script.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) std::abort();
  for (size_t done = 0; done < size;) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dssetup;
  static platform::DriveTable drives = [] {
    platform::DriveTable d;
    d.Map('A', Folder() / "a");
    d.Map('C', Folder() / "c");
    return d;
  }();
  static platform::FileSystem files(drives, Folder() / "attributes.db");
  static platform::ProfileFiles profiles(files, "C:\\WINDOWS");
  const SetupPaths paths{"A:\\", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"};
  PutScript(data, size);
  files.DeleteFile(paths.DataSourceIni());

  SetupScript script(files, profiles, paths);
  if (!script.CopyToWorkingCopy()) std::abort();
  (void)script.TitleText();
  (void)script.FontSize();
  if (script.LanguageCount() < 1 || script.LanguageCount() > 5) std::abort();
  const Language* language = LanguageAt(script.FixedLanguage());
  const std::string section(language ? language->section : "English");
  std::vector<std::string> models = script.ModelNames();
  if (models.size() > kMaxModels) std::abort();
  for (const std::string& model : models) script.ExtendForModel(model, section, nullptr);
  const int count = std::min(script.FileCount(section), 64);
  for (int n = 1; n <= count; ++n) {
    auto entry = ParseFileEntry(script.FileEntryText(section, n));
    if (!entry) continue;
    (void)PackedSourcePath(paths, *entry);
    (void)DestinationPath(paths, *entry, "C:\\");
  }
  DataSourceConfig config(profiles, paths);
  config.WriteColorComfort(script.chosenTables());
  config.WriteModels(script, models);
  script.RemoveWorkingCopy();
  CheckNothingOutside();
  return 0;
}
