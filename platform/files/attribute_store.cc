#include "attribute_store.h"

#include <sqlite3.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/system/errors.h"

namespace platform {

namespace {
constexpr const char* kAttrName = "user.scansuite.dosattrib";
constexpr const char* kTimeName = "user.scansuite.ctime";

bool NoXattrSupport(int err) { return err == ENOTSUP || err == EOPNOTSUPP || err == EPERM; }

std::string KeyFor(const std::filesystem::path& file) {
  std::error_code ec;
  auto canonical = std::filesystem::weakly_canonical(file, ec);
  return (ec ? file : canonical).string();
}

template <class T>
std::optional<T> ReadXattr(const std::filesystem::path& file, const char* name, bool* unsupported) {
  T value{};
  ssize_t n = getxattr(file.c_str(), name, &value, sizeof value);
  if (n == static_cast<ssize_t>(sizeof value)) return value;
  if (n < 0 && NoXattrSupport(errno)) *unsupported = true;
  return std::nullopt;
}
}  // namespace

AttributeStore::AttributeStore(std::filesystem::path fallbackFile)
    : fallbackFile_(std::move(fallbackFile)) {}

AttributeStore::~AttributeStore() {
  if (db_) sqlite3_close(db_);
}

StoredMetadata AttributeStore::Get(const std::filesystem::path& file) {
  StoredMetadata meta;
  bool unsupported = forceFallback_;
  if (!forceFallback_) {
    meta.attributes = ReadXattr<uint32_t>(file, kAttrName, &unsupported);
    meta.creationTime = ReadXattr<uint64_t>(file, kTimeName, &unsupported);
  }
  if (unsupported || !meta.attributes || !meta.creationTime) {
    std::lock_guard<std::mutex> lock(mutex_);
    // A store only exists once something fell back to it; do not create one just to read.
    if (std::filesystem::exists(fallbackFile_) && OpenFallback()) {
      std::string key = KeyFor(file);
      if (!meta.attributes) {
        if (auto v = FallbackGet(key, "attrib")) meta.attributes = static_cast<uint32_t>(*v);
      }
      if (!meta.creationTime) {
        if (auto v = FallbackGet(key, "ctime")) meta.creationTime = static_cast<uint64_t>(*v);
      }
    }
  }
  return meta;
}

bool AttributeStore::SetXattr(const std::filesystem::path& file, const char* name,
                              const void* data, size_t size) {
  if (!forceFallback_ && setxattr(file.c_str(), name, data, size, 0) == 0) return true;
  if (!forceFallback_ && !NoXattrSupport(errno)) {
    SetLastError(Win32ErrorFromErrno(errno));
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (!OpenFallback()) return false;
  int64_t value = 0;
  std::memcpy(&value, data, size);
  return FallbackSet(KeyFor(file), name == kAttrName ? "attrib" : "ctime", value);
}

bool AttributeStore::SetAttributes(const std::filesystem::path& file, uint32_t attributes) {
  return SetXattr(file, kAttrName, &attributes, sizeof attributes);
}

bool AttributeStore::SetCreationTime(const std::filesystem::path& file, uint64_t time) {
  return SetXattr(file, kTimeName, &time, sizeof time);
}

bool AttributeStore::OpenFallback() {
  if (db_) return true;
  if (sqlite3_open(fallbackFile_.c_str(), &db_) != SQLITE_OK) {
    sqlite3_close(db_);
    db_ = nullptr;
    SetLastError(kErrorAccessDenied);
    return false;
  }
  sqlite3_busy_timeout(db_, 5000);
  sqlite3_exec(db_,
               "CREATE TABLE IF NOT EXISTS metadata(path TEXT PRIMARY KEY, attrib INTEGER, "
               "ctime INTEGER)",
               nullptr, nullptr, nullptr);
  return true;
}

std::optional<int64_t> AttributeStore::FallbackGet(const std::string& key, const char* column) {
  std::string sql = std::string("SELECT ") + column + " FROM metadata WHERE path = ?1";
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return std::nullopt;
  sqlite3_bind_text(stmt, 1, key.c_str(), -1, SQLITE_TRANSIENT);
  std::optional<int64_t> result;
  if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_type(stmt, 0) != SQLITE_NULL) {
    result = sqlite3_column_int64(stmt, 0);
  }
  sqlite3_finalize(stmt);
  return result;
}

bool AttributeStore::FallbackSet(const std::string& key, const char* column, int64_t value) {
  std::string sql = std::string("INSERT INTO metadata(path, ") + column +
                    ") VALUES(?1, ?2) ON CONFLICT(path) DO UPDATE SET " + column + " = ?2";
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return false;
  sqlite3_bind_text(stmt, 1, key.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int64(stmt, 2, value);
  bool ok = sqlite3_step(stmt) == SQLITE_DONE;
  sqlite3_finalize(stmt);
  if (!ok) SetLastError(kErrorWriteFault);
  return ok;
}

void AttributeStore::Moved(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!std::filesystem::exists(fallbackFile_) || !OpenFallback()) return;
  sqlite3_stmt* stmt = nullptr;
  const char* sql = "UPDATE OR REPLACE metadata SET path = ?2 WHERE path = ?1";
  if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK) return;
  std::string a = KeyFor(from), b = KeyFor(to);
  sqlite3_bind_text(stmt, 1, a.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(stmt, 2, b.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_step(stmt);
  sqlite3_finalize(stmt);
}

void AttributeStore::Removed(const std::filesystem::path& file) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!std::filesystem::exists(fallbackFile_) || !OpenFallback()) return;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db_, "DELETE FROM metadata WHERE path = ?1", -1, &stmt, nullptr) !=
      SQLITE_OK) {
    return;
  }
  std::string key = KeyFor(file);
  sqlite3_bind_text(stmt, 1, key.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_step(stmt);
  sqlite3_finalize(stmt);
}

}  // namespace platform
