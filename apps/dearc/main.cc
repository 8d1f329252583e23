// dearc PACKED [DEST]      expands a packed file, with a progress bar on the terminal
// dearc --list PACKED...   shows what packed files hold
// Paths with a drive letter are paths on the host's drives; others are paths of this machine.
// Without DEST the stored name is used, in the current folder.
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

#include "dearc32/dearc32.h"
#include "platform/host/host.h"
#include "platform/ui/ui.h"
#include "tools/member_listing.h"

namespace {

bool IsWindowsPath(const std::string& s) {
  return (s.size() >= 2 && s[1] == ':') || s.starts_with("\\");
}

std::string HostArgument(const std::string& s) {
  return IsWindowsPath(s) ? s : std::filesystem::absolute(s).lexically_normal().string();
}

// Exit status and message for each result of Unpack.
struct Outcome {
  int status;
  const char* message;
};

Outcome OutcomeOf(uint16_t result) {
  switch (result) {
    case dearc32::kUnpackDone: return {0, "expanded, check value correct"};
    case dearc32::kUnpackNoSource: return {2, "cannot open the packed file"};
    case dearc32::kUnpackNoDestination: return {3, "cannot create or write the destination"};
    case dearc32::kUnpackBadHeader: return {4, "not a packed file: its header cannot be read"};
    case dearc32::kUnpackCheckFailed: return {5, "damaged: the expanded data fails its check"};
  }
  return {6, "unexpected result"};
}

int List(int count, char** paths) {
  auto& files = platform::Host::Current().files();
  int status = 0;
  for (int i = 0; i < count; ++i) {
    dearc32::ListError error;
    const auto member = dearc32::ReadPackedMember(files, HostArgument(paths[i]), &error);
    if (member) {
      std::printf("%s\n", dearc32::FormatListing(*member).c_str());
      continue;
    }
    const uint16_t code = error == dearc32::ListError::kNoSource ? dearc32::kUnpackNoSource
                                                                   : dearc32::kUnpackBadHeader;
    std::fprintf(stderr, "dearc: %s: %s\n", paths[i], OutcomeOf(code).message);
    if (status == 0) status = OutcomeOf(code).status;
  }
  return status;
}

// The stored name as a file name in the current folder; it comes from the file, so anything
// that would lead elsewhere (folders, drives, "..") is refused.
bool DestinationFromStoredName(const std::string& packed, std::string* destination) {
  dearc32::ListError error;
  const auto member =
      dearc32::ReadPackedMember(platform::Host::Current().files(), packed, &error);
  if (!member) return true;  // let Unpack report why
  const std::string& name = member->name;
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of("\\/:") != std::string::npos) {
    return false;
  }
  *destination = HostArgument(name);
  return true;
}

int Expand(const std::string& packedArg, const char* destArg) {
  const std::string packed = HostArgument(packedArg);
  std::string destination = destArg ? HostArgument(destArg) : std::string();
  if (!destArg && !DestinationFromStoredName(packed, &destination)) {
    std::fprintf(stderr, "dearc: %s: the stored name is not a plain file name; give DEST\n",
                 packedArg.c_str());
    return 1;
  }
  platform::UserInterface& ui = platform::Host::Current().ui();
  auto shown = [](platform::Hwnd, uint32_t message, platform::WParam, platform::LParam l) {
    if (message == dearc32::kNotifySource) std::fprintf(stderr, "%s", reinterpret_cast<const char*>(l));
    if (message == dearc32::kNotifyDestination) std::fprintf(stderr, " -> %s\n", reinterpret_cast<const char*>(l));
    return platform::LResult{0};
  };
  const platform::Hwnd window = ui.CreateWindow("dearc", "dearc", platform::WS_VISIBLE, 0, shown);
  const platform::Hwnd bar = ui.CreateControl(window, "msctls_progress32", "",
                                              platform::WS_CHILD | platform::WS_VISIBLE, 100);
  const uint16_t result = Unpack(packed.c_str(), destination.c_str(), window, bar);
  // Unpack's last update comes within a kilobyte of the end; a finished bar shows it whole.
  if (result == dearc32::kUnpackDone) ui.SendMessage(bar, platform::PBM_SETPOS, 100, 0);
  ui.DestroyWindow(window);
  const Outcome outcome = OutcomeOf(result);
  std::fprintf(result == dearc32::kUnpackDone ? stdout : stderr, "dearc: %s: %s\n",
               packedArg.c_str(), outcome.message);
  return outcome.status;
}

int Usage() {
  std::fprintf(stderr, "usage: dearc PACKED [DEST]\n       dearc --list PACKED...\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc >= 2 && std::strcmp(argv[1], "--list") == 0) {
      return argc > 2 ? List(argc - 2, argv + 2) : Usage();
    }
    if (argc < 2 || argc > 3 || argv[1][0] == '-') return Usage();
    return Expand(argv[1], argc == 3 ? argv[2] : nullptr);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "dearc: %s\n", e.what());
    return 1;
  }
}
