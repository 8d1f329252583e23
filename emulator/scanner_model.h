// What distinguishes one emulated scanner from another: its identity, optics and options, as a
// machine description gives them.
#pragma once

#include <cstdint>
#include <string>

namespace emulator {

struct ScannerModel {
  std::string vendorProduct = "Color   FlatbedScanner_4";  // inquiry bytes 8-31, 24 characters
  std::string revision = "1.05";                           // inquiry bytes 32-35
  std::string firmwareDate = "Jan 15 1999";                // inquiry bytes 100-110
  uint16_t opticalRes = 600;
  uint8_t adBits = 10;          // 8, 10 or 12
  uint8_t option = 0;           // installed option: 0 none, 1 or 2
  int greenDelay = 8;           // colour line delays at the optical resolution, in lines
  int blueDelay = 16;
  uint32_t warmUpSeconds = 0;   // from power-on, counted on the host clock
  uint32_t scanStartMs = 200;   // from SCAN until the first data is buffered
  bool flatSensor = false;      // every sensor element equally sensitive (simple figures)

  bool waitsForFirmware = false;   // inquiry byte 40 bit 1 until an image is received
  uint8_t firmwareId = 0;          // inquiry byte 41
  uint32_t firmwareSize = 0;       // expected image size; 0 accepts any
  uint32_t firmwareBootMs = 1000;  // busy for this long after a download
  bool firmwareNeverAccepted = false;

  uint8_t holderType = 0;          // film holder, inquiry byte 118 (0: no film unit)
  uint32_t bestFocus = 128;        // film units: the focus value that gives the sharpest lines
  uint8_t holderDetails[3] = {0, 0, 0};

  std::string picture;             // a PNG to put on the glass instead of the test chart

  uint32_t AdMax() const { return (1u << adBits) - 1; }
  uint32_t Width() const { return opticalRes * 17 / 2; }  // 8.5 inches of sensor
  uint32_t Height() const { return static_cast<uint32_t>(opticalRes * 11693ull / 1000); }
};

}  // namespace emulator
