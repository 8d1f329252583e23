// Holds on files a running program has open: the image Windows keeps mapped while the program
// runs cannot be overwritten or removed.
#include <system_error>

#include "platform/files/files.h"
#include "platform/system/errors.h"

namespace platform {

namespace fs = std::filesystem;

bool FileSystem::HoldInUse(std::string_view path) {
  auto host = Resolve(path);
  std::error_code ec;
  if (!host || !fs::is_regular_file(*host, ec)) {
    if (host) SetLastError(kErrorFileNotFound);
    return false;
  }
  std::lock_guard lock(inUseMutex_);
  ++inUse_[*host];
  return true;
}

void FileSystem::ReleaseInUse(std::string_view path) {
  auto host = Resolve(path);
  if (!host) return;
  std::lock_guard lock(inUseMutex_);
  auto it = inUse_.find(*host);
  if (it != inUse_.end() && --it->second == 0) inUse_.erase(it);
}

bool FileSystem::InUse(std::string_view path) const {
  auto host = Resolve(path);
  if (!host) return false;
  std::lock_guard lock(inUseMutex_);
  return inUse_.contains(*host);
}

bool FileSystem::RefusedInUse(const fs::path& hostPath, uint32_t error) const {
  std::lock_guard lock(inUseMutex_);
  if (!inUse_.contains(hostPath)) return false;
  SetLastError(error);
  return true;
}

}  // namespace platform
