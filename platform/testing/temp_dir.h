// A temporary folder that is removed with everything in it. Header-only, so that tests of the
// lower platform parts can use it without the whole library.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>

namespace platform::testing {

class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
      path_ = base / ("scansuite-test-" + std::to_string(::getpid()) + "-" + std::to_string(rd()));
      std::error_code ec;
      if (std::filesystem::create_directory(path_, ec)) break;
    }
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace platform::testing
