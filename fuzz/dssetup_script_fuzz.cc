// Setup scripts of any content: read, extended for every model they name and turned into the
// data source's configuration, without a crash, a hang or a file written outside the Windows
// folder.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// Every file the run left must lie in the Windows folder (or be the script on A:).
void CheckNothingOutside() {
  for (const auto& e : fs::recursive_directory_iterator(Folder() / "c")) {
    if (!e.is_regular_file()) continue;
    // The iterator does not follow links, so every path it gives starts with the folder's.
    const std::string rel = e.path().lexically_relative(Folder() / "c").string();
    if (!rel.starts_with("WINDOWS/")) std::abort();
  }
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
  std::ofstream(Folder() / "a" / "SETUP.INI", std::ios::binary)
      << std::string(reinterpret_cast<const char*>(data), size);
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
