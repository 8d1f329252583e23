// Geometry shared by every raster operation: where an image line lies in memory, how a caller's
// region is normalised, and the result codes.
#ifndef IMGFILT_SRC_RASTER_H_
#define IMGFILT_SRC_RASTER_H_

#include <cstddef>
#include <cstdint>

#include "imgfilt.h"

namespace imgfilt {

enum Code : uint8_t {
  kOk = IMGFILT_OK,
  kRegionTooSmall = IMGFILT_REGION_TOO_SMALL,
  kZeroSize = IMGFILT_ZERO_SIZE,
  kNoMemory = IMGFILT_NO_MEMORY,
  kNullPointer = IMGFILT_NULL_POINTER,
  kNothingToDo = IMGFILT_NOTHING_TO_DO,
  kOutOfRange = IMGFILT_OUT_OF_RANGE,
};

constexpr uint8_t kBottomUp = 1;

// Lines of a caller's raster addressed in image order, whatever the storage order.
template <typename Byte>
class Lines {
 public:
  Lines(Byte* base, size_t lineBytes, size_t count, uint8_t orientation)
      : base_(base), lineBytes_(lineBytes), count_(count), bottomUp_(orientation == kBottomUp) {}

  // Image line i (0 = top).
  Byte* operator[](size_t i) const {
    return base_ + (bottomUp_ ? count_ - 1 - i : i) * lineBytes_;
  }
  size_t count() const { return count_; }
  size_t lineBytes() const { return lineBytes_; }
  // The line lowest in memory.
  Byte* lowest() const { return base_; }

 private:
  Byte* base_;
  size_t lineBytes_;
  size_t count_;
  bool bottomUp_;
};

// True when the byte ranges [a, a + aLen) and [b, b + bLen) share a byte.
bool Overlaps(const void* a, size_t aLen, const void* b, size_t bLen);

// Brings `rect` into a raster of `width` x `lines` pixels: corners ordered, a rectangle lying
// wholly outside replaced by the whole raster, one partly outside clipped to it.
void NormaliseRect(ImageRect& rect, uint32_t width, uint32_t lines);

// The pixels a filter works on in band state 4: `region` normalised (and written back), or the
// whole raster when it is null. Edges inclusive.
struct PixelBounds {
  size_t left, top, right, bottom;
  size_t width() const { return right - left + 1; }
  size_t height() const { return bottom - top + 1; }
};
PixelBounds RegionBounds(ImageRect* region, uint32_t width, uint32_t lines);

}  // namespace imgfilt

#endif  // IMGFILT_SRC_RASTER_H_
