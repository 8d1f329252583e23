// What the 122-byte inquiry data says about a scanner.
#pragma once

#include <cstdint>
#include <string>

#include "scancore/device_info.h"

namespace scancore {

inline constexpr uint8_t kIdentityLength = 122;
inline constexpr uint8_t kProbeLength = 36;

// Bytes 32-35 as "1.05": kept when the second character is '.', else a dot after the first
// digit pair, a leading zero dropped (0105 gives 1.05, 1205 gives 12.05).
std::string FirmwareVersion(const uint8_t* inquiry);
// Bytes 100-110 ("Jan 15 1999") as "Jan. 15, 1999".
std::string FirmwareDate(const uint8_t* inquiry);
// Inquiry bytes 8-15 up to a first NUL, without trailing blanks.
std::string VendorText(const uint8_t* inquiry);
Option InstalledOption(const uint8_t* inquiry);
uint8_t AdBits(const uint8_t* inquiry);
uint16_t OpticalResolution(const uint8_t* inquiry);
bool WaitsForFirmware(const uint8_t* inquiry);
uint8_t FirmwareId(const uint8_t* inquiry);

}  // namespace scancore
