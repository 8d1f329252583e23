// The registry: HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_CLASSES_ROOT, stored in one SQLite
// database under the host root, so it is transactional, crash-safe and shared between processes.
// Key and value names keep their case and match without regard to it. Every call returns a Win32
// error code (kErrorSuccess, kErrorFileNotFound, ...), as the Reg* functions do.
//
// A damaged store is never replaced: every call then fails with kErrorBadDatabase and
// OpenError() names the file and what is wrong with it.
//
// The three roots are separate trees. A missing file is created as an empty store. Other
// processes may use the same file at the same time: each call is atomic, a call that finds the
// store locked waits and retries, and data committed by one process are seen by the next call
// of another. A commit survives the process being killed; a process killed before it commits
// leaves the store as it was.
//
// Names: a key name is 1 to 255 bytes without a backslash, a value name up to 16383 bytes
// ("" is the key's default value); neither may hold control characters (kErrorInvalidName).
// A key path may end in one backslash; a leading or doubled one is kErrorBadPathname.
//
// As on Windows: values enumerate (and export) in the order they were created (a store made
// before that order was kept takes its values' name order as their creation order); a failed
// open or create sets the caller's handle to 0; querying a missing value without a data buffer
// sets the size to 0; a predefined key sign-extended to 64 bits is the same key.
//
// Where this registry differs from Windows, on purpose:
//  - A REG_DWORD must be exactly 4 bytes (kErrorInvalidParameter otherwise): a shorter one
//    would be read past its end by every caller that reads it as a number.
//  - Names with control characters (tabs included) are refused: they cannot be written as
//    REGEDIT4 text and read back, so an export would lose them.
//  - A damaged store is reported, never repaired or replaced (see above).
//
// Threads: calls are serialized inside the object. A transaction belongs to the object, so
// calls made from other threads while one is open take part in it. After fork(), a child
// opens a Registry of its own instead of using the parent's.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

using RegKey = uintptr_t;
inline constexpr RegKey kHkeyClassesRoot = 0x80000000u;
inline constexpr RegKey kHkeyCurrentUser = 0x80000001u;
inline constexpr RegKey kHkeyLocalMachine = 0x80000002u;

// A predefined key as 64-bit Windows programs spell it, sign-extended (HKEY_CURRENT_USER as
// 0xFFFFFFFF80000001), stands for the same key: Windows looks at the low 32 bits only.
constexpr RegKey PredefinedKey(RegKey key) {
  if (sizeof(RegKey) > 4 && (static_cast<uint64_t>(key) >> 32) == 0xFFFFFFFFu) {
    const RegKey low = static_cast<RegKey>(key & 0xFFFFFFFFu);
    if (low >= kHkeyClassesRoot && low <= kHkeyLocalMachine) return low;
  }
  return key;
}

inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;

// A short description of a Win32 code that the calls below return, for messages to a person.
std::string RegistryErrorText(long code);

struct RegValue {
  std::string name;
  uint32_t type = kRegNone;
  std::vector<uint8_t> data;
};

class Faults;

class Registry {
 public:
  // `faults` (may be null: none) is the host's fault service; every statement of the store asks
  // it at "registry.store" first. It must outlive the registry.
  explicit Registry(std::filesystem::path databaseFile, Faults* faults = nullptr);
  ~Registry();
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  const std::filesystem::path& file() const;
  // Empty when the store opened; else a message naming the file. Damage found later, by any
  // call, is reported here too.
  const std::string& OpenError() const;

  // An empty subKey gives a new handle to `parent` itself. Keys opened here stay valid until
  // CloseKey; calls on a handle whose key was deleted fail with kErrorKeyDeleted.
  long CreateKey(RegKey parent, std::string_view subKey, RegKey* result, bool* created = nullptr);
  long OpenKey(RegKey parent, std::string_view subKey, RegKey* result);
  long CloseKey(RegKey key);
  // Fails with kErrorAccessDenied when the key has subkeys, as on Windows NT, or is a root.
  // An empty subKey deletes `parent` itself.
  long DeleteKey(RegKey parent, std::string_view subKey);
  // Deletes a key and everything below it, as one change. With an empty subKey the key stays
  // and loses its values and subkeys (so a root can be emptied).
  long DeleteTree(RegKey parent, std::string_view subKey);

  // REG_SZ data are stored with a terminating zero, added when the caller left it out.
  // REG_DWORD data must be 4 bytes (kErrorInvalidParameter). Other types are kept as bytes.
  long SetValue(RegKey key, std::string_view name, uint32_t type, const void* data, uint32_t size);
  // RegQueryValueEx: `data` may be null to learn the size; kErrorMoreData when it does not fit.
  long QueryValue(RegKey key, std::string_view name, uint32_t* type, void* data,
                  uint32_t* size) const;
  long DeleteValue(RegKey key, std::string_view name);

  // Subkeys and values by index, in a stable order (by name, without regard to case);
  // kErrorNoMoreItems past the end.
  long EnumKey(RegKey key, uint32_t index, std::string* name) const;
  long EnumValue(RegKey key, uint32_t index, std::string* name, uint32_t* type,
                 std::vector<uint8_t>* data) const;
  // All subkey names or all values of a key at once, in the enumeration order.
  long ListKeys(RegKey key, std::vector<std::string>* names) const;
  long ListValues(RegKey key, std::vector<RegValue>* values) const;

  // Groups many changes into one transaction; nested scopes join the outer one. The store is
  // locked against other writers from Begin to the outermost Commit or Rollback. A Rollback in
  // a nested scope, or a call that fails on a database error inside the transaction, dooms the
  // whole of it: later writes in it fail with kErrorCancelled and the outermost Commit rolls
  // back and returns kErrorCancelled. Commit or Rollback with no transaction open is
  // kErrorInvalidParameter. Destroying the object rolls back.
  long BeginTransaction();
  long CommitTransaction();
  long RollbackTransaction();

  // Conveniences over the calls above. GetString returns the text up to the first zero; both
  // getters fail with kErrorBadFormat when the value has another type (or a DWORD not 4 bytes).
  long SetString(RegKey key, std::string_view name, std::string_view value);
  long SetDword(RegKey key, std::string_view name, uint32_t value);
  long GetString(RegKey key, std::string_view name, std::string* value) const;
  long GetDword(RegKey key, std::string_view name, uint32_t* value) const;
  // Full path of an open key, "HKEY_LOCAL_MACHINE\Software\...", in the keys' stored case;
  // empty for a bad handle.
  std::string KeyPath(RegKey key) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
