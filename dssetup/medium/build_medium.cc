// dssetup_medium SOURCE-FOLDER MEDIUM-FOLDER
// Writes the data source's installation medium: the setup script and language scripts from
// SOURCE-FOLDER, the packed stand-ins and the ASPI installer, into MEDIUM-FOLDER (replaced).
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "platform/files/files.h"
#include "stand_ins.h"
#include "tools/packer.h"

namespace fs = std::filesystem;

namespace {

bool WriteBytes(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  return static_cast<bool>(out.flush());
}

fs::path OnMedium(const fs::path& root, const std::string& folder, std::string name) {
  fs::path path = root;
  size_t start = 0;
  for (size_t at; (at = folder.find('\\', start)) != std::string::npos; start = at + 1) {
    path /= folder.substr(start, at - start);
  }
  return path / folder.substr(start) / name;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: dssetup_medium SOURCE-FOLDER MEDIUM-FOLDER\n");
    return 2;
  }
  const fs::path source = argv[1];
  const fs::path medium = argv[2];
  const fs::path staging = medium.string() + ".staging";
  std::error_code ec;
  fs::remove_all(medium, ec);
  fs::remove_all(staging, ec);
  fs::create_directories(medium);
  for (const char* name : {"SETUP.INI", "GERMAN.rc", "ENGLISH.rc", "FRENCH.rc", "ITALIAN.rc",
                           "SPANISH.rc"}) {
    fs::copy_file(source / name, medium / name, fs::copy_options::overwrite_existing, ec);
    if (ec) {
      std::fprintf(stderr, "dssetup_medium: %s: %s\n", name, ec.message().c_str());
      return 1;
    }
  }
  platform::FileSystem files(platform::DriveTable{}, staging / "attributes");
  for (const dssetup::medium::StandIn& file : dssetup::medium::StandInFiles()) {
    if (!file.packed) {
      if (!WriteBytes(OnMedium(medium, file.folder, file.name), file.content)) return 1;
      continue;
    }
    const fs::path plain = OnMedium(staging, file.folder, file.name);
    std::string packedName = file.name;
    packedName.back() = '_';
    const fs::path packed = OnMedium(medium, file.folder, packedName);
    fs::create_directories(packed.parent_path());
    if (!WriteBytes(plain, file.content)) return 1;
    const auto result = dearc32::PackFile(files, {plain.string(), packed.string(), file.name});
    if (result != dearc32::PackResult::kDone) {
      std::fprintf(stderr, "dssetup_medium: %s: %s\n", file.name.c_str(),
                   std::string(dearc32::DescribePackResult(result)).c_str());
      return 1;
    }
  }
  fs::remove_all(staging, ec);
  return 0;
}
