#include "show.h"

#include <algorithm>
#include <filesystem>
#include <iomanip>
#include <vector>

#include "platform/files/files.h"
#include "platform/host/host.h"
#include "platform/system/system.h"

namespace fs = std::filesystem;

namespace {
// The folders and files under `dir`, indented, a few levels deep; host drives like Z: are not
// walked.
void Tree(const fs::path& dir, std::ostream& out, int depth) {
  if (depth > 4) return;
  std::vector<fs::directory_entry> entries;
  std::error_code ec;
  for (auto it = fs::directory_iterator(dir, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    entries.push_back(*it);
  }
  std::sort(entries.begin(), entries.end());
  for (const auto& e : entries) {
    out << std::string(2 * depth + 2, ' ') << e.path().filename().string();
    if (e.is_directory(ec)) {
      out << "/\n";
      Tree(e.path(), out, depth + 1);
    } else {
      out << "  (" << e.file_size(ec) << " bytes)\n";
    }
  }
}
}  // namespace

void ShowHost(platform::Host& host, std::ostream& out) {
  const platform::SystemInfo& sys = host.system();
  platform::VersionRecord v = sys.GetVersionEx();
  out << "host root: " << host.root().string() << "\n";
  out << "windows:   " << platform::PresetName(sys.version()) << " (platform " << v.platformId
      << ", version " << v.major << "." << v.minor << ", build 0x" << std::hex << std::uppercase
      << v.build << std::dec << ", \"" << v.servicePack << "\")\n";
  out << "folders:   " << sys.WindowsFolder() << ", " << sys.SystemFolder() << "\n";
  out << "drives:\n";
  for (char letter : host.files().drives().Letters()) {
    out << "  " << letter << ":  " << host.files().drives().Folder(letter)->string() << "\n";
  }
  out << "contents:\n";
  Tree(host.root(), out, 0);
}
