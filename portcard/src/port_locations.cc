#include "port_locations.h"

#include <string>

#include "address_list.h"
#include "context.h"
#include "platform/profile/profile.h"
#include "platform/system/errors.h"
#include "platform/system/system.h"

namespace portcard {

using platform::kHkeyLocalMachine;

Location::~Location() {
  if (key_ != 0) registry_->CloseKey(key_);
}

namespace {
template <size_t N>
std::optional<Location> FirstKey(platform::Registry& registry, const std::string_view (&paths)[N],
                                 Location::Kind kind) {
  for (std::string_view path : paths) {
    platform::RegKey key = 0;
    if (registry.OpenKey(kHkeyLocalMachine, path, &key) == platform::kErrorSuccess) {
      return Location(registry, kind, key);
    }
  }
  return std::nullopt;
}

struct ValueNames {
  std::string_view chipset, address, mode;
};
constexpr ValueNames kNtNames = {"Chipset", "PortAddress", "PortMode"};
constexpr ValueNames kVxdNames = {"ChipSet", "IOBase", "PortMode"};
constexpr ValueNames kIniNames = {"Vevezu_IO", "Port_ChipType", "Port_Mode"};
constexpr uint32_t kChipset = 16;
constexpr uint32_t kPortMode = 0;
}  // namespace

std::optional<Location> OpenLocation(const Context& context) {
  if (context.system.IsNt()) {
    return FirstKey(context.registry, kNtParameterKeys, Location::Kind::kNtParameters);
  }
  if (auto vxd = FirstKey(context.registry, kVxdKeys, Location::Kind::kVxdKey)) return vxd;
  return Location(context.registry, Location::Kind::kSystemIni, 0);
}

void WriteSettings(const Context& context, const Location& location, std::string_view address) {
  if (location.kind() == Location::Kind::kSystemIni) {
    const std::string text(address);
    const std::string section(kSystemIniSection);
    const std::string file(kSystemIni);
    context.profiles.WriteString(section.c_str(), "Vevezu_IO", text.c_str(), file);
    context.profiles.WriteString(section.c_str(), "Port_ChipType", "16", file);
    context.profiles.WriteString(section.c_str(), "Port_Mode", "0", file);
    return;
  }
  const ValueNames& names =
      location.kind() == Location::Kind::kNtParameters ? kNtNames : kVxdNames;
  context.registry.SetDword(location.key(), names.chipset, kChipset);
  context.registry.SetDword(location.key(), names.address, AddressValue(address));
  context.registry.SetDword(location.key(), names.mode, kPortMode);
}

void RemoveSettings(const Context& context, const Location& location) {
  if (location.kind() == Location::Kind::kSystemIni) {
    const std::string section(kSystemIniSection);
    for (std::string_view name : {kIniNames.chipset, kIniNames.address, kIniNames.mode}) {
      context.profiles.WriteString(section.c_str(), std::string(name).c_str(), nullptr,
                                   kSystemIni);
    }
    return;
  }
  const ValueNames& names =
      location.kind() == Location::Kind::kNtParameters ? kNtNames : kVxdNames;
  for (std::string_view name : {names.chipset, names.address, names.mode}) {
    context.registry.DeleteValue(location.key(), name);
  }
}

}  // namespace portcard
