#include "registry_store.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <system_error>

#include "registry_names.h"

namespace platform::registry_internal {

namespace {

constexpr int64_t kApplicationId = 0x53525247;  // marks a file as one of our registry stores
// Version 2 keeps each value's place in creation order (`seq`), as Windows enumerates values.
constexpr int64_t kSchemaVersion = 2;
constexpr int kBusyTimeoutMs = 5000;
constexpr int kOpenAttempts = 6;

constexpr const char* kSchema = R"(
CREATE TABLE keys(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  parent INTEGER NOT NULL,
  name TEXT NOT NULL,
  folded TEXT NOT NULL,
  UNIQUE(parent, folded));
CREATE TABLE vals(
  key INTEGER NOT NULL,
  name TEXT NOT NULL,
  folded TEXT NOT NULL,
  type INTEGER NOT NULL,
  data BLOB NOT NULL,
  seq INTEGER NOT NULL DEFAULT 0,
  PRIMARY KEY(key, folded)) WITHOUT ROWID;
INSERT INTO keys(id, parent, name, folded) VALUES
  (1, 0, 'HKEY_CLASSES_ROOT', 'HKEY_CLASSES_ROOT'),
  (2, 0, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER'),
  (3, 0, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE');
PRAGMA application_id = 1397903943;
PRAGMA user_version = 2;
)";

// A version-1 store kept its values in name order, which is the order of its rows: that order
// becomes their creation order.
constexpr const char* kUpgradeFrom1 = R"(
ALTER TABLE vals ADD COLUMN seq INTEGER NOT NULL DEFAULT 0;
UPDATE vals SET seq = (SELECT count(*) FROM vals AS o WHERE o.key = vals.key AND o.folded <= vals.folded);
PRAGMA user_version = 2;
)";
static_assert(kApplicationId == 1397903943);

std::string Quoted(const std::string& file) { return "'" + file + "'"; }

StoredValue ReadValue(Statement& s) {
  return {s.Text(0), static_cast<uint32_t>(s.Int(1)), s.Blob(2)};
}

// A new store is built under a temporary name and linked into place, so the store's own name
// never shows a half-made file. That lets an empty or headless file be taken for what it is,
// damage, instead of a store that another process is still creating.
void CreateStore(const std::string& file) {
  static std::atomic<unsigned> serial{0};
  std::string temporary =
      file + ".new-" + std::to_string(getpid()) + "-" + std::to_string(serial++);
  {
    Database db;
    if (int rc = db.Open(temporary, true); rc != SQLITE_OK) throw SqlError{rc, db.ErrorMessage()};
    // The write-ahead log (a setting kept in the file) lets readers in other processes go on
    // while one process writes, and a process killed mid-transaction leaves only an
    // uncommitted tail that the next open ignores.
    db.QueryText("PRAGMA journal_mode = WAL");
    db.Exec("BEGIN");
    db.Exec(kSchema);
    db.Exec("COMMIT");
  }  // closing checkpoints the log into the file
  std::error_code ec;
  std::filesystem::create_hard_link(temporary, file, ec);
  std::error_code ignored;
  std::filesystem::remove(temporary, ignored);
  if (ec && ec != std::errc::file_exists) throw SqlError{SQLITE_CANTOPEN, ec.message()};
}

}  // namespace

RegistryStore::RegistryStore(const std::string& file, Faults* faults) : db_(faults), file_(file) {
  for (int attempt = 1; attempt <= kOpenAttempts; ++attempt) {
    error_.clear();
    try {
      OpenChecked();
      return;
    } catch (const SqlError& e) {
      if (IsDamage(e.code)) {
        MarkDamaged(e.message);
        return;
      }
      error_ = "registry store " + Quoted(file) + " cannot be opened: " + e.message;
      if (!IsBusy(e.code)) return;
    }
  }
}

RegistryStore::~RegistryStore() = default;

void RegistryStore::OpenChecked() {
  if (!db_.handle()) {
    std::error_code ec;
    if (!std::filesystem::exists(file_, ec)) CreateStore(file_);
    int rc = db_.Open(file_, false);
    if (rc != SQLITE_OK) throw SqlError{rc, db_.ErrorMessage()};
    // Until the file is known to be sound, closing must not write anything into it.
    sqlite3_db_config(db_.handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_busy_timeout(db_.handle(), kBusyTimeoutMs);
  }
  Verify();
  if (!usable()) return;
  db_.Exec("PRAGMA synchronous = NORMAL");
  sqlite3_db_config(db_.handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
}

// Reads the whole file once before anything may write to it, so that damage is reported
// rather than built upon.
void RegistryStore::Verify() {
  int64_t tables = db_.QueryInt("SELECT count(*) FROM sqlite_master");
  std::string check = db_.QueryText("PRAGMA quick_check(1)");
  if (check != "ok") throw SqlError{SQLITE_CORRUPT, check};
  int64_t application = db_.QueryInt("PRAGMA application_id");
  if (application == kApplicationId) {
    int64_t version = db_.QueryInt("PRAGMA user_version");
    if (version == 1) version = Upgrade();
    if (version != kSchemaVersion) {
      error_ = "registry store " + Quoted(file_) + " has layout version " +
               std::to_string(version) + ", which this program does not know";
    }
  } else if (application == 0 && tables == 0) {
    MarkDamaged("the file holds no registry (it is empty or cut short)");
  } else {
    error_ = "file " + Quoted(file_) + " is not a registry store";
  }
}

// Brings a version-1 store to version 2 in one transaction; another process may have done it
// first, which the version read inside the transaction tells. Returns the version now.
int64_t RegistryStore::Upgrade() {
  db_.Exec("BEGIN IMMEDIATE");
  try {
    if (db_.QueryInt("PRAGMA user_version") == 1) db_.Exec(kUpgradeFrom1);
    db_.Exec("COMMIT");
  } catch (const SqlError&) {
    sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  return db_.QueryInt("PRAGMA user_version");
}

void RegistryStore::MarkDamaged(const std::string& what) {
  error_ = "registry store " + Quoted(file_) + " is damaged: " + what;
  if (db_.handle()) sqlite3_db_config(db_.handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
}

void RegistryStore::Begin() { db_.Run("BEGIN IMMEDIATE"); }
void RegistryStore::BeginRead() { db_.Run("BEGIN"); }
void RegistryStore::Commit() { db_.Run("COMMIT"); }

void RegistryStore::Rollback() {
  // SQLite may already have rolled back on its own after an I/O error or a full disk.
  if (InTransaction()) sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

bool RegistryStore::InTransaction() const {
  return db_.handle() && sqlite3_get_autocommit(db_.handle()) == 0;
}

bool RegistryStore::KeyExists(int64_t id) {
  auto q = db_.Prepared("SELECT 1 FROM keys WHERE id = ?");
  return q->Bind(1, id).Step();
}

std::optional<int64_t> RegistryStore::FindChild(int64_t parent, std::string_view name) {
  auto q = db_.Prepared("SELECT id FROM keys WHERE parent = ? AND folded = ?");
  if (!q->Bind(1, parent).BindText(2, FoldName(name)).Step()) return std::nullopt;
  return q->Int(0);
}

int64_t RegistryStore::AddChild(int64_t parent, std::string_view name) {
  auto q = db_.Prepared("INSERT INTO keys(parent, name, folded) VALUES(?, ?, ?)");
  q->Bind(1, parent).BindText(2, name).BindText(3, FoldName(name)).Step();
  return sqlite3_last_insert_rowid(db_.handle());
}

bool RegistryStore::HasChildren(int64_t id) {
  auto q = db_.Prepared("SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
  return q->Bind(1, id).Step();
}

std::optional<std::string> RegistryStore::ChildAt(int64_t id, uint32_t index) {
  auto q = db_.Prepared("SELECT name FROM keys WHERE parent = ? ORDER BY folded LIMIT 1 OFFSET ?");
  if (!q->Bind(1, id).Bind(2, index).Step()) return std::nullopt;
  return q->Text(0);
}

std::vector<std::string> RegistryStore::Children(int64_t id) {
  auto q = db_.Prepared("SELECT name FROM keys WHERE parent = ? ORDER BY folded");
  q->Bind(1, id);
  std::vector<std::string> names;
  while (q->Step()) names.push_back(q->Text(0));
  return names;
}

void RegistryStore::DeleteKey(int64_t id) {
  db_.Prepared("DELETE FROM vals WHERE key = ?")->Bind(1, id).Step();
  db_.Prepared("DELETE FROM keys WHERE id = ?")->Bind(1, id).Step();
}

// One statement per table over the whole subtree: the caller's transaction makes the tree
// vanish at once, so no other process ever sees it half deleted.
void RegistryStore::DeleteSubtree(int64_t id, bool withKey) {
  auto values = db_.Prepared(
      "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
      "SELECT k.id FROM keys k JOIN tree t ON k.parent = t.id) "
      "DELETE FROM vals WHERE key IN tree");
  values->Bind(1, id).Step();
  auto keys = db_.Prepared(
      "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL "
      "SELECT k.id FROM keys k JOIN tree t ON k.parent = t.id) "
      "DELETE FROM keys WHERE id IN tree AND (id <> ?1 OR ?2)");
  keys->Bind(1, id).Bind(2, withKey ? 1 : 0).Step();
}

std::string RegistryStore::Path(int64_t id) {
  auto q = db_.Prepared(
      "WITH RECURSIVE up(id, parent, name, depth) AS ("
      "SELECT id, parent, name, 0 FROM keys WHERE id = ? UNION ALL "
      "SELECT k.id, k.parent, k.name, u.depth + 1 FROM keys k JOIN up u ON k.id = u.parent) "
      "SELECT name FROM up ORDER BY depth DESC");
  q->Bind(1, id);
  std::string path;
  while (q->Step()) path += (path.empty() ? "" : "\\") + q->Text(0);
  return path;
}

std::optional<StoredValue> RegistryStore::GetValue(int64_t key, std::string_view name) {
  auto q = db_.Prepared("SELECT name, type, data FROM vals WHERE key = ? AND folded = ?");
  if (!q->Bind(1, key).BindText(2, FoldName(name)).Step()) return std::nullopt;
  return ReadValue(*q);
}

// Setting an existing value keeps the case of its name, as a rename never happens by a set.
void RegistryStore::SetValue(int64_t key, std::string_view name, uint32_t type, const void* data,
                             size_t size) {
  auto q = db_.Prepared(
      "INSERT INTO vals(key, name, folded, type, data, seq) "
      "VALUES(?1, ?2, ?3, ?4, ?5, (SELECT coalesce(max(seq), 0) + 1 FROM vals WHERE key = ?1)) "
      "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data");
  q->Bind(1, key).BindText(2, name).BindText(3, FoldName(name)).Bind(4, type);
  q->BindBlob(5, data, size).Step();
}

bool RegistryStore::DeleteValue(int64_t key, std::string_view name) {
  db_.Prepared("DELETE FROM vals WHERE key = ? AND folded = ?")
      ->Bind(1, key)
      .BindText(2, FoldName(name))
      .Step();
  return sqlite3_changes(db_.handle()) > 0;
}

std::optional<StoredValue> RegistryStore::ValueAt(int64_t key, uint32_t index) {
  auto q = db_.Prepared(
      "SELECT name, type, data FROM vals WHERE key = ? ORDER BY seq, folded LIMIT 1 OFFSET ?");
  if (!q->Bind(1, key).Bind(2, index).Step()) return std::nullopt;
  return ReadValue(*q);
}

std::vector<StoredValue> RegistryStore::Values(int64_t key) {
  auto q = db_.Prepared("SELECT name, type, data FROM vals WHERE key = ? ORDER BY seq, folded");
  q->Bind(1, key);
  std::vector<StoredValue> values;
  while (q->Step()) values.push_back(ReadValue(*q));
  return values;
}

}  // namespace platform::registry_internal
