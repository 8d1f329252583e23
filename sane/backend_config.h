// The backend's configuration file, scansuite.conf, found the way SANE finds every backend's:
// in the folders of SANE_CONFIG_DIR (colon-separated; a trailing colon adds the default folder),
// else in the default folder. Lines:
//   # a comment
//   root /path/to/host/root      the host root the scanners live on
//   base C:\FOLDER               the scanning application's folder (default C:\TOVELINK)
// Unknown lines are ignored, as SANE front ends expect of a backend.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sanebackend {

struct BackendConfig {
  std::optional<std::string> root;
  std::string base = "C:\\TOVELINK";
};

// The folders searched, in order, for SANE_CONFIG_DIR's value (null: unset).
std::vector<std::string> ConfigFolders(const char* saneConfigDir, const std::string& defaultFolder);
// The configuration from the text of scansuite.conf.
BackendConfig ParseConfig(const std::string& text);
// From the first folder holding scansuite.conf; the defaults when none does.
BackendConfig LoadConfig(const std::vector<std::string>& folders);

}  // namespace sanebackend
