// Parsed profile files kept between reads, as Windows keeps them: a read checks the file's
// identity (inode, size, modification time) and parses again only when it changed, so a program
// reading many keys does not parse the file once per key. Writes replace the file (a new inode)
// and so are always seen, from this process or another.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "profile_document.h"

namespace platform {

class FileSystem;

class ProfileCache {
 public:
  explicit ProfileCache(const FileSystem& fs) : fs_(fs) {}
  // The document of a file by its Windows or host path: empty when the file does not exist, null
  // (with the read's last error) when it exists but cannot be read.
  std::shared_ptr<const ProfileDocument> Load(const std::string& path);

 private:
  struct Identity {
    uint64_t inode = 0, size = 0;
    int64_t seconds = 0;
    uint32_t nanoseconds = 0;
    bool operator==(const Identity&) const = default;
  };
  struct Entry {
    Identity identity;
    std::shared_ptr<const ProfileDocument> document;
  };
  static constexpr size_t kMaxFiles = 16;

  const FileSystem& fs_;
  std::mutex mutex_;
  std::map<std::string, Entry> entries_;  // by host path
};

}  // namespace platform
