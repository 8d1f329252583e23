// Parsed profile files kept between reads, as Windows keeps them: a read checks the file's
// identity (inode, size, modification time) and parses again only when it changed, so a program
// reading many keys does not parse the file once per key. Writes replace the file (a new inode)
// and so are always seen, from this process or another.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/files/files.h"
#include "profile_document.h"

namespace platform {

class ProfileCache {
 public:
  explicit ProfileCache(const FileSystem& fs) : fs_(fs) {}
  // The document of a file by its Windows or host path: empty when the file does not exist, null
  // (with the read's last error) when it exists but cannot be read.
  std::shared_ptr<const ProfileDocument> Load(const std::string& path);
  // The same for a host path whose file's identity the caller has just seen (none when it did not
  // see the file: then it is looked at here).
  std::shared_ptr<const ProfileDocument> Load(const std::string& hostPath,
                                              std::optional<FileIdentity> seen);
  // What this process has just written to a file (by its host path, with the identity the write
  // gave it): the next read finds it here unless the file has changed again since.
  void Keep(const std::string& hostPath, const FileIdentity& identity,
            std::shared_ptr<const ProfileDocument> document);

 private:
  struct Entry {
    FileIdentity identity;
    std::shared_ptr<const ProfileDocument> document;
  };
  static constexpr size_t kMaxFiles = 16;

  // Under the lock.
  void Store(const std::string& key, const FileIdentity& identity,
             std::shared_ptr<const ProfileDocument> document);

  const FileSystem& fs_;
  std::mutex mutex_;
  std::map<std::string, Entry> entries_;  // by host path
};

}  // namespace platform
