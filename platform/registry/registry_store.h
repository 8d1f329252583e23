// The registry's tables in one SQLite file: keys (a tree by parent id) and values. Callers work
// with key ids; the three roots have fixed ids. Every method throws SqlError on a database
// failure and expects the caller to hold a transaction where several statements must agree.
//
// Names keep the case they were created with; a second column holds the folded form, which is
// what uniqueness and enumeration order use.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sqlite_db.h"

namespace platform::registry_internal {

inline constexpr int64_t kClassesRootId = 1;
inline constexpr int64_t kCurrentUserId = 2;
inline constexpr int64_t kLocalMachineId = 3;

struct StoredValue {
  std::string name;
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

class RegistryStore {
 public:
  // Opens the file, or creates the store when it is missing. A store that cannot be used is
  // reported by error(), never repaired: a damaged file is left exactly as it was found.
  // `faults` (may be null) fails the store's statements on purpose (faults.h).
  explicit RegistryStore(const std::string& file, Faults* faults = nullptr);
  ~RegistryStore();

  bool usable() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  // After damage is found in use: keep the file untouched from now on.
  void MarkDamaged(const std::string& what);

  void Begin();  // takes the write lock at once, so the transaction cannot fail to upgrade later
  void BeginRead();
  void Commit();
  void Rollback();
  bool InTransaction() const;

  bool KeyExists(int64_t id);
  std::optional<int64_t> FindChild(int64_t parent, std::string_view name);
  int64_t AddChild(int64_t parent, std::string_view name);
  bool HasChildren(int64_t id);
  std::optional<std::string> ChildAt(int64_t id, uint32_t index);
  std::vector<std::string> Children(int64_t id);
  // Deletes the key with its values; the caller has checked that it has no subkeys.
  void DeleteKey(int64_t id);
  // Deletes everything below the key and its values; the key itself too when `withKey`.
  void DeleteSubtree(int64_t id, bool withKey);
  std::string Path(int64_t id);

  std::optional<StoredValue> GetValue(int64_t key, std::string_view name);
  void SetValue(int64_t key, std::string_view name, uint32_t type, const void* data, size_t size);
  bool DeleteValue(int64_t key, std::string_view name);
  std::optional<StoredValue> ValueAt(int64_t key, uint32_t index);
  std::vector<StoredValue> Values(int64_t key);

 private:
  void OpenChecked();
  void Verify();
  int64_t Upgrade();

  Database db_;
  std::string file_;
  std::string error_;
};

}  // namespace platform::registry_internal
