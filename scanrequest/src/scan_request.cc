#include "scanrequest/scan_request.h"

#include <algorithm>
#include <cmath>

namespace scanrequest {

namespace {
// The library cuts a 600-dpi flatbed window at this line of the glass (SetScanParam).
constexpr uint32_t kClipLine600 = 6959;
}  // namespace

uint32_t GlassWidth(uint16_t optical) { return optical * 17u / 2; }
uint32_t GlassLength(uint16_t optical) { return static_cast<uint32_t>(optical * 11693ull / 1000); }

uint32_t ToUnits(double mm, uint16_t optical) {
  if (!(mm > 0)) return 0;  // negative and NaN are the edge
  const double units = std::round(mm / kMmPerInch * optical);
  return units >= 4294967295.0 ? 4294967295u : static_cast<uint32_t>(units);
}

RequestError BuildRequest(int mode, int resolution, const Area& area, int source, uint16_t optical,
                          SCANPARAM* request) {
  if (resolution < kMinResolution || resolution > MaxResolution(optical)) {
    return RequestError::kResolution;
  }
  const uint32_t glassW = GlassWidth(optical), glassH = GlassLength(optical);
  const uint32_t left = ToUnits(area.left, optical), top = ToUnits(area.top, optical);
  if (left >= glassW || top >= glassH) return RequestError::kCornerOutside;
  uint32_t width = area.width ? ToUnits(*area.width, optical) : glassW - left;
  uint32_t length = area.height ? ToUnits(*area.height, optical) : glassH - top;
  width = std::min(width, glassW - left);
  length = std::min(length, glassH - top);
  if (width == 0 || length == 0) return RequestError::kEmptyArea;
  request->XResolution = request->YResolution = static_cast<uint16_t>(resolution);
  request->Left = left;
  request->Top = top;
  request->Width = width;
  request->Length = length;
  request->Source = source;
  request->Mode = mode;
  return RequestError::kNone;
}

ImageSize ExpectedImage(const SCANPARAM& request, uint16_t optical) {
  if (optical == 0) return {};
  uint32_t length = request.Length;
  if (optical == 600 && request.Source == kSourceReflective && request.Top <= kClipLine600 &&
      uint64_t{request.Top} + length > kClipLine600) {
    length = kClipLine600 - request.Top;
  }
  ImageSize size;
  size.pixelsPerLine = static_cast<uint32_t>(uint64_t{request.Width} * request.XResolution / optical);
  size.lines = static_cast<uint32_t>(uint64_t{length} * request.YResolution / optical);
  return size;
}

}  // namespace scanrequest
