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
                  uint32_t angle, int bpp, bool bottom_up) {
  const uint32_t width = Low(sourceGeometry), line_bytes = High(sourceGeometry);
  const uint32_t dest_width = Low(destGeometry), dest_line_bytes = High(destGeometry);
  const uint32_t count = Low(lines), dest_height = Low(destHeight);
  if (band == nullptr || destination == nullptr) return 0;
  if (line_bytes < width * static_cast<uint32_t>(bpp)) return 0;
  if (dest_line_bytes < dest_width * static_cast<uint32_t>(bpp)) return 0;
  const int degrees = angle == 90 || angle == 180 || angle == 270 ? static_cast<int>(angle) : 0;
  const uint8_t orientation = bottom_up ? imgfilt::kBottomUp : 0;
  // The source height the turn needs: the destination's width for 90, its height for 180.
  const uint32_t height = degrees == 90 ? dest_width : dest_height;
  const imgfilt::QuarterBand source{
      imgfilt::Lines<const uint8_t>(band, line_bytes, count, orientation), firstLine, count,
      width, height};
  if (firstLine > UINT32_MAX - count) return 0;
  const imgfilt::Lines<uint8_t> dst(destination, dest_line_bytes, dest_height, orientation);
  imgfilt::CopyQuarterTurn(source, degrees, dst, dest_width, dest_height, bpp);
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
