#include "profile_cache.h"

#include <sys/stat.h>

#include <optional>

namespace platform {

namespace {
std::optional<FileIdentity> IdentityOf(const std::string& hostPath) {
  struct stat st {};
  if (::stat(hostPath.c_str(), &st) != 0) return std::nullopt;
  return FileIdentity{st.st_ino, static_cast<uint64_t>(st.st_size), st.st_mtim.tv_sec,
                      static_cast<uint32_t>(st.st_mtim.tv_nsec)};
}

const std::shared_ptr<const ProfileDocument>& Empty() {
  static const auto empty = std::make_shared<const ProfileDocument>(std::string());
  return empty;
}
}  // namespace

std::shared_ptr<const ProfileDocument> ProfileCache::Load(const std::string& path) {
  std::optional<FileIdentity> before;
  auto host = fs_.HostPath(path, &before);  // its look at the file does for ours
  if (!host) return Empty();
  return Load(*host, before);
}

std::shared_ptr<const ProfileDocument> ProfileCache::Load(const std::string& key,
                                                          std::optional<FileIdentity> before) {
  if (!before) before = IdentityOf(key);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!before) {
    entries_.erase(key);
    return Empty();
  }
  auto it = entries_.find(key);
  if (it != entries_.end() && it->second.identity == *before) return it->second.document;
  auto text = fs_.ReadFile(key);
  // A file that is there but cannot be read is not an empty file: a write built on it would
  // throw away every line it holds.
  if (!text) return nullptr;
  auto document = std::make_shared<const ProfileDocument>(std::move(*text));
  // Cached only when the file stayed the same while it was read.
  if (IdentityOf(key) == before) Store(key, *before, document);
  return document;
}

void ProfileCache::Keep(const std::string& hostPath, const FileIdentity& identity,
                        std::shared_ptr<const ProfileDocument> document) {
  std::lock_guard<std::mutex> lock(mutex_);
  Store(hostPath, identity, std::move(document));
}

void ProfileCache::Store(const std::string& key, const FileIdentity& identity,
                         std::shared_ptr<const ProfileDocument> document) {
  auto it = entries_.find(key);
  if (entries_.size() >= kMaxFiles && it == entries_.end()) entries_.erase(entries_.begin());
  entries_[key] = Entry{identity, std::move(document)};
}

}  // namespace platform
