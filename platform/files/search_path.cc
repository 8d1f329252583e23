#include "platform/files/search_path.h"

#include "platform/files/files.h"
#include "platform/files/winpath.h"
#include "platform/system/errors.h"
#include "platform/system/system.h"

namespace platform {

std::optional<std::string> SearchPath(const FileSystem& fs, const SystemInfo& system,
                                      std::string_view applicationFolder,
                                      std::string_view fileName) {
  if (fileName.empty()) {
    SetLastError(kErrorInvalidParameter);
    return std::nullopt;
  }
  auto isFile = [&](const std::string& path) { return fs.Exists(path) && !fs.IsDirectory(path); };
  if (fileName.find_first_of("\\:") != std::string_view::npos) {
    std::string path(fileName);
    if (isFile(path)) return path;
  } else {
    const std::string current = fs.CurrentDirectory();
    for (std::string_view folder : {applicationFolder, std::string_view(current),
                                    std::string_view(system.SystemFolder()),
                                    std::string_view(system.WindowsFolder())}) {
      if (folder.empty()) continue;
      std::string path = JoinWindowsPath(folder, fileName);
      if (isFile(path)) return path;
    }
  }
  SetLastError(kErrorFileNotFound);
  return std::nullopt;
}

}  // namespace platform
