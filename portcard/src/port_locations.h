// Where the scanner drivers read the card's settings, shared by portinst and portuninst: the
// first driver parameters key that opens (Windows NT), the first virtual-driver key that opens
// (Windows 9x), or section "ScannerParameters" of System.ini (Windows 9x without such a key).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry/registry.h"

namespace portcard {

struct Context;

inline constexpr std::string_view kNtParameterKeys[] = {
    "SYSTEM\\CurrentControlSet\\Services\\Rovozur\\Parameters",
    "SYSTEM\\CurrentControlSet\\Services\\zorscnr\\Parameters",
    "SYSTEM\\CurrentControlSet\\Services\\Brantell\\Parameters",
    "SYSTEM\\CurrentControlSet\\Services\\ScanDev\\Parameters",
};
inline constexpr std::string_view kVxdKeys[] = {
    "System\\CurrentControlSet\\Services\\VxD\\ROVOZUR",
    "System\\CurrentControlSet\\Services\\VxD\\ZORSCNR",
};
inline constexpr std::string_view kSystemIni = "System.ini";
inline constexpr std::string_view kSystemIniSection = "ScannerParameters";

// An open location; the key is closed when it goes.
class Location {
 public:
  enum class Kind { kNtParameters, kVxdKey, kSystemIni };
  Location(platform::Registry& registry, Kind kind, platform::RegKey key)
      : registry_(&registry), kind_(kind), key_(key) {}
  Location(Location&& other) noexcept
      : registry_(other.registry_), kind_(other.kind_), key_(other.key_) {
    other.key_ = 0;
  }
  Location(const Location&) = delete;
  Location& operator=(const Location&) = delete;
  Location& operator=(Location&&) = delete;
  ~Location();

  Kind kind() const { return kind_; }
  platform::RegKey key() const { return key_; }

 private:
  platform::Registry* registry_;
  Kind kind_;
  platform::RegKey key_;
};

// The location this machine's drivers read; empty only on Windows NT without any parameters key.
std::optional<Location> OpenLocation(const Context& context);

// portinst's values: the address as a number in the registry, as the chosen text in System.ini.
// Failures are not reported.
void WriteSettings(const Context& context, const Location& location, std::string_view address);
// portuninst: deletes those values; missing ones are no error.
void RemoveSettings(const Context& context, const Location& location);

}  // namespace portcard
