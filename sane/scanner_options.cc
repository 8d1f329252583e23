#include "scanner_options.h"

#include <sane/saneopts.h>

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "scanrequest/scan_request.h"

namespace sanebackend {

namespace {

const char* const kModes[] = {SANE_VALUE_SCAN_MODE_LINEART, SANE_VALUE_SCAN_MODE_GRAY,
                              SANE_VALUE_SCAN_MODE_COLOR, nullptr};
const char* const kSourcesWithFilm[] = {"Flatbed", "Transparency Positive",
                                        "Transparency Negative", nullptr};
const char* const kSourcesFlatbed[] = {"Flatbed", nullptr};
constexpr int kMaxFrames = 40;  // a whole roll

SANE_Int StringListSize(const char* const* list) {
  size_t longest = 0;
  for (; *list; ++list) longest = std::max(longest, std::strlen(*list));
  return static_cast<SANE_Int>(longest + 1);
}

SANE_Option_Descriptor Group(const char* title) {
  SANE_Option_Descriptor d{};
  d.name = "";
  d.title = title;
  d.desc = "";
  d.type = SANE_TYPE_GROUP;
  d.cap = 0;
  d.constraint_type = SANE_CONSTRAINT_NONE;
  return d;
}

SANE_Option_Descriptor Settable(const char* name, const char* title, const char* desc,
                                SANE_Value_Type type, SANE_Unit unit, SANE_Int size) {
  SANE_Option_Descriptor d{};
  d.name = name;
  d.title = title;
  d.desc = desc;
  d.type = type;
  d.unit = unit;
  d.size = size;
  d.cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
  d.constraint_type = SANE_CONSTRAINT_NONE;
  return d;
}

SANE_Option_Descriptor Ranged(const char* name, const char* title, const char* desc,
                              SANE_Value_Type type, SANE_Unit unit, const SANE_Range* range) {
  SANE_Option_Descriptor d = Settable(name, title, desc, type, unit, sizeof(SANE_Word));
  d.constraint_type = SANE_CONSTRAINT_RANGE;
  d.constraint.range = range;
  return d;
}

SANE_Option_Descriptor ReadOnly(const char* name, const char* title, const char* desc,
                                const std::string& value) {
  SANE_Option_Descriptor d = Settable(name, title, desc, SANE_TYPE_STRING, SANE_UNIT_NONE,
                                      static_cast<SANE_Int>(value.size() + 1));
  d.cap = SANE_CAP_SOFT_DETECT;
  return d;
}

// `value` brought into `range` (and onto its quantisation); `exact` tells whether it moved.
SANE_Word Constrain(SANE_Word value, const SANE_Range& range, bool* exact) {
  SANE_Word v = std::clamp(value, range.min, range.max);
  if (range.quant > 0) {
    const long long steps = (static_cast<long long>(v) - range.min + range.quant / 2) / range.quant;
    v = static_cast<SANE_Word>(std::min<long long>(range.min + steps * range.quant, range.max));
  }
  *exact = v == value;
  return v;
}

}  // namespace

ScannerOptions::ScannerOptions(const CHWScannerInfo& info)
    : optical_(info.GetOpticalRes() ? info.GetOpticalRes() : 300),
      gammaEntries_(1 << std::clamp<int>(info.GetADBits(), 8, 12)),
      filmUnit_(info.GetHolderType() != 0),
      firmwareVersion_(info.GetFWVersion()),
      firmwareDate_(info.GetFWDate()) {
  using namespace scanrequest;
  resolutionRange_ = {kMinResolution, MaxResolution(optical_), 1};
  xRange_ = {0, SANE_FIX(kGlassWidthInches * kMmPerInch), 0};
  yRange_ = {0, SANE_FIX(kGlassHeightInches * kMmPerInch), 0};
  thresholdRange_ = {0, 255, 1};
  gammaRange_ = {0, 255, 1};
  framesRange_ = {1, kMaxFrames, 1};
  brX_ = xRange_.max;
  brY_ = yRange_.max;
  gamma_.resize(gammaEntries_);
  for (int i = 0; i < gammaEntries_; ++i) gamma_[i] = i * 255 / (gammaEntries_ - 1);
  BuildDescriptors();
  UpdateActive();
}

void ScannerOptions::BuildDescriptors() {
  SANE_Option_Descriptor* d = descriptors_;
  d[kOptCount] = Settable(SANE_NAME_NUM_OPTIONS, SANE_TITLE_NUM_OPTIONS, SANE_DESC_NUM_OPTIONS,
                          SANE_TYPE_INT, SANE_UNIT_NONE, sizeof(SANE_Word));
  d[kOptCount].cap = SANE_CAP_SOFT_DETECT;
  d[kOptModeGroup] = Group("Scan Mode");
  d[kOptMode] = Settable(SANE_NAME_SCAN_MODE, SANE_TITLE_SCAN_MODE, SANE_DESC_SCAN_MODE,
                         SANE_TYPE_STRING, SANE_UNIT_NONE, StringListSize(kModes));
  d[kOptMode].constraint_type = SANE_CONSTRAINT_STRING_LIST;
  d[kOptMode].constraint.string_list = kModes;
  const char* const* sources = filmUnit_ ? kSourcesWithFilm : kSourcesFlatbed;
  d[kOptSource] = Settable(SANE_NAME_SCAN_SOURCE, SANE_TITLE_SCAN_SOURCE, SANE_DESC_SCAN_SOURCE,
                           SANE_TYPE_STRING, SANE_UNIT_NONE, StringListSize(sources));
  d[kOptSource].constraint_type = SANE_CONSTRAINT_STRING_LIST;
  d[kOptSource].constraint.string_list = sources;
  d[kOptResolution] = Ranged(SANE_NAME_SCAN_RESOLUTION, SANE_TITLE_SCAN_RESOLUTION,
                             SANE_DESC_SCAN_RESOLUTION, SANE_TYPE_INT, SANE_UNIT_DPI,
                             &resolutionRange_);
  d[kOptPreview] = Settable(SANE_NAME_PREVIEW, SANE_TITLE_PREVIEW,
                            "Scan at 75 dpi, whatever the resolution says.", SANE_TYPE_BOOL,
                            SANE_UNIT_NONE, sizeof(SANE_Word));
  d[kOptGeometryGroup] = Group("Geometry");
  d[kOptTlX] = Ranged(SANE_NAME_SCAN_TL_X, SANE_TITLE_SCAN_TL_X, SANE_DESC_SCAN_TL_X,
                      SANE_TYPE_FIXED, SANE_UNIT_MM, &xRange_);
  d[kOptTlY] = Ranged(SANE_NAME_SCAN_TL_Y, SANE_TITLE_SCAN_TL_Y, SANE_DESC_SCAN_TL_Y,
                      SANE_TYPE_FIXED, SANE_UNIT_MM, &yRange_);
  d[kOptBrX] = Ranged(SANE_NAME_SCAN_BR_X, SANE_TITLE_SCAN_BR_X, SANE_DESC_SCAN_BR_X,
                      SANE_TYPE_FIXED, SANE_UNIT_MM, &xRange_);
  d[kOptBrY] = Ranged(SANE_NAME_SCAN_BR_Y, SANE_TITLE_SCAN_BR_Y, SANE_DESC_SCAN_BR_Y,
                      SANE_TYPE_FIXED, SANE_UNIT_MM, &yRange_);
  d[kOptEnhancementGroup] = Group("Enhancement");
  d[kOptThreshold] = Ranged(SANE_NAME_THRESHOLD, SANE_TITLE_THRESHOLD, SANE_DESC_THRESHOLD,
                            SANE_TYPE_INT, SANE_UNIT_NONE, &thresholdRange_);
  d[kOptCustomGamma] = Settable(SANE_NAME_CUSTOM_GAMMA, SANE_TITLE_CUSTOM_GAMMA,
                                SANE_DESC_CUSTOM_GAMMA, SANE_TYPE_BOOL, SANE_UNIT_NONE,
                                sizeof(SANE_Word));
  d[kOptGammaVector] = Ranged(SANE_NAME_GAMMA_VECTOR, SANE_TITLE_GAMMA_VECTOR,
                              SANE_DESC_GAMMA_VECTOR, SANE_TYPE_INT, SANE_UNIT_NONE, &gammaRange_);
  d[kOptGammaVector].size = static_cast<SANE_Int>(gammaEntries_ * sizeof(SANE_Word));
  d[kOptFilmGroup] = Group("Film");
  d[kOptFrames] = Ranged("frames", "Frames",
                         "How many frames of the holder a batch scans, one image each.",
                         SANE_TYPE_INT, SANE_UNIT_NONE, &framesRange_);
  d[kOptIdentityGroup] = Group("Identity");
  d[kOptFirmwareVersion] = ReadOnly("firmware-version", "Firmware version",
                                    "The scanner's firmware revision.", firmwareVersion_);
  d[kOptFirmwareDate] = ReadOnly("firmware-date", "Firmware date",
                                 "The date of the scanner's firmware.", firmwareDate_);
}

void ScannerOptions::UpdateActive() {
  auto active = [&](int index, bool on) {
    if (on) {
      descriptors_[index].cap &= ~SANE_CAP_INACTIVE;
    } else {
      descriptors_[index].cap |= SANE_CAP_INACTIVE;
    }
  };
  active(kOptThreshold, mode_ == kModeLineArt);
  active(kOptCustomGamma, mode_ != kModeLineArt);
  active(kOptGammaVector, mode_ != kModeLineArt && customGamma_);
  active(kOptFrames, source_ != kSourceReflective);
}

const SANE_Option_Descriptor* ScannerOptions::Descriptor(int index) const {
  if (index < 0 || index >= kOptionCount) return nullptr;
  return &descriptors_[index];
}

SANE_Status ScannerOptions::Get(int index, void* value) const {
  if (index < 0 || index >= kOptionCount || value == nullptr) return SANE_STATUS_INVAL;
  const SANE_Option_Descriptor& d = descriptors_[index];
  if (d.type == SANE_TYPE_GROUP || !SANE_OPTION_IS_ACTIVE(d.cap)) return SANE_STATUS_INVAL;
  auto word = [&](SANE_Word w) {
    *static_cast<SANE_Word*>(value) = w;
    return SANE_STATUS_GOOD;
  };
  auto text = [&](const char* s) {
    std::strcpy(static_cast<char*>(value), s);  // every size holds its longest value
    return SANE_STATUS_GOOD;
  };
  switch (index) {
    case kOptCount: return word(kOptionCount);
    case kOptMode: return text(kModes[mode_]);
    case kOptSource: return text(kSourcesWithFilm[source_]);
    case kOptResolution: return word(resolution_);
    case kOptPreview: return word(preview_);
    case kOptTlX: return word(tlX_);
    case kOptTlY: return word(tlY_);
    case kOptBrX: return word(brX_);
    case kOptBrY: return word(brY_);
    case kOptThreshold: return word(threshold_);
    case kOptCustomGamma: return word(customGamma_);
    case kOptGammaVector:
      std::memcpy(value, gamma_.data(), gamma_.size() * sizeof(SANE_Word));
      return SANE_STATUS_GOOD;
    case kOptFrames: return word(frames_);
    case kOptFirmwareVersion: return text(firmwareVersion_.c_str());
    case kOptFirmwareDate: return text(firmwareDate_.c_str());
    default: return SANE_STATUS_INVAL;
  }
}

SANE_Status ScannerOptions::Set(int index, void* value, SANE_Int* info) {
  if (info) *info = 0;
  if (index < 0 || index >= kOptionCount || value == nullptr) return SANE_STATUS_INVAL;
  const SANE_Option_Descriptor& d = descriptors_[index];
  if (!SANE_OPTION_IS_SETTABLE(d.cap) || !SANE_OPTION_IS_ACTIVE(d.cap)) return SANE_STATUS_INVAL;
  if (d.type == SANE_TYPE_STRING) return SetString(index, static_cast<const char*>(value), info);
  if (index == kOptGammaVector) return SetGamma(static_cast<const SANE_Word*>(value), info);
  return SetWord(index, *static_cast<const SANE_Word*>(value), info);
}

SANE_Status ScannerOptions::SetString(int index, const char* value, SANE_Int* info) {
  const SANE_Option_Descriptor& d = descriptors_[index];
  // The value must end within the option's size.
  if (memchr(value, '\0', static_cast<size_t>(d.size)) == nullptr) return SANE_STATUS_INVAL;
  for (int i = 0; d.constraint.string_list[i]; ++i) {
    if (strcasecmp(value, d.constraint.string_list[i]) != 0) continue;
    if (index == kOptMode) mode_ = i;
    if (index == kOptSource) source_ = i;
    UpdateActive();
    if (info) *info = SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS;
    return SANE_STATUS_GOOD;
  }
  return SANE_STATUS_INVAL;
}

SANE_Status ScannerOptions::SetWord(int index, SANE_Word value, SANE_Int* info) {
  const SANE_Option_Descriptor& d = descriptors_[index];
  if (d.type == SANE_TYPE_BOOL && value != SANE_FALSE && value != SANE_TRUE) return SANE_STATUS_INVAL;
  bool exact = true;
  if (d.constraint_type == SANE_CONSTRAINT_RANGE) value = Constrain(value, *d.constraint.range, &exact);
  SANE_Int changed = SANE_INFO_RELOAD_PARAMS;
  switch (index) {
    case kOptResolution: resolution_ = value; break;
    case kOptPreview: preview_ = value; break;
    case kOptTlX: tlX_ = value; break;
    case kOptTlY: tlY_ = value; break;
    case kOptBrX: brX_ = value; break;
    case kOptBrY: brY_ = value; break;
    case kOptThreshold: threshold_ = value; changed = 0; break;
    case kOptCustomGamma:
      customGamma_ = value;
      UpdateActive();
      changed = SANE_INFO_RELOAD_OPTIONS;
      break;
    case kOptFrames: frames_ = value; changed = 0; break;
    default: return SANE_STATUS_INVAL;
  }
  if (info) *info = changed | (exact ? 0 : SANE_INFO_INEXACT);
  return SANE_STATUS_GOOD;
}

SANE_Status ScannerOptions::SetGamma(const SANE_Word* values, SANE_Int* info) {
  bool allExact = true;
  for (int i = 0; i < gammaEntries_; ++i) {
    bool exact = true;
    gamma_[i] = Constrain(values[i], gammaRange_, &exact);
    allExact = allExact && exact;
  }
  if (info) *info = allExact ? 0 : SANE_INFO_INEXACT;
  return SANE_STATUS_GOOD;
}

bool ScannerOptions::BuildRequest(SCANPARAM* request, std::vector<uint8_t>* gamma) const {
  if (brX_ <= tlX_ || brY_ <= tlY_) return false;
  scanrequest::Area area;
  area.left = SANE_UNFIX(tlX_);
  area.top = SANE_UNFIX(tlY_);
  area.width = SANE_UNFIX(brX_) - SANE_UNFIX(tlX_);
  area.height = SANE_UNFIX(brY_) - SANE_UNFIX(tlY_);
  const int resolution = preview_
      ? std::clamp(kPreviewResolution, resolutionRange_.min, resolutionRange_.max)
      : resolution_;
  if (scanrequest::BuildRequest(mode_, resolution, area, source_, optical_, request) !=
      scanrequest::RequestError::kNone) {
    return false;
  }
  request->Threshold = static_cast<uint8_t>(threshold_);
  gamma->clear();
  if (customGamma_ && mode_ != kModeLineArt) {
    // One curve for red, green, blue and gray alike.
    for (int table = 0; table < 4; ++table) {
      for (SANE_Word v : gamma_) gamma->push_back(static_cast<uint8_t>(v));
    }
    request->HostTables = 1;
  }
  return true;
}

}  // namespace sanebackend
