#include "profile_cache.h"

#include <fcntl.h>

#include <optional>

#include "platform/files/files.h"

namespace platform {

namespace {
std::optional<struct statx> StatOf(const std::string& hostPath) {
  struct statx st {};
  if (statx(AT_FDCWD, hostPath.c_str(), 0, STATX_INO | STATX_SIZE | STATX_MTIME, &st) != 0) {
    return std::nullopt;
  }
  return st;
}
}  // namespace

std::shared_ptr<const ProfileDocument> ProfileCache::Load(const std::string& path) {
  static const auto kEmpty = std::make_shared<const ProfileDocument>(std::string());
  auto host = fs_.Resolve(path);
  if (!host) return kEmpty;
  const std::string key = host->string();
  auto before = StatOf(key);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!before) {
    entries_.erase(key);
    return kEmpty;
  }
  const Identity identity{before->stx_ino, before->stx_size, before->stx_mtime.tv_sec,
                          before->stx_mtime.tv_nsec};
  auto it = entries_.find(key);
  if (it != entries_.end() && it->second.identity == identity) return it->second.document;
  auto text = fs_.ReadFile(key);
  // A file that is there but cannot be read is not an empty file: a write built on it would
  // throw away every line it holds.
  if (!text) return nullptr;
  auto document = std::make_shared<const ProfileDocument>(std::move(*text));
  // Cached only when the file stayed the same while it was read.
  auto after = StatOf(key);
  if (after && Identity{after->stx_ino, after->stx_size, after->stx_mtime.tv_sec,
                                after->stx_mtime.tv_nsec} == identity) {
    if (entries_.size() >= kMaxFiles && it == entries_.end()) entries_.erase(entries_.begin());
    entries_[key] = Entry{identity, document};
  }
  return document;
}

}  // namespace platform
