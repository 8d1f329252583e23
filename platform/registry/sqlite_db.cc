#include "sqlite_db.h"

#include <optional>

#include "platform/faults/faults.h"

namespace platform::registry_internal {

bool IsBusy(int code) {
  int primary = code & 0xff;
  return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

bool IsDamage(int code) {
  int primary = code & 0xff;
  return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

namespace {
void ThrowIfInjected(Faults* faults) {
  if (faults == nullptr) return;
  if (std::optional<int> code = faults->Check(fault_point::kRegistryStore)) {
    throw SqlError{*code != 0 ? *code : SQLITE_IOERR, "injected fault"};
  }
}
}  // namespace

Statement::Statement(sqlite3* db, const char* sql, Faults* faults) : db_(db), faults_(faults) {
  int rc = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
  if (rc != SQLITE_OK) Fail(rc);
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

void Statement::Fail(int code) const { throw SqlError{code, sqlite3_errmsg(db_)}; }

Statement& Statement::Bind(int index, int64_t value) {
  int rc = sqlite3_bind_int64(stmt_, index, value);
  if (rc != SQLITE_OK) Fail(rc);
  return *this;
}

Statement& Statement::BindText(int index, std::string_view text) {
  int rc =
      sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  if (rc != SQLITE_OK) Fail(rc);
  return *this;
}

Statement& Statement::BindBlob(int index, const void* data, size_t size) {
  // A zero-length blob must still be a blob, not NULL, so give SQLite a valid pointer.
  static const uint8_t kEmpty = 0;
  int rc = sqlite3_bind_blob64(stmt_, index, size ? data : &kEmpty, size, SQLITE_TRANSIENT);
  if (rc != SQLITE_OK) Fail(rc);
  return *this;
}

bool Statement::Step() {
  ThrowIfInjected(faults_);
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Fail(rc);
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::Text(int column) const {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
  size_t size = static_cast<size_t>(sqlite3_column_bytes(stmt_, column));
  return text ? std::string(text, size) : std::string();
}

std::vector<uint8_t> Statement::Blob(int column) const {
  const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
  size_t size = static_cast<size_t>(sqlite3_column_bytes(stmt_, column));
  return data ? std::vector<uint8_t>(data, data + size) : std::vector<uint8_t>();
}

Database::~Database() {
  cache_.clear();  // statements must be finalized before the connection closes
  sqlite3_close_v2(db_);
}

int Database::Open(const std::string& file, bool create) {
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  return sqlite3_open_v2(file.c_str(), &db_, flags, nullptr);
}

std::string Database::ErrorMessage() const { return db_ ? sqlite3_errmsg(db_) : "out of memory"; }

void Database::Exec(const char* sql) {
  ThrowIfInjected(faults_);
  int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) throw SqlError{rc, sqlite3_errmsg(db_)};
}

void Database::Run(const char* sql) { Prepared(sql)->Step(); }

StatementUse Database::Prepared(const char* sql) {
  auto it = cache_.find(std::string_view(sql));
  if (it == cache_.end()) {
    it = cache_.emplace(sql, std::make_unique<Statement>(db_, sql, faults_)).first;
  }
  return StatementUse(*it->second);
}

int64_t Database::QueryInt(const char* sql) {
  Statement s(db_, sql, faults_);
  return s.Step() ? s.Int(0) : 0;
}

std::string Database::QueryText(const char* sql) {
  Statement s(db_, sql, faults_);
  return s.Step() ? s.Text(0) : std::string();
}

}  // namespace platform::registry_internal
