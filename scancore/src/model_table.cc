#include "model_table.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace scancore {

namespace {

enum class Naming {
  kAsRead,        // the 24 characters as read
  kFixed,         // a fixed name
  kOneOrTwoPart,  // "<n><s>" below 600 dpi, "<n><s>/<n><s>T" from 600 dpi
  kOnePart,       // "<n><s>"
};

enum class Bus { kSti, kScsi, kEpp, kStill };  // kSti: still-image with "Support.sti", else SCSI

struct OwnModel {
  std::string_view text;
  Naming naming;
  std::string_view suffix;  // or the fixed name
  std::string_view prefix;  // "C" for the contact-sensor models
  uint16_t add;             // added to the resolution; 0: plus a thirtieth
  Bus bus;
};

// In the order the names are tried.
constexpr std::array<OwnModel, 13> kOwnModels = {{
    {"Color   FlatbedScanner_1", Naming::kFixed, "300F", "", 0, Bus::kSti},
    {"Color   FlatbedScanner_3", Naming::kOneOrTwoPart, "P", "", 10, Bus::kEpp},
    {"Color   FlatbedScanner_4", Naming::kOneOrTwoPart, "S", "", 10, Bus::kSti},
    {"Color   FlatbedScanner_5", Naming::kOneOrTwoPart, "U", "", 0, Bus::kStill},
    {"Color   FlatbedScanner_6", Naming::kOnePart, "P", "C", 10, Bus::kEpp},
    {"Color   FlatbedScanner_8", Naming::kOneOrTwoPart, "P", "", 20, Bus::kEpp},
    {"Color   FlatbedScanner_9", Naming::kOneOrTwoPart, "S", "", 20, Bus::kSti},
    {"Color   FlatbedScanner10", Naming::kOnePart, "S", "", 20, Bus::kSti},
    {"Color   FlatbedScanner11", Naming::kOnePart, "P", "", 20, Bus::kEpp},
    {"Color   FlatbedScanner12", Naming::kOnePart, "P", "C", 20, Bus::kEpp},
    {"Color   FlatbedScanner13", Naming::kOnePart, "U", "", 20, Bus::kStill},
    {"VEMOTRIXVEMOSCAN_A4____1", Naming::kAsRead, "", "", 0, Bus::kSti},
    {"Color   FlatbedScanner_7", Naming::kAsRead, "", "", 0, Bus::kSti},
}};

struct OemModel {
  std::string_view prefix;  // compared over its own length, case-sensitively
  Bus bus;
};

// In the order the buses are decided; the first two take the default.
constexpr std::array<OemModel, 8> kOemModels = {{
    {"ZIRK    PELIXORA 610", Bus::kEpp},
    {"ZIRK    PELIXORA EZ", Bus::kEpp},
    {"ZIRK    PELIXORA 1200P", Bus::kEpp},
    {"ZIRK    PELIXORA 1212P", Bus::kEpp},
    {"ZIRK    PELIXORA 1212U", Bus::kStill},
    {"ZIRK    PELIXORA 1236", Bus::kScsi},
    {"ZIRK    Pelixora", Bus::kSti},
    {"ZIRK    PELIXORA 310", Bus::kSti},
}};

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

int32_t BusValue(Bus bus, bool stiSupport) {
  switch (bus) {
    case Bus::kEpp: return kBusEppParallel;
    case Bus::kStill: return kBusStillImage;
    case Bus::kScsi: return kBusAspiScsi;
    case Bus::kSti: return stiSupport ? kBusStillImage : kBusAspiScsi;
  }
  return kBusAspiScsi;
}

std::string ModelName(const OwnModel& m, std::string_view asRead, uint16_t resolution) {
  const unsigned n = m.add ? resolution + m.add : resolution + resolution / 30u;
  const std::string one = std::string(m.prefix) + std::to_string(n) + std::string(m.suffix);
  switch (m.naming) {
    case Naming::kAsRead: return std::string(asRead);
    case Naming::kFixed: return std::string(m.suffix);
    case Naming::kOnePart: return one;
    case Naming::kOneOrTwoPart: return resolution < 600 ? one : one + "/" + one + "T";
  }
  return one;
}

}  // namespace

bool IsAdmitted(std::string_view vendorProduct, bool oemSupport) {
  if (vendorProduct.size() == kVendorProductLength) {
    for (const OwnModel& m : kOwnModels) {
      if (m.text == vendorProduct) return true;
    }
  }
  if (!oemSupport) return false;
  return std::any_of(kOemModels.begin(), kOemModels.end(),
                     [&](const OemModel& m) { return StartsWith(vendorProduct, m.prefix); });
}

DEVICEINFO NameModel(std::string_view vendorProduct, uint16_t resolution, bool stiSupport) {
  DEVICEINFO info;
  for (const OwnModel& m : kOwnModels) {
    if (m.text != vendorProduct) continue;
    info.ModelName = ModelName(m, vendorProduct, resolution);
    info.SensorType = m.prefix.empty() ? kSensorStandard : kSensorContact;
    info.BusType = BusValue(m.bus, stiSupport);
    return info;
  }
  info.ModelName = std::string(vendorProduct);
  info.BusType = BusValue(Bus::kSti, stiSupport);
  for (const OemModel& m : kOemModels) {
    if (StartsWith(vendorProduct, m.prefix)) {
      info.BusType = BusValue(m.bus, stiSupport);
      break;
    }
  }
  return info;
}

std::string_view FirmwareSection(std::string_view vendorProduct) {
  if (vendorProduct == "Color   FlatbedScanner10") return "SCSI";
  if (vendorProduct == "Color   FlatbedScanner13") return "USB";
  return "EPP";
}

std::string VendorProductText(const uint8_t* inquiry) {
  const char* begin = reinterpret_cast<const char*>(inquiry + 8);
  return std::string(begin, std::find(begin, begin + kVendorProductLength, '\0'));
}

}  // namespace scancore
