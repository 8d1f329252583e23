#include "display_path.h"

#include "platform/files/winpath.h"

namespace dearc32 {

std::string ShortenForDisplay(std::string_view path, size_t limit) {
  if (path.size() < limit) return std::string(path);
  const platform::SplitPath parts = platform::SplitWindowsPath(path);
  std::string result = parts.drive + "\\...\\";
  std::string_view directories = parts.directory;
  if (!directories.empty() && (directories[0] == '\\' || directories[0] == '/')) {
    directories.remove_prefix(1);
  }
  // A name too long for the limit keeps all of it and no directory at all.
  const size_t fixed = result.size() + parts.name.size() + parts.extension.size();
  const size_t budget = fixed < limit ? limit - fixed : 0;
  while (directories.size() > budget) {
    const size_t separator = directories.find_first_of("\\/");
    if (separator == std::string_view::npos) {
      directories = {};
      break;
    }
    directories.remove_prefix(separator + 1);
  }
  result += directories;
  result += parts.name;
  result += parts.extension;
  return result;
}

}  // namespace dearc32
