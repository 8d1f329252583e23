// A file system on a temporary folder mapped as drive C:, for tests of the lower platform parts.
#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "platform/files/files.h"
#include "temp_dir.h"

namespace platform::testing {

class DriveC {
 public:
  DriveC() {
    std::filesystem::create_directories(c() / "WINDOWS");
    DriveTable drives;
    drives.Map('C', c());
    drives.Map('Z', "/");
    fs_ = std::make_unique<FileSystem>(std::move(drives), dir_.path() / "attributes.db");
  }
  FileSystem& fs() { return *fs_; }
  std::filesystem::path c() const { return dir_.path() / "c"; }
  std::filesystem::path root() const { return dir_.path(); }

  void Put(const std::filesystem::path& hostPath, std::string_view content) {
    std::filesystem::create_directories(hostPath.parent_path());
    std::ofstream(hostPath, std::ios::binary) << content;
  }
  static std::string Slurp(const std::filesystem::path& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  TempDir dir_;
  std::unique_ptr<FileSystem> fs_;
};

}  // namespace platform::testing
