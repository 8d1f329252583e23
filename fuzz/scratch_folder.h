// A per-process scratch folder for fuzz targets that work on files: on a memory file system
// where there is one, since a target writing (and syncing) files for every input would spend
// most of each run on a disk.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Folders removed, with everything in them, when the process ends (the fuzzer ends a timed run
// with exit(), so its files would otherwise stay behind in memory). `prefix`: every entry of the
// folder whose name starts with it.
inline void RemoveAtExit(const std::filesystem::path& folder, std::string prefix = {}) {
  struct Leftover {
    std::filesystem::path folder;
    std::string prefix;
  };
  static std::vector<Leftover> leftovers;  // made before the handler is registered: outlives it
  static const bool registered = [] {
    return std::atexit([] {
      std::error_code ec;
      for (const Leftover& l : leftovers) {
        if (l.prefix.empty()) {
          std::filesystem::remove_all(l.folder, ec);
          continue;
        }
        for (const auto& e : std::filesystem::directory_iterator(l.folder, ec)) {
          if (e.path().filename().string().starts_with(l.prefix)) std::filesystem::remove_all(e.path(), ec);
        }
      }
    }) == 0;
  }();
  (void)registered;
  leftovers.push_back({folder, std::move(prefix)});
}

inline std::filesystem::path ScratchFolder(std::string_view name) {
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
  const std::filesystem::path folder = base / (std::string(name) + "-" + std::to_string(getpid()));
  RemoveAtExit(folder);
  return folder;
}

// Sends the temporary folders of this process (a test host's root among them) to the memory file
// system where there is one, for the same reason. Call it before the first host is made.
inline void TempFoldersInMemory() {
  std::error_code ec;
  if (!std::filesystem::is_directory("/dev/shm", ec)) return;
  ::setenv("TMPDIR", "/dev/shm", 1);
  // The test host's folders are named after the process (platform/testing/temp_dir.h).
  RemoveAtExit("/dev/shm", "scansuite-test-" + std::to_string(getpid()) + "-");
}
