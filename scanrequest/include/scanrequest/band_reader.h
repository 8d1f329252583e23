// Pulls a scan that SetScanParam set up, one band of whole lines per ReadBlockData, and hands
// the lines on without the scanner's padding. Memory stays one band, however long the page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "scancore/scan_core.h"

namespace scanrequest {

class BandReader {
 public:
  enum class Result {
    kLines,    // `count` lines at `lines`, valid until the next call
    kEnd,      // every line delivered
    kFailed,   // ReadBlockData failed; errorCode() says why
    kStalled,  // the scanner delivered nothing three times running
  };

  // `lineBytes`: a line without padding; `bandLines`: lines asked for per block.
  BandReader(CScanCore& core, const myIMAGEINFO& image, uint32_t lineBytes,
             uint32_t bandLines = kDefaultBandLines);

  Result Next(const uint8_t** lines, uint32_t* count);
  uint32_t errorCode() const { return errorCode_; }
  uint32_t delivered() const { return delivered_; }

  // More than any colour alignment the scanner can ask for.
  static constexpr uint32_t kDefaultBandLines = 256;

 private:
  CScanCore& core_;
  myIMAGEINFO image_;
  uint32_t lineBytes_;
  // Left as it comes: only lines a read filled are handed on, and a band of a wide page is
  // megabytes that filling with zeros would touch once more for nothing.
  size_t bufferSize_;
  std::unique_ptr<uint8_t[]> buffer_;
  uint32_t delivered_ = 0;
  int idle_ = 0;
  uint32_t errorCode_ = 0;
};

}  // namespace scanrequest
