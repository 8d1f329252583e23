// Keys, values and enumeration. Transactions and the typed conveniences are in
// registry_transaction.cc; the retry and error mapping in registry_impl.h.
#include <cstring>

#include "registry_impl.h"
#include "registry_names.h"

namespace platform {

using registry_internal::StoredValue;

Registry::Registry(std::filesystem::path databaseFile, Faults* faults)
    : impl_(std::make_unique<Impl>(std::move(databaseFile), faults)) {}

Registry::~Registry() {
  // Work left in an open transaction was never committed, so it is dropped.
  if (impl_->depth > 0) impl_->store.Rollback();
}

const std::filesystem::path& Registry::file() const { return impl_->file; }
const std::string& Registry::OpenError() const { return impl_->store.error(); }

long Registry::CreateKey(RegKey parent, std::string_view subKey, RegKey* result, bool* created) {
  if (!result) return kErrorInvalidParameter;
  *result = 0;  // as on Windows: a failed create leaves no stale handle behind
  std::lock_guard lock(impl_->mutex);
  int64_t id = 0;
  bool made = false;
  long err = impl_->OnKey(true, parent, [&](int64_t top) -> long {
    return impl_->Walk(top, subKey, true, &id, &made);
  });
  if (err != kErrorSuccess) return err;
  *result = impl_->NewHandle(id);
  if (created) *created = made;
  return kErrorSuccess;
}

long Registry::OpenKey(RegKey parent, std::string_view subKey, RegKey* result) {
  if (!result) return kErrorInvalidParameter;
  *result = 0;  // as on Windows: a failed open leaves no stale handle behind
  std::lock_guard lock(impl_->mutex);
  int64_t id = 0;
  long err = impl_->OnKey(false, parent, [&](int64_t top) -> long {
    return impl_->Walk(top, subKey, false, &id, nullptr);
  });
  if (err != kErrorSuccess) return err;
  *result = impl_->NewHandle(id);
  return kErrorSuccess;
}

long Registry::CloseKey(RegKey key) {
  std::lock_guard lock(impl_->mutex);
  key = PredefinedKey(key);
  bool known = key >= kHkeyClassesRoot && key <= kHkeyLocalMachine;
  known = impl_->handles.erase(key) > 0 || known;
  if (!impl_->store.usable()) return kErrorBadDatabase;
  return known ? kErrorSuccess : kErrorInvalidHandle;
}

long Registry::DeleteKey(RegKey parent, std::string_view subKey) {
  std::lock_guard lock(impl_->mutex);
  return impl_->OnKey(true, parent, [&](int64_t top) -> long {
    int64_t id = 0;
    if (long e = impl_->Walk(top, subKey, false, &id, nullptr); e != kErrorSuccess) return e;
    if (id <= registry_internal::kLocalMachineId || impl_->store.HasChildren(id)) {
      return kErrorAccessDenied;
    }
    impl_->store.DeleteKey(id);
    return kErrorSuccess;
  });
}

long Registry::DeleteTree(RegKey parent, std::string_view subKey) {
  std::lock_guard lock(impl_->mutex);
  return impl_->OnKey(true, parent, [&](int64_t top) -> long {
    int64_t id = 0;
    if (long e = impl_->Walk(top, subKey, false, &id, nullptr); e != kErrorSuccess) return e;
    impl_->store.DeleteSubtree(id, id != top);
    return kErrorSuccess;
  });
}

long Registry::SetValue(RegKey key, std::string_view name, uint32_t type, const void* data,
                        uint32_t size) {
  if (long e = registry_internal::CheckValueName(name); e != kErrorSuccess) return e;
  if ((!data && size) || (type == kRegDword && size != 4)) return kErrorInvalidParameter;
  const auto* bytes = static_cast<const uint8_t*>(data);
  std::vector<uint8_t> terminated;
  // A string is kept with its terminating zero, so every reader gets a terminated string
  // even when the writer counted only the characters.
  if (type == kRegSz && (size == 0 || bytes[size - 1] != 0)) {
    terminated.assign(bytes, bytes + size);
    terminated.push_back(0);
    bytes = terminated.data();
    size += 1;
  }
  std::lock_guard lock(impl_->mutex);
  return impl_->OnKey(true, key, [&](int64_t id) -> long {
    impl_->store.SetValue(id, name, type, bytes, size);
    return kErrorSuccess;
  });
}

long Registry::QueryValue(RegKey key, std::string_view name, uint32_t* type, void* data,
                          uint32_t* size) const {
  if (data && !size) return kErrorInvalidParameter;
  StoredValue value;
  if (long e = impl_->Fetch(key, name, &value); e != kErrorSuccess) {
    // Windows reports no data for a value that is not there.
    if (e == kErrorFileNotFound && size && !data) *size = 0;
    return e;
  }
  if (type) *type = value.type;
  if (!size) return kErrorSuccess;
  auto needed = static_cast<uint32_t>(value.data.size());
  bool fits = needed <= *size;
  *size = needed;
  if (!data) return kErrorSuccess;
  if (!fits) return kErrorMoreData;
  if (needed) std::memcpy(data, value.data.data(), needed);
  return kErrorSuccess;
}

long Registry::DeleteValue(RegKey key, std::string_view name) {
  std::lock_guard lock(impl_->mutex);
  return impl_->OnKey(true, key, [&](int64_t id) -> long {
    return impl_->store.DeleteValue(id, name) ? kErrorSuccess : kErrorFileNotFound;
  });
}

long Registry::EnumKey(RegKey key, uint32_t index, std::string* name) const {
  if (!name) return kErrorInvalidParameter;
  std::lock_guard lock(impl_->mutex);
  return impl_->OnKey(false, key, [&](int64_t id) -> long {
    auto child = impl_->store.ChildAt(id, index);
    if (!child) return kErrorNoMoreItems;
    *name = std::move(*child);
    return kErrorSuccess;
  });
}

long Registry::EnumValue(RegKey key, uint32_t index, std::string* name, uint32_t* type,
                         std::vector<uint8_t>* data) const {
  std::lock_guard lock(impl_->mutex);
  return impl_->OnKey(false, key, [&](int64_t id) -> long {
    auto value = impl_->store.ValueAt(id, index);
    if (!value) return kErrorNoMoreItems;
    if (name) *name = std::move(value->name);
    if (type) *type = value->type;
    if (data) *data = std::move(value->data);
    return kErrorSuccess;
  });
}

long Registry::ListKeys(RegKey key, std::vector<std::string>* names) const {
  if (!names) return kErrorInvalidParameter;
  std::lock_guard lock(impl_->mutex);
  return impl_->OnKey(false, key, [&](int64_t id) -> long {
    *names = impl_->store.Children(id);
    return kErrorSuccess;
  });
}

long Registry::ListValues(RegKey key, std::vector<RegValue>* values) const {
  if (!values) return kErrorInvalidParameter;
  std::lock_guard lock(impl_->mutex);
  return impl_->OnKey(false, key, [&](int64_t id) -> long {
    values->clear();
    for (StoredValue& v : impl_->store.Values(id)) {
      values->push_back({std::move(v.name), v.type, std::move(v.data)});
    }
    return kErrorSuccess;
  });
}

std::string Registry::KeyPath(RegKey key) const {
  std::lock_guard lock(impl_->mutex);
  std::string path;
  impl_->OnKey(false, key, [&](int64_t id) -> long {
    path = impl_->store.Path(id);
    return kErrorSuccess;
  });
  return path;
}

}  // namespace platform
