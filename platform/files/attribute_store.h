// Where DOS attributes and creation times live: extended attributes on the file itself when the
// file system has them (they travel with renames and are seen by every process), else a small
// SQLite store keyed by the file's host path.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>

struct sqlite3;

namespace platform {

struct StoredMetadata {
  std::optional<uint32_t> attributes;
  std::optional<uint64_t> creationTime;  // FILETIME
};

class AttributeStore {
 public:
  explicit AttributeStore(std::filesystem::path fallbackFile);
  ~AttributeStore();

  StoredMetadata Get(const std::filesystem::path& file);
  bool SetAttributes(const std::filesystem::path& file, uint32_t attributes);
  bool SetCreationTime(const std::filesystem::path& file, uint64_t time);
  // Keeps the fallback store in step with renames and deletions (extended attributes need not).
  void Moved(const std::filesystem::path& from, const std::filesystem::path& to);
  void Removed(const std::filesystem::path& file);

  // Tests use this to exercise the fallback on file systems that do have extended attributes.
  void ForceFallback() { forceFallback_ = true; }

 private:
  bool SetXattr(const std::filesystem::path& file, const char* name, const void* data, size_t size);
  bool OpenFallback();
  std::optional<int64_t> FallbackGet(const std::string& key, const char* column);
  bool FallbackSet(const std::string& key, const char* column, int64_t value);

  std::filesystem::path fallbackFile_;
  std::mutex mutex_;
  sqlite3* db_ = nullptr;
  bool forceFallback_ = false;
};

}  // namespace platform
