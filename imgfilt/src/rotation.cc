// Exports of the banded rotations: quarter turns, arbitrary angles on a white canvas and arbitrary
// angles cropped to image, and their size queries. Each kind keeps the band count of one image
// for the process (gray and colour apart), as its callers expect.
#include <algorithm>
#include <cstring>

#include "imgfilt.h"
#include "raster.h"
#include "rotate_band.h"
#include "rotate_bilinear.h"
#include "rotate_geometry.h"
#include "rotate_quarter.h"

namespace imgfilt {
namespace {

enum Kind { kQuarter, kBounding, kCropped };

BandedRotation& State(Kind kind, int bpp) {
  static BandedRotation states[3][2];
  return states[kind][bpp == 3 ? 1 : 0];
}

// Checks shared by every banded rotation, in the order of the result codes.
Code CheckCall(const RotateCall& c, int bpp) {
  if (c.source == nullptr || c.destination == nullptr) return kNullPointer;
  if (c.lineBytes == 0 || c.width == 0 || c.lines == 0 || c.totalLines == 0) return kZeroSize;
  if (c.lineBytes < uint64_t{c.width} * bpp) return kOutOfRange;
  return kOk;
}

// Source lines of this band that belong to the image (lines past totalLines are ignored).
uint32_t UsedLines(const RotateCall& c, uint32_t first) {
  return std::min(c.lines, c.totalLines - first);
}

Code RunQuarter(const RotateCall& c, int degrees, int bpp) {
  if (const Code code = CheckCall(c, bpp); code != kOk) return code;
  if (degrees < 0) return kOutOfRange;
  const RotateGeometry g = BoundingGeometry(c.width, c.totalLines, degrees * 10);
  if (c.destLineBytes < uint64_t{g.width} * bpp) return kOutOfRange;
  uint32_t first = 0;
  BandedRotation& state = State(kQuarter, bpp);
  if (const Code code = state.Open(c, first); code != kOk) return code;
  const QuarterBand band{Lines<const uint8_t>(c.source, c.lineBytes, c.lines, c.orientation),
                         first, UsedLines(c, first), c.width, c.totalLines};
  const Lines<uint8_t> dst(c.destination, c.destLineBytes, g.height, c.orientation);
  CopyQuarterTurn(band, degrees, dst, g.width, g.height, bpp);
  state.Close(c);
  return kOk;
}

void PaintWhite(const Lines<uint8_t>& dst, uint32_t width, int bpp) {
  for (size_t y = 0; y < dst.count(); ++y) std::memset(dst[y], 255, size_t{width} * bpp);
}

Code RunArbitrary(const RotateCall& c, Kind kind, int bpp) {
  if (const int degrees = QuarterTurnDegrees(c.tenths); degrees >= 0) {
    return RunQuarter(c, degrees, bpp);
  }
  if (const Code code = CheckCall(c, bpp); code != kOk) return code;
  const RotateGeometry g = kind == kCropped ? CroppedGeometry(c.width, c.totalLines, c.tenths)
                                            : BoundingGeometry(c.width, c.totalLines, c.tenths);
  if (!g.fits || c.destLineBytes < uint64_t{g.width} * bpp) return kOutOfRange;
  const bool carries = c.bandState <= 2;  // a band before or after this one
  if (carries && c.lineBuffer == nullptr) return kNullPointer;
  uint32_t first = 0;
  BandedRotation& state = State(kind, bpp);
  if (const Code code = state.Open(c, first); code != kOk) return code;
  const Lines<uint8_t> dst(c.destination, c.destLineBytes, g.height, c.orientation);
  if (StartsImage(c.bandState)) PaintWhite(dst, g.width, bpp);
  const RotateSource source{Lines<const uint8_t>(c.source, c.lineBytes, c.lines, c.orientation),
                            c.lineBuffer, first, UsedLines(c, first), c.width, c.totalLines};
  RotateBand(g, source, dst, bpp);
  if (carries && !EndsImage(c.bandState) && source.count > 0) {
    std::memmove(c.lineBuffer, source.band[source.count - 1], size_t{c.width} * bpp);
  }
  state.Close(c);
  return kOk;
}

RotateCall MakeCall(const uint8_t* source, uint8_t* destination, uint32_t lineBytes,
                    uint32_t width, uint32_t lines, uint32_t totalLines, uint32_t destLineBytes,
                    int tenths, uint8_t orientation, uint8_t bandState, uint8_t* lineBuffer) {
  return RotateCall{source,        destination, lineBytes,   width,     lines,     totalLines,
                    destLineBytes, tenths,      orientation, bandState, lineBuffer};
}

uint8_t WriteSize(const RotateGeometry& g, uint32_t width, uint32_t height, uint32_t* newWidth,
                  uint32_t* newHeight) {
  if (newWidth == nullptr || newHeight == nullptr) return kNullPointer;
  const bool zero = width == 0 || height == 0;
  *newWidth = zero ? 0 : g.width;
  *newHeight = zero ? 0 : g.height;
  if (zero) return kZeroSize;
  return g.fits ? kOk : kOutOfRange;
}

// Rotation90's integer angle: the quarter turn in degrees, or -1.
int QuarterAngle(int32_t angle) {
  return angle == 0 || angle == 90 || angle == 180 || angle == 270 || angle == 360 ? angle : -1;
}

}  // namespace
}  // namespace imgfilt

using imgfilt::AngleTenths;

extern "C" {

IMGFILT_API uint8_t IMGFILT_CALL GetRotateSize(uint32_t width, uint32_t height,
                                               uint32_t* newWidth, uint32_t* newHeight,
                                               float angle) {
  const imgfilt::RotateGeometry g =
      width && height ? imgfilt::BoundingGeometry(width, height, AngleTenths(angle))
                      : imgfilt::RotateGeometry{};
  return imgfilt::WriteSize(g, width, height, newWidth, newHeight);
}

IMGFILT_API uint8_t IMGFILT_CALL GetRotateSmallSize(uint32_t width, uint32_t height,
                                                    uint32_t* newWidth, uint32_t* newHeight,
                                                    float angle) {
  const imgfilt::RotateGeometry g =
      width && height ? imgfilt::CroppedGeometry(width, height, AngleTenths(angle))
                      : imgfilt::RotateGeometry{};
  return imgfilt::WriteSize(g, width, height, newWidth, newHeight);
}

IMGFILT_API uint8_t IMGFILT_CALL Rotation90Gray(const uint8_t* source, uint8_t* destination,
                                                uint32_t lineBytes, uint32_t width,
                                                uint32_t lines, uint32_t totalLines,
                                                uint32_t destLineBytes, int32_t angle,
                                                uint8_t orientation, uint8_t bandState) {
  const int degrees = imgfilt::QuarterAngle(angle);
  return imgfilt::RunQuarter(imgfilt::MakeCall(source, destination, lineBytes, width, lines,
                                               totalLines, destLineBytes, degrees * 10,
                                               orientation, bandState, nullptr),
                             degrees, 1);
}

IMGFILT_API uint8_t IMGFILT_CALL Rotation90Color(const uint8_t* source, uint8_t* destination,
                                                 uint32_t lineBytes, uint32_t width,
                                                 uint32_t lines, uint32_t totalLines,
                                                 uint32_t destLineBytes, int32_t angle,
                                                 uint8_t orientation, uint8_t bandState) {
  const int degrees = imgfilt::QuarterAngle(angle);
  return imgfilt::RunQuarter(imgfilt::MakeCall(source, destination, lineBytes, width, lines,
                                               totalLines, destLineBytes, degrees * 10,
                                               orientation, bandState, nullptr),
                             degrees, 3);
}

IMGFILT_API uint8_t IMGFILT_CALL RotationGray(const uint8_t* source, uint8_t* destination,
                                              uint32_t lineBytes, uint32_t width, uint32_t lines,
                                              uint32_t totalLines, uint32_t destLineBytes,
                                              float angle, uint8_t orientation,
                                              uint8_t bandState, uint8_t* lineBuffer) {
  return imgfilt::RunArbitrary(
      imgfilt::MakeCall(source, destination, lineBytes, width, lines, totalLines, destLineBytes,
                        AngleTenths(angle), orientation, bandState, lineBuffer),
      imgfilt::kBounding, 1);
}

IMGFILT_API uint8_t IMGFILT_CALL RotationColor(const uint8_t* source, uint8_t* destination,
                                               uint32_t lineBytes, uint32_t width, uint32_t lines,
                                               uint32_t totalLines, uint32_t destLineBytes,
                                               float angle, uint8_t orientation,
                                               uint8_t bandState, uint8_t* lineBuffer) {
  return imgfilt::RunArbitrary(
      imgfilt::MakeCall(source, destination, lineBytes, width, lines, totalLines, destLineBytes,
                        AngleTenths(angle), orientation, bandState, lineBuffer),
      imgfilt::kBounding, 3);
}

IMGFILT_API uint8_t IMGFILT_CALL RotationSmallGray(const uint8_t* source, uint8_t* destination,
                                                   uint32_t lineBytes, uint32_t width,
                                                   uint32_t lines, uint32_t totalLines,
                                                   uint32_t destLineBytes, float angle,
                                                   uint8_t orientation, uint8_t bandState,
                                                   uint8_t* lineBuffer) {
  return imgfilt::RunArbitrary(
      imgfilt::MakeCall(source, destination, lineBytes, width, lines, totalLines, destLineBytes,
                        AngleTenths(angle), orientation, bandState, lineBuffer),
      imgfilt::kCropped, 1);
}

IMGFILT_API uint8_t IMGFILT_CALL RotationSmallColor(const uint8_t* source, uint8_t* destination,
                                                    uint32_t lineBytes, uint32_t width,
                                                    uint32_t lines, uint32_t totalLines,
                                                    uint32_t destLineBytes, float angle,
                                                    uint8_t orientation, uint8_t bandState,
                                                    uint8_t* lineBuffer) {
  return imgfilt::RunArbitrary(
      imgfilt::MakeCall(source, destination, lineBytes, width, lines, totalLines, destLineBytes,
                        AngleTenths(angle), orientation, bandState, lineBuffer),
      imgfilt::kCropped, 3);
}

}  // extern "C"
