// The scan engine's tuning, section "A4CIS" of "TMDS.INI" in the minidriver's own folder.
#pragma once

#include <cstdint>
#include <string>

namespace platform {
class ProfileFiles;
}

namespace usbminid {

struct TmdsSettings {
  uint16_t SkipsPerRow = 12;   // sensor pixels before the first image pixel, at 300 dpi
  uint16_t JLines = 60;        // steps from the calibration position to the scan origin
  uint16_t KLines = 11;        // lines averaged for each reference
  uint16_t RBLines = 2;        // triples examined per gain-adjustment round
  uint16_t HomeLines = 80;     // steps from home to the calibration position
  uint8_t KLevel = 250;        // output level of the white reference
  uint8_t MaxRB = 245;         // raw maximum the gain adjustment aims at
  uint16_t ExploseTime = 3200;
  int32_t MotorMode = 0;
  uint8_t Threadhold = 128;    // bilevel threshold
};

// `moduleFolder` is the module's Windows folder with its final backslash ("C:\WINDOWS\SYSTEM\").
// Missing keys keep their defaults; each value keeps the width above.
TmdsSettings ReadTmdsSettings(const platform::ProfileFiles& profiles, const std::string& moduleFolder);

}  // namespace usbminid
