// The options of one opened scanner, with SANE's standard names, units and constraints, and the
// scan request they make. Values outside a range are brought into it (SANE_INFO_INEXACT);
// a string not in its list, or not ending within the option's size, is refused.
#pragma once

#include <string>
#include <vector>

#include <sane/sane.h>

#include "scancore/hw_scanner_info.h"
#include "scancore/scan_param.h"

namespace sanebackend {

enum OptionIndex : int {
  kOptCount = 0,
  kOptModeGroup,
  kOptMode,
  kOptSource,
  kOptResolution,
  kOptPreview,
  kOptGeometryGroup,
  kOptTlX,
  kOptTlY,
  kOptBrX,
  kOptBrY,
  kOptEnhancementGroup,
  kOptThreshold,
  kOptCustomGamma,
  kOptGammaVector,
  kOptFilmGroup,
  kOptFrames,
  kOptIdentityGroup,
  kOptFirmwareVersion,
  kOptFirmwareDate,
  kOptionCount
};

// The resolution a preview scans at (kept within the scanner's range).
inline constexpr int kPreviewResolution = 75;

class ScannerOptions {
 public:
  // For a scanner of this identity (after CheckHolderType).
  explicit ScannerOptions(const CHWScannerInfo& info);

  // Null outside 0..kOptionCount-1.
  const SANE_Option_Descriptor* Descriptor(int index) const;
  SANE_Status Get(int index, void* value) const;
  // `info` may be null.
  SANE_Status Set(int index, void* value, SANE_Int* info);

  // The request of the current values; false (SANE_STATUS_INVAL) for an empty or
  // outside-the-glass window. `gamma` receives the four tables when custom gamma is on.
  bool BuildRequest(SCANPARAM* request, std::vector<uint8_t>* gamma) const;
  int mode() const { return mode_; }
  int source() const { return source_; }
  int frames() const { return frames_; }

 private:
  void BuildDescriptors();
  void UpdateActive();
  SANE_Status SetString(int index, const char* value, SANE_Int* info);
  SANE_Status SetWord(int index, SANE_Word value, SANE_Int* info);
  SANE_Status SetGamma(const SANE_Word* values, SANE_Int* info);

  uint16_t optical_;
  int gammaEntries_;
  bool filmUnit_;
  std::string firmwareVersion_, firmwareDate_;
  SANE_Option_Descriptor descriptors_[kOptionCount] = {};
  SANE_Range resolutionRange_{}, xRange_{}, yRange_{}, thresholdRange_{}, gammaRange_{}, framesRange_{};

  int mode_ = kModeColor;
  int source_ = kSourceReflective;
  SANE_Word resolution_ = 150;
  SANE_Bool preview_ = SANE_FALSE;
  SANE_Fixed tlX_ = 0, tlY_ = 0, brX_ = 0, brY_ = 0;
  SANE_Word threshold_ = 128;
  SANE_Bool customGamma_ = SANE_FALSE;
  std::vector<SANE_Word> gamma_;
  SANE_Word frames_ = 6;
};

}  // namespace sanebackend
