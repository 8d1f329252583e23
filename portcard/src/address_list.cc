#include "address_list.h"

#include <algorithm>

#include "platform/files/winpath.h"
#include "platform/profile/profile.h"

namespace portcard {

std::vector<std::string> ReadAddressList(const platform::ProfileFiles& profiles,
                                         std::string_view file) {
  const std::vector<std::string> keys = profiles.GetKeys(kAddressSection, file);
  auto has = [&](const std::string& key) {
    return std::any_of(keys.begin(), keys.end(),
                       [&](const std::string& k) { return platform::EqualsNoCase(k, key); });
  };
  std::vector<std::string> list;
  for (size_t i = 0;; ++i) {
    const std::string key = std::to_string(i);
    if (!has(key)) break;
    std::string value = profiles.GetStringValue(kAddressSection, key, "", file);
    if (value.size() > kMaxAddressText) value.resize(kMaxAddressText);
    list.push_back(std::move(value));
  }
  return list;
}

uint32_t AddressValue(std::string_view text) {
  uint32_t value = 0;
  for (char c : text) {
    const int digit = (c >= '0' && c <= '9') ? c - '0' : c - 'A' + 10;
    value = value * 16u + static_cast<uint32_t>(digit);
  }
  return value;
}

}  // namespace portcard
