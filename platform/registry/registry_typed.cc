// The typed conveniences: strings and 32-bit numbers by name.
#include <cstring>

#include "registry_impl.h"

namespace platform {

long Registry::SetString(RegKey key, std::string_view name, std::string_view value) {
  std::string terminated(value);
  terminated.push_back('\0');
  return SetValue(key, name, kRegSz, terminated.data(), static_cast<uint32_t>(terminated.size()));
}

long Registry::SetDword(RegKey key, std::string_view name, uint32_t value) {
  return SetValue(key, name, kRegDword, &value, sizeof value);
}

long Registry::GetString(RegKey key, std::string_view name, std::string* value) const {
  if (!value) return kErrorInvalidParameter;
  registry_internal::StoredValue stored;
  if (long e = impl_->Fetch(key, name, &stored); e != kErrorSuccess) return e;
  if (stored.type != kRegSz) return kErrorBadFormat;
  std::string text(stored.data.begin(), stored.data.end());
  *value = text.substr(0, text.find('\0'));
  return kErrorSuccess;
}

long Registry::GetDword(RegKey key, std::string_view name, uint32_t* value) const {
  if (!value) return kErrorInvalidParameter;
  registry_internal::StoredValue stored;
  if (long e = impl_->Fetch(key, name, &stored); e != kErrorSuccess) return e;
  if (stored.type != kRegDword || stored.data.size() != sizeof *value) return kErrorBadFormat;
  std::memcpy(value, stored.data.data(), sizeof *value);
  return kErrorSuccess;
}

}  // namespace platform
