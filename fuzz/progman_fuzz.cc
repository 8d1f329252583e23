// Program-manager command strings of any content: parsed and carried out, every file the menu
// writer makes stays inside the menu folder and every .desktop file keeps one line per key.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/shell/program_manager.h"
#include "scratch_folder.h"

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fs::path base = ScratchFolder("progman-fuzz");
  std::error_code ec;
  fs::remove_all(base, ec);
  const fs::path menu = base / "menu";
  platform::ProgramManager pm(platform::DesktopMenu(menu, base));
  pm.Execute(std::string(reinterpret_cast<const char*>(data), size));
  for (const auto& e : fs::recursive_directory_iterator(base, ec)) {
    if (!e.is_regular_file()) continue;
    const std::string rel = fs::relative(e.path(), menu).string();
    if (rel.starts_with("..")) std::abort();
    if (e.path().extension() != ".desktop") continue;
    std::ifstream in(e.path());
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line[0] != '[' && line.find('=') == std::string::npos) std::abort();
    }
  }
  return 0;
}
