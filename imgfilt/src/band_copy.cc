// Exports of the quarter-turn band copiers: one band of a source image turned into its place in a
// whole destination. The geometry arrives packed in 16-bit halves; the source height is implied
// by the destination. The DIB variants hold band and destination bottom-up.
#include <cstdint>

#include "imgfilt.h"
#include "raster.h"
#include "rotate_quarter.h"

namespace {

uint32_t Low(uint32_t v) { return v & 0xFFFF; }
uint32_t High(uint32_t v) { return v >> 16; }

uint32_t CopyBand(const uint8_t* band, uint8_t* destination, uint32_t sourceGeometry,
                  uint32_t lines, uint32_t destGeometry, uint32_t destHeight, uint32_t firstLine,
                  uint32_t angle, int bpp, bool bottomUp) {
  const uint32_t width = Low(sourceGeometry), lineBytes = High(sourceGeometry);
  const uint32_t destWidth = Low(destGeometry), destLineBytes = High(destGeometry);
  const uint32_t count = Low(lines), destLines = Low(destHeight);
  if (band == nullptr || destination == nullptr) return 0;
  if (lineBytes < width * static_cast<uint32_t>(bpp)) return 0;
  if (destLineBytes < destWidth * static_cast<uint32_t>(bpp)) return 0;
  const int degrees = angle == 90 || angle == 180 || angle == 270 ? static_cast<int>(angle) : 0;
  const uint8_t orientation = bottomUp ? imgfilt::kBottomUp : 0;
  // The source height the turn needs: the destination's width for 90, its height for 180.
  const uint32_t height = degrees == 90 ? destWidth : destLines;
  const imgfilt::QuarterBand source{
      imgfilt::Lines<const uint8_t>(band, lineBytes, count, orientation), firstLine, count,
      width, height};
  if (firstLine > UINT32_MAX - count) return 0;
  const imgfilt::Lines<uint8_t> dst(destination, destLineBytes, destLines, orientation);
  imgfilt::CopyQuarterTurn(source, degrees, dst, destWidth, destLines, bpp);
  return count;
}

}  // namespace

extern "C" {

IMGFILT_API uint32_t IMGFILT_CALL RotateGrayBandImg(const uint8_t* band, uint8_t* destination,
                                                    uint32_t /*unused*/, uint32_t sourceGeometry,
                                                    uint32_t lines, uint32_t destGeometry,
                                                    uint32_t destHeight, uint32_t firstLine,
                                                    uint32_t angle) {
  return CopyBand(band, destination, sourceGeometry, lines, destGeometry, destHeight, firstLine,
                  angle, 1, false);
}

IMGFILT_API uint32_t IMGFILT_CALL RotateGrayDIBBandImg(const uint8_t* band, uint8_t* destination,
                                                       uint32_t /*unused*/,
                                                       uint32_t sourceGeometry, uint32_t lines,
                                                       uint32_t destGeometry, uint32_t destHeight,
                                                       uint32_t firstLine, uint32_t angle) {
  return CopyBand(band, destination, sourceGeometry, lines, destGeometry, destHeight, firstLine,
                  angle, 1, true);
}

IMGFILT_API uint32_t IMGFILT_CALL RotateBandImg(const uint8_t* band, uint8_t* destination,
                                                uint32_t /*unused*/, uint32_t sourceGeometry,
                                                uint32_t lines, uint32_t destGeometry,
                                                uint32_t destHeight, uint32_t firstLine,
                                                uint32_t angle) {
  return CopyBand(band, destination, sourceGeometry, lines, destGeometry, destHeight, firstLine,
                  angle, 3, false);
}

IMGFILT_API uint32_t IMGFILT_CALL RotateDIBBandImg(const uint8_t* band, uint8_t* destination,
                                                   uint32_t /*unused*/, uint32_t sourceGeometry,
                                                   uint32_t lines, uint32_t destGeometry,
                                                   uint32_t destHeight, uint32_t firstLine,
                                                   uint32_t angle) {
  return CopyBand(band, destination, sourceGeometry, lines, destGeometry, destHeight, firstLine,
                  angle, 3, true);
}

}  // extern "C"
