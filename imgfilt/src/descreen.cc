// The descreen exports: the five-line band protocol with its recursive window.
#include <algorithm>
#include <cstring>
#include <vector>

#include "descreen_kernels.h"
#include "imgfilt.h"
#include "raster.h"
#include "work_buffer.h"

namespace imgfilt {
namespace {

constexpr size_t kHeld = 4;  // lines the caller's buffer carries between bands

struct DescreenCall {
  const uint8_t* source;
  uint8_t* destination;
  uint32_t lineBytes;
  uint32_t width;
  uint32_t lines;
  uint8_t orientation;
  int kernel;
  uint8_t bandState;
  uint8_t* lineBuffer;
  ImageRect* region;
  int bpp;
};

// Which lines and columns one call reads and writes.
struct Span {
  size_t x_offset = 0, pixels = 0;
  size_t first = 0;        // image line whose copies start the window of a new image or region
  size_t inFirst = 0;     // image line of the first input that enters the window at the bottom
  size_t inCount = 0;
  size_t outFirst = 0;    // image line of the first output
  size_t outCount = 0;
  bool starts = false;     // the window starts from `first` rather than from held lines
  bool keeps = false;      // held lines go back to the caller's buffer
};

uint8_t Check(const DescreenCall& c) {
  if (c.source == nullptr || c.destination == nullptr) return kNullPointer;
  if (c.lineBytes == 0 || c.width == 0 || c.lines == 0) return kZeroSize;
  if (c.bandState > IMGFILT_BAND_NONE) return kOutOfRange;
  if (uint64_t{c.width} * static_cast<uint64_t>(c.bpp) > c.lineBytes) return kOutOfRange;
  if (c.bandState != IMGFILT_BAND_NONE && c.lineBuffer == nullptr) return kNullPointer;
  return kOk;
}

uint8_t Plan(const DescreenCall& c, Span& s) {
  if (c.bandState != IMGFILT_BAND_NONE) {
    s.pixels = c.width;
    s.keeps = true;
    s.starts = c.bandState == IMGFILT_BAND_FIRST || c.bandState == IMGFILT_BAND_ONLY;
    // A new image fills the window with its first two lines; a one-line first band only has one.
    s.inFirst = s.starts ? std::min<size_t>(2, c.lines) : 0;
    s.inCount = c.lines - s.inFirst;
    s.outCount = s.inCount;
    return kOk;
  }
  const PixelBounds b = RegionBounds(c.region, c.width, c.lines);
  if (b.width() < 3 || b.height() < 3) return kRegionTooSmall;
  s.x_offset = b.left * static_cast<size_t>(c.bpp);
  s.pixels = b.width();
  s.first = b.top;
  s.inFirst = b.top + 2;
  s.inCount = b.height() - 2;
  s.outFirst = b.top;
  s.outCount = s.inCount + 2;  // the region's last line stands in for the two below it
  s.starts = true;
  return kOk;
}

class Runner {
 public:
  Runner(const DescreenCall& c, const Span& s)
      : c_(c), s_(s), src_(c.source, c.lineBytes, c.lines, c.orientation),
        dst_(c.destination, c.lineBytes, c.lines, c.orientation),
        row_(s.pixels * static_cast<size_t>(c.bpp)) {}

  uint8_t Run() {
    if (!TryResize(ring_, 6 * row_)) return kNoMemory;
    if (!CopyOverlappingSource()) return kNoMemory;
    for (size_t i = 0; i < 5; ++i) window_[i] = &ring_[i * row_];
    uint8_t* filtered = &ring_[5 * row_];
    StartWindow();
    const bool writes = s_.pixels >= DescreenMinWidth(c_.kernel);
    for (size_t j = 0; j < s_.outCount; ++j) {
      if (j < s_.inCount) {
        std::memcpy(window_[4], Input(j), row_);
      } else {
        std::memcpy(window_[4], window_[3], row_);  // below the region: its last line again
      }
      if (writes) {
        const DescreenRows rows{{window_[0], window_[1], window_[2], window_[3], window_[4]}};
        DescreenRowFast(c_.kernel, rows, filtered, s_.pixels, c_.bpp);
        std::memcpy(dst_[s_.outFirst + j] + s_.x_offset, filtered, row_);
        std::memcpy(window_[2], filtered, row_);  // the lines above the next centre are filtered
      }
      std::rotate(window_, window_ + 1, window_ + 5);
    }
    if (s_.keeps) {
      for (size_t i = 0; i < kHeld; ++i) std::memcpy(Held(i), window_[i], row_);
    }
    return kOk;
  }

 private:
  // Outputs could overwrite inputs not yet read when the buffers overlap without coinciding.
  bool CopyOverlappingSource() {
    const size_t span = (size_t{c_.lines} - 1) * c_.lineBytes + size_t{c_.width} * static_cast<size_t>(c_.bpp);
    if (c_.source == c_.destination || !Overlaps(src_.lowest(), span, dst_.lowest(), span)) return true;
    const size_t count = s_.inFirst + s_.inCount - s_.first;
    if (!TryResize(copy_, count * row_)) return false;
    for (size_t i = 0; i < count; ++i) std::memcpy(&copy_[i * row_], src_[s_.first + i] + s_.x_offset, row_);
    return true;
  }

  const uint8_t* Source(size_t imageLine) const {
    if (!copy_.empty()) return &copy_[(imageLine - s_.first) * row_];
    return src_[imageLine] + s_.x_offset;
  }
  const uint8_t* Input(size_t j) const { return Source(s_.inFirst + j); }
  uint8_t* Held(size_t i) const { return c_.lineBuffer + i * size_t{c_.lineBytes}; }

  // Window lines -2..1 before the first input arrives as line 2.
  void StartWindow() {
    if (!s_.starts) {
      for (size_t i = 0; i < kHeld; ++i) std::memcpy(window_[i], Held(i), row_);
      return;
    }
    const size_t second = s_.inFirst > s_.first + 1 ? s_.first + 1 : s_.first;
    for (size_t i = 0; i < 3; ++i) std::memcpy(window_[i], Source(s_.first), row_);
    std::memcpy(window_[3], Source(second), row_);
  }

  const DescreenCall& c_;
  const Span& s_;
  Lines<const uint8_t> src_;
  Lines<uint8_t> dst_;
  size_t row_;
  std::vector<uint8_t> ring_;  // the five window lines and the filtered line
  std::vector<uint8_t> copy_;
  uint8_t* window_[5] = {};
};

uint8_t Descreen(const DescreenCall& c) {
  if (const uint8_t code = Check(c); code != kOk) return code;
  Span span;
  if (const uint8_t code = Plan(c, span); code != kOk) return code;
  return Runner(c, span).Run();
}

}  // namespace
}  // namespace imgfilt

extern "C" {

IMGFILT_API uint8_t IMGFILT_CALL DescreenGray(const uint8_t* source, uint8_t* destination, uint32_t lineBytes,
                                              uint32_t width, uint32_t lines, uint8_t orientation,
                                              uint8_t screenRuling, uint16_t xResolution, uint16_t yResolution,
                                              uint8_t bandState, uint8_t* lineBuffer, ImageRect* region) {
  const int kernel = imgfilt::SelectDescreenKernel(std::min(xResolution, yResolution), screenRuling);
  return imgfilt::Descreen({source, destination, lineBytes, width, lines, orientation, kernel, bandState,
                            lineBuffer, region, 1});
}

IMGFILT_API uint8_t IMGFILT_CALL DescreenColor(const uint8_t* source, uint8_t* destination, uint32_t lineBytes,
                                               uint32_t width, uint32_t lines, uint8_t orientation,
                                               uint8_t screenRuling, uint16_t xResolution, uint16_t yResolution,
                                               uint8_t bandState, uint8_t* lineBuffer, ImageRect* region) {
  const int kernel = imgfilt::SelectDescreenKernel(std::min(xResolution, yResolution), screenRuling);
  return imgfilt::Descreen({source, destination, lineBytes, width, lines, orientation, kernel, bandState,
                            lineBuffer, region, 3});
}

}  // extern "C"
