#include "registry_impl.h"

#include "registry_names.h"

namespace platform {

using registry_internal::SqlError;

long Registry::Impl::Failure(const SqlError& e, bool write) {
  if (registry_internal::IsDamage(e.code)) {
    store.Rollback();
    store.MarkDamaged(e.message);
    return kErrorBadDatabase;
  }
  switch (e.code & 0xff) {
    case SQLITE_NOMEM:
      return kErrorNotEnoughMemory;
    case SQLITE_READONLY:
    case SQLITE_PERM:
      return kErrorAccessDenied;
    case SQLITE_TOOBIG:
      return kErrorInvalidParameter;
    default:
      return write ? kErrorWriteFault : kErrorReadFault;
  }
}

long Registry::Impl::Resolve(RegKey key, int64_t* id) {
  key = PredefinedKey(key);
  if (key >= kHkeyClassesRoot && key <= kHkeyLocalMachine) {
    *id = registry_internal::kClassesRootId + static_cast<int64_t>(key - kHkeyClassesRoot);
    return kErrorSuccess;
  }
  auto it = handles.find(key);
  if (it == handles.end()) return kErrorInvalidHandle;
  *id = it->second;
  return store.KeyExists(*id) ? kErrorSuccess : kErrorKeyDeleted;
}

long Registry::Impl::Walk(int64_t from, std::string_view path, bool create, int64_t* id,
                          bool* created) {
  std::vector<std::string_view> names;
  if (long e = registry_internal::SplitKeyPath(path, &names); e != kErrorSuccess) return e;
  bool made = false;
  for (std::string_view name : names) {
    if (auto child = store.FindChild(from, name)) {
      from = *child;
    } else if (create) {
      from = store.AddChild(from, name);
      made = true;
    } else {
      return kErrorFileNotFound;
    }
  }
  *id = from;
  if (created) *created = made;
  return kErrorSuccess;
}

RegKey Registry::Impl::NewHandle(int64_t id) {
  RegKey handle = nextHandle;
  nextHandle += 4;
  if (nextHandle == kHkeyClassesRoot) nextHandle = kHkeyLocalMachine + 4;  // never a root's value
  handles[handle] = id;
  return handle;
}

long Registry::Impl::Fetch(RegKey key, std::string_view name,
                           registry_internal::StoredValue* value) {
  std::lock_guard lock(mutex);
  return OnKey(false, key, [&](int64_t id) -> long {
    auto found = store.GetValue(id, name);
    if (!found) return kErrorFileNotFound;
    *value = std::move(*found);
    return kErrorSuccess;
  });
}

}  // namespace platform
