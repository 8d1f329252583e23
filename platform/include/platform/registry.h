// The registry: HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER and HKEY_CLASSES_ROOT, stored in one SQLite
// database under the host root, so it is transactional, crash-safe and shared between processes.
// Key and value names keep their case and match without regard to it. Every call returns a Win32
// error code (kErrorSuccess, kErrorFileNotFound, ...), as the Reg* functions do.
//
// A damaged store is never replaced: every call then fails with kErrorBadDatabase and
// OpenError() names the file and what is wrong with it.
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

inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;

class Registry {
 public:
  explicit Registry(std::filesystem::path databaseFile);
  ~Registry();
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  const std::filesystem::path& file() const;
  // Empty when the store opened; else a message naming the file.
  const std::string& OpenError() const;

  long CreateKey(RegKey parent, std::string_view subKey, RegKey* result, bool* created = nullptr);
  long OpenKey(RegKey parent, std::string_view subKey, RegKey* result);
  long CloseKey(RegKey key);
  // Fails with kErrorAccessDenied when the key has subkeys, as on Windows NT.
  long DeleteKey(RegKey parent, std::string_view subKey);
  // Deletes a key and everything below it, depth first.
  long DeleteTree(RegKey parent, std::string_view subKey);

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

  // Groups many changes into one transaction; nested scopes join the outer one.
  long BeginTransaction();
  long CommitTransaction();
  long RollbackTransaction();

  // Conveniences over the calls above.
  long SetString(RegKey key, std::string_view name, std::string_view value);
  long SetDword(RegKey key, std::string_view name, uint32_t value);
  long GetString(RegKey key, std::string_view name, std::string* value) const;
  long GetDword(RegKey key, std::string_view name, uint32_t* value) const;
  // Full path of an open key, "HKEY_LOCAL_MACHINE\Software\...".
  std::string KeyPath(RegKey key) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
