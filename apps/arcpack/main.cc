// arcpack SOURCE PACKED [--name NAME]
// Packs one file. Paths with a drive letter are paths on the host's drives; others are paths
// of this machine.
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

#include "platform/host/host.h"
#include "tools/packer.h"

namespace {

std::string HostArgument(const char* arg) {
  const std::string s(arg);
  const bool windowsPath = (s.size() >= 2 && s[1] == ':') || s.starts_with("\\");
  return windowsPath ? s : std::filesystem::absolute(s).lexically_normal().string();
}

int Usage() {
  std::fprintf(stderr, "usage: arcpack SOURCE PACKED [--name NAME]\n");
  return 1;
}

int ExitCodeOf(dearc32::PackResult result) {
  switch (result) {
    case dearc32::PackResult::kDone: return 0;
    case dearc32::PackResult::kNoSource: return 2;
    case dearc32::PackResult::kNoDestination: return 3;
    case dearc32::PackResult::kTooLarge:
    case dearc32::PackResult::kBadName: return 4;
  }
  return 4;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && !(argc == 5 && std::strcmp(argv[3], "--name") == 0)) return Usage();
  try {
    const std::string source = HostArgument(argv[1]);
    const std::string packed = HostArgument(argv[2]);
    const std::string name = argc == 5 ? argv[4] : "";
    auto& files = platform::Host::Current().files();
    const auto result = dearc32::PackFile(files, {source, packed, name});
    if (result != dearc32::PackResult::kDone) {
      std::fprintf(stderr, "arcpack: %s: %s\n", argv[1],
                   std::string(dearc32::DescribePackResult(result)).c_str());
    }
    return ExitCodeOf(result);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "arcpack: %s\n", e.what());
    return 1;
  }
}
