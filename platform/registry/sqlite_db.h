// A thin RAII layer over the SQLite C interface for the registry store. Failures throw SqlError
// inside the registry's implementation; the public Registry calls catch it and turn it into a
// Win32 error code, so no exception leaves the library.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class Faults;
}

namespace platform::registry_internal {

struct SqlError {
  int code;             // the primary SQLite result code (SQLITE_BUSY, SQLITE_CORRUPT, ...)
  std::string message;  // sqlite3_errmsg at the time of the failure
};

bool IsBusy(int code);
bool IsDamage(int code);


// One prepared statement. Reset() after use so that it releases its read snapshot.
class Statement {
 public:
  // Every step first asks `faults` (may be null) at the point "registry.store"; an injected
  // failure throws SqlError with the injected SQLite code (SQLITE_IOERR when none was given).
  Statement(sqlite3* db, const char* sql, Faults* faults = nullptr);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, int64_t value);
  Statement& BindText(int index, std::string_view text);
  Statement& BindBlob(int index, const void* data, size_t size);
  // True while a row is available, false when done; throws SqlError on failure.
  bool Step();
  void Reset();

  int64_t Int(int column) const;
  std::string Text(int column) const;
  std::vector<uint8_t> Blob(int column) const;

 private:
  [[noreturn]] void Fail(int code) const;
  sqlite3* db_;
  Faults* faults_;
  sqlite3_stmt* stmt_ = nullptr;
};

// Resets a statement on scope exit, however the scope is left.
class StatementUse {
 public:
  explicit StatementUse(Statement& s) : s_(s) {}
  ~StatementUse() { s_.Reset(); }
  StatementUse(const StatementUse&) = delete;
  StatementUse& operator=(const StatementUse&) = delete;
  Statement* operator->() { return &s_; }
  Statement& operator*() { return s_; }

 private:
  Statement& s_;
};

// One connection with a cache of prepared statements, keyed by their SQL text.
class Database {
 public:
  // `faults` (may be null) is consulted before every step and every Exec.
  explicit Database(Faults* faults = nullptr) : faults_(faults) {}
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Returns the SQLite result code; the connection exists afterwards even on failure, so that
  // its error message can be read. Without `create` a missing file is an error.
  int Open(const std::string& file, bool create);
  sqlite3* handle() const { return db_; }
  std::string ErrorMessage() const;

  void Exec(const char* sql);
  // One statement without results, prepared once and kept (transaction control, run for every
  // registry call, would otherwise be compiled anew each time).
  void Run(const char* sql);
  StatementUse Prepared(const char* sql);
  // Single-value helpers for pragmas and counts.
  int64_t QueryInt(const char* sql);
  std::string QueryText(const char* sql);

 private:
  sqlite3* db_ = nullptr;
  Faults* faults_;
  std::map<std::string, std::unique_ptr<Statement>, std::less<>> cache_;
};

}  // namespace platform::registry_internal
