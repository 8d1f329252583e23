// A per-process scratch folder for fuzz targets that work on files: on a memory file system
// where there is one, since a target writing (and syncing) files for every input would spend
// most of each run on a disk.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <string_view>

inline std::filesystem::path ScratchFolder(std::string_view name) {
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
  return base / (std::string(name) + "-" + std::to_string(getpid()));
}

// Sends the temporary folders of this process (a test host's root among them) to the memory file
// system where there is one, for the same reason. Call it before the first host is made.
inline void TempFoldersInMemory() {
  std::error_code ec;
  if (std::filesystem::is_directory("/dev/shm", ec)) ::setenv("TMPDIR", "/dev/shm", 1);
}
