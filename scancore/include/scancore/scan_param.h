// The records of a scan request: what the caller asks for (SCANPARAM) and the image the scanner
// will deliver for it (myIMAGEINFO), and the callback through which a scan reports progress.
#pragma once

#include <cstdint>

enum ScanSource : int32_t {
  kSourceReflective = 0,
  kSourcePositive = 1,
  kSourceNegative = 2,
  kSourceFourth = 3
};
enum ScanMode : int32_t { kModeLineArt = 0, kModeGray = 1, kModeColor = 2 };

// Order of delivered colour data: RGB pixels top-down, or BGR pixels with each block's lines
// bottom-up. Other values deliver colour lines as the scanner sends them.
enum ImageFormat : int32_t { kImageRgbTopDown = 1, kImageBgrBottomUp = 2 };

// Laid out byte by byte, as applications built against the library's record expect.
#pragma pack(push, 1)
struct SCANPARAM {
  uint16_t XResolution = 0;  // dpi
  uint16_t YResolution = 0;
  uint32_t Left = 0;         // the window, in the scanner's window unit
  uint32_t Top = 0;
  uint32_t Width = 0;
  uint32_t Length = 0;
  int32_t Source = kSourceReflective;
  int32_t Mode = kModeColor;
  uint8_t Threshold = 128;   // line art
  int32_t HostTables = 0;    // nonzero: the caller's gamma tables, host shading, CmdReadSize
  int32_t VendorFlag = 1;
  uint8_t VendorLevel = 0;
  uint8_t Unused = 0;
  // Four tables of 2^ADBits bytes: red, green, blue, gray.
  const uint8_t* GammaTables = nullptr;
};
#pragma pack(pop)

struct myIMAGEINFO {
  uint16_t PixelsPerLine = 0;
  uint16_t BytesPerLine = 0;
  uint16_t Lines = 0;  // lines delivered, the colour-alignment lines already taken off
};

// kind 0: warming up, value = seconds to wait; returning 0 cancels the scan.
// kind 1: reading, value = percent done; the result is ignored.
using ProgressCallBack = int (*)(unsigned short kind, unsigned short value);
inline constexpr unsigned short kProgressWarmUp = 0;
inline constexpr unsigned short kProgressReading = 1;
