// A scanner of the emulated machine opened through the library, and whole scans read from it
// through ReadBlockData, for the scanning tests.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "scancore/error_codes.h"
#include "scancore/scan_core.h"
#include "scancore_test_support.h"

namespace scancore::testing {

// Binds the first scanner found on `bus`.
inline bool OpenOnBus(CScanCore& core, int bus, CHWScannerInfo& info) {
  std::vector<DEVICEINFO> found;
  if (!core.ListScanners(found)) return false;
  for (const DEVICEINFO& device : found) {
    if (device.BusType == bus) return core.InitializeScanner(device, info) == 1;
  }
  return false;
}

// A request in the scanner's window unit (1/optical inch) from a window in inches.
inline SCANPARAM Request(int mode, uint16_t dpi, uint16_t optical, double left, double top,
                         double width, double length) {
  SCANPARAM r;
  r.XResolution = r.YResolution = dpi;
  r.Left = static_cast<uint32_t>(left * optical);
  r.Top = static_cast<uint32_t>(top * optical);
  r.Width = static_cast<uint32_t>(width * optical);
  r.Length = static_cast<uint32_t>(length * optical);
  r.Mode = mode;
  return r;
}

struct ScanResult {
  std::vector<uint8_t> image;  // the delivered lines in top-down order
  myIMAGEINFO info;
  int calls = 0;
  uint32_t error = kNoError;   // of the first failing call
};

// One whole scan: SetScanParam, ReadBlockData with `request` bytes until every line came,
// AbortScan. Lines of a bottom-up format are put back in top-down order per block.
inline ScanResult ScanWhole(CScanCore& core, const SCANPARAM& request, unsigned long requestBytes,
                            int format = kImageRgbTopDown) {
  ScanResult result;
  core.SetImageFormat(static_cast<ImageFormat>(format));
  if (!core.SetScanParam(request, result.info, 0)) {
    result.error = core.GetErrorCode();
    return result;
  }
  const unsigned long b = result.info.BytesPerLine;
  const unsigned long bufferSize = requestBytes + 300 * b;  // room for any carry
  std::vector<uint8_t> buffer(bufferSize, 0);
  size_t wanted = size_t{result.info.Lines} * b;
  while (result.image.size() < wanted) {
    unsigned long got = 0;
    ++result.calls;
    if (!core.ReadBlockData(buffer.data(), bufferSize, requestBytes, got)) {
      result.error = core.GetErrorCode();
      break;
    }
    if (got == 0 && result.calls > 2 * int(result.info.Lines) + 4) break;  // no progress
    std::vector<uint8_t> block(buffer.begin(), buffer.begin() + got);
    if (format == kImageBgrBottomUp) {
      // Undo the reversal with a plain loop, independently of the library's.
      std::vector<uint8_t> upright(block.size());
      const size_t n = got / b;
      for (size_t i = 0; i < n; ++i) {
        std::copy_n(block.begin() + (n - 1 - i) * b, b, upright.begin() + i * b);
      }
      block.swap(upright);
    }
    result.image.insert(result.image.end(), block.begin(), block.end());
  }
  return result;
}

// The emulator's own image of the window it was given, as a host should deliver it.
inline std::vector<uint8_t> Expected(emulator::ScsiScanner& scanner, const myIMAGEINFO& info,
                                     bool bgr = false) {
  auto image = scanner.ExpectedImage();
  std::vector<uint8_t> out(size_t{info.Lines} * info.BytesPerLine);
  if (!image) return out;
  const uint32_t defocus = scanner.DefocusDistance();
  for (uint32_t i = 0; i < info.Lines; ++i) {
    image->ImageLine(i, defocus, bgr, out.data() + size_t{i} * info.BytesPerLine);
  }
  return out;
}

// Index of the first differing image byte, or -1. Bytes after a colour line's pixels are the
// buffer's own (the library leaves them alone) and are not compared.
inline long FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                            const myIMAGEINFO& info, int mode) {
  if (a.size() != b.size()) return 0;
  const size_t line = info.BytesPerLine;
  const size_t used = mode == kModeColor ? 3u * info.PixelsPerLine : line;
  for (size_t i = 0; i < a.size(); ++i) {
    if (i % line < used && a[i] != b[i]) return static_cast<long>(i);
  }
  return -1;
}

}  // namespace scancore::testing
