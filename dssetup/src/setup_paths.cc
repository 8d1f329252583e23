#include "setup_paths.h"

namespace dssetup {

std::string SetupPaths::SourceStem() const {
  if (!source.empty() && source.back() == '\\') return source.substr(0, source.size() - 1);
  return source;
}

std::string DirectoryOf(const std::string& programPath) {
  const size_t slash = programPath.find_last_of("\\/");
  if (slash != std::string::npos) return programPath.substr(0, slash + 1);
  // A bare drive ("A:") or a bare name: the drive's root, else the current folder.
  if (programPath.size() >= 2 && programPath[1] == ':') return programPath.substr(0, 2) + "\\";
  return ".\\";
}

}  // namespace dssetup
