// Group-converter files (SETUP.INI of the Windows folder) of any content, converted by the
// shell's group converter: every shortcut file stays inside the Programs folder, every menu and
// autostart entry inside the menu folder, and every shortcut file has the layout its flags
// announce.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "file_tree.h"
#include "platform/files/files.h"
#include "platform/host/host.h"
#include "platform/shell/group_converter.h"
#include "platform/shell/desktop_menu.h"
#include "platform/shell/program_manager.h"
#include "platform/ui/scripted_ui.h"
#include "platform/ui/ui.h"
#include "scratch_folder.h"

namespace fs = std::filesystem;

namespace {

platform::Host& FuzzHost() {
  static std::unique_ptr<platform::Host> host = [] {
    platform::Host::Options options;
    options.root = ScratchFolder("grpconv-fuzz");
    options.virtualClock = true;
    options.ui = std::make_unique<platform::UserInterface>(std::make_unique<platform::ScriptedUi>());
    return std::make_unique<platform::Host>(std::move(options));
  }();
  return *host;
}

// By whole components: a name such as ".._x" inside the folder is no way out of it. As spelled:
// the walk's paths are the root's followed by names (never "." or ".."), the folders' are
// spelled from the same root, and the converter makes no links to follow.
bool Inside(const std::string& path, const fs::path& folder) {
  const std::string& prefix = folder.native();
  return path.size() > prefix.size() + 1 && path.starts_with(prefix) && path[prefix.size()] == '/';
}

std::string Contents(const std::string& path) {
  std::string bytes;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return bytes;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, static_cast<size_t>(n));
  ::close(fd);
  return bytes;
}

// 76 header bytes, a counted string per flag bit 0x04..0x40, and the 4-byte terminal block.
bool LinkLayoutHolds(const std::string& b) {
  if (b.size() < 80 || static_cast<unsigned char>(b[0]) != 0x4C) return false;
  const uint32_t flags = static_cast<unsigned char>(b[20]);
  size_t at = 76;
  for (uint32_t bit = 0x04; bit <= 0x40; bit <<= 1) {
    if (!(flags & bit)) continue;
    if (at + 2 > b.size()) return false;
    at += 2 + (static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
  }
  return at + 4 == b.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::Host& host = FuzzHost();
  const std::string text(reinterpret_cast<const char*>(data), size);
  platform::ParseGroupConverterFile(text);

  const fs::path menu = host.root() / "menu";
  const fs::path drive = host.root() / "drives" / "c";
  const fs::path programs = *host.files().Resolve("C:\\WINDOWS\\Start Menu\\Programs");
  file_tree::Remove(menu.string());
  file_tree::Remove((drive / "WINDOWS" / "Start Menu").string());
  if (!host.files().WriteFileAtomic("C:\\WINDOWS\\SETUP.INI", text)) std::abort();
  // The converter as the shell runs it for "grpconv -o", with a program manager of this input's
  // own: the shell's would keep every input's groups, and an input that leaves memory behind
  // makes the fuzzer search the whole heap for leaks after it.
  platform::ProgramManager progman(platform::DesktopMenu(menu, host.root()));
  platform::RunGroupConverter(host, progman, {"-o"});

  file_tree::EachFileBelow(host.root().string(), [&](const std::string& path) {
    if (path.ends_with(".LNK")) {
      if (!Inside(path, programs)) std::abort();
      if (!LinkLayoutHolds(Contents(path))) std::abort();
    } else if (path.ends_with(".desktop") || path.ends_with(".directory") ||
               path.ends_with(".menu")) {
      if (!Inside(path, menu)) std::abort();
    }
  });
  return 0;
}
