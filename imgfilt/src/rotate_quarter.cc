#include "rotate_quarter.h"

#include <algorithm>
#include <cstring>

namespace imgfilt {

namespace {

// Square tiles keep both the source columns and the destination lines of a transposing copy in
// the first-level cache.
constexpr uint32_t kTile = 64;

// Quarter turn by 90 (clockwise) or 270: source (x, y) to (H - 1 - y, x) or (y, W - 1 - x).
// Source lines [y0, y1) and columns [x0, xEnd), all of whose places lie inside the destination.
// Each destination line of a tile takes a run of consecutive bytes, written forwards (270) or
// backwards (90) from the tile's source lines.
template <int Bpp>
void Transpose(const QuarterBand& s, bool clockwise, uint32_t y0, uint32_t y1, uint32_t x0,
               uint32_t xEnd, const Lines<uint8_t>& dst) {
  const uint8_t* rows[kTile];
  for (uint32_t ty = y0; ty < y1; ty += kTile) {
    const uint32_t n = std::min(y1 - ty, kTile);
    for (uint32_t k = 0; k < n; ++k) rows[k] = s.band[ty + k - s.first];
    // Destination column of source line ty, and the step to the next line's.
    const uint32_t col0 = clockwise ? s.height - 1 - ty : ty;
    for (uint32_t tx = x0; tx < xEnd; tx += kTile) {
      const uint32_t txEnd = std::min(xEnd, tx + kTile);
      for (uint32_t x = tx; x < txEnd; ++x) {
        uint8_t* out = dst[clockwise ? x : s.width - 1 - x] + size_t{col0} * Bpp;
        const size_t at = size_t{x} * Bpp;
        if (clockwise) {
          for (uint32_t k = 0; k < n; ++k) std::memcpy(out - ptrdiff_t(k) * Bpp, rows[k] + at, Bpp);
        } else {
          for (uint32_t k = 0; k < n; ++k) std::memcpy(out + size_t{k} * Bpp, rows[k] + at, Bpp);
        }
      }
    }
  }
}

template <int Bpp>
void Reverse(const uint8_t* in, uint8_t* out, uint32_t width, uint32_t x0) {
  for (uint32_t x = x0; x < width; ++x) {
    std::memcpy(out + size_t{width - 1 - x} * Bpp, in + size_t{x} * Bpp, Bpp);
  }
}

template <int Bpp>
void Turn(const QuarterBand& s, int degrees, const Lines<uint8_t>& dst, uint32_t dw, uint32_t dh) {
  const uint32_t y1 = s.first + s.count;
  switch (degrees) {
    case 90: {
      // Line x of the destination, column H - 1 - y: needs x < dh and H - 1 - y < dw.
      if (s.height == 0) return;
      const uint32_t y0 = std::max(s.first, s.height > dw ? s.height - dw : 0u);
      Transpose<Bpp>(s, true, y0, std::min(y1, s.height), 0, std::min(s.width, dh), dst);
      return;
    }
    case 270: {
      // Line W - 1 - x, column y: needs W - 1 - x < dh and y < dw.
      const uint32_t x0 = s.width > dh ? s.width - dh : 0;
      Transpose<Bpp>(s, false, s.first, std::min(y1, dw), x0, s.width, dst);
      return;
    }
    case 180: {
      // Line H - 1 - y, column W - 1 - x: needs H - 1 - y < dh and W - 1 - x < dw.
      const uint32_t x0 = s.width > dw ? s.width - dw : 0;
      const uint32_t y0 = std::max(s.first, s.height > dh ? s.height - dh : 0u);
      for (uint32_t y = y0; y < std::min(y1, s.height); ++y) {
        Reverse<Bpp>(s.band[y - s.first], dst[s.height - 1 - y], s.width, x0);
      }
      return;
    }
    default:
      for (uint32_t y = s.first; y < std::min(y1, dh); ++y) {
        std::memcpy(dst[y], s.band[y - s.first], size_t{std::min(s.width, dw)} * Bpp);
      }
  }
}

}  // namespace

void CopyQuarterTurn(const QuarterBand& source, int degrees, const Lines<uint8_t>& destination,
                     uint32_t destWidth, uint32_t destHeight, int bpp) {
  if (bpp == 3) {
    Turn<3>(source, degrees, destination, destWidth, destHeight);
  } else {
    Turn<1>(source, degrees, destination, destWidth, destHeight);
  }
}

}  // namespace imgfilt
