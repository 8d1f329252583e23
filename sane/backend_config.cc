#include "backend_config.h"

#include <fstream>
#include <sstream>

namespace sanebackend {

namespace {
std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}
}  // namespace

std::vector<std::string> ConfigFolders(const char* saneConfigDir, const std::string& defaultFolder) {
  if (saneConfigDir == nullptr || *saneConfigDir == '\0') return {defaultFolder};
  std::vector<std::string> folders;
  const std::string list = saneConfigDir;
  size_t start = 0;
  for (;;) {
    const size_t colon = list.find(':', start);
    const std::string folder = list.substr(start, colon == std::string::npos ? colon : colon - start);
    if (!folder.empty()) folders.push_back(folder);
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  if (list.back() == ':') folders.push_back(defaultFolder);
  return folders;
}

BackendConfig ParseConfig(const std::string& text) {
  BackendConfig config;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    line = Trim(line.substr(0, line.find('#')));
    const size_t space = line.find_first_of(" \t");
    if (space == std::string::npos) continue;
    const std::string key = line.substr(0, space), value = Trim(line.substr(space));
    if (value.empty()) continue;
    if (key == "root") config.root = value;
    if (key == "base") config.base = value;
  }
  return config;
}

BackendConfig LoadConfig(const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    std::ifstream file(folder + "/scansuite.conf");
    if (!file) continue;
    std::ostringstream text;
    text << file.rdbuf();
    return ParseConfig(text.str());
  }
  return {};
}

}  // namespace sanebackend
