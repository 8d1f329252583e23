#include "scaler.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "raster.h"
#include "scale_band.h"
#include "work_buffer.h"

namespace imgfilt {
namespace {

// Larger sizes would overflow the tables' 32-bit byte offsets; no scanner comes near them.
constexpr uint32_t kMaxDimension = 1u << 28;

template <typename T>
void Release(std::vector<T>& v) {
  std::vector<T>().swap(v);
}

}  // namespace

uint32_t BandOutputLines(uint32_t done, uint32_t lines, uint32_t totalLines,
                         uint32_t targetHeight) {
  // 64-bit: targetHeight x totalLines overflows 32 bits for a large enough image.
  const uint64_t start = std::min(done, totalLines);
  const uint64_t end = std::min<uint64_t>(uint64_t{done} + lines, totalLines);
  return static_cast<uint32_t>(targetHeight * end / totalLines -
                               targetHeight * start / totalLines);
}

uint8_t Scaler::Check(const ScaleCall& c) const {
  if (c.source == nullptr || c.destination == nullptr) return kNullPointer;
  if (c.lineBytes == 0 || c.width == 0 || c.lines == 0 || c.outLineBytes == 0) return kZeroSize;
  if (c.totalLines == 0 || c.targetWidth == 0 || c.targetHeight == 0) return kZeroSize;
  for (uint32_t size : {c.width, c.targetWidth, c.totalLines, c.targetHeight}) {
    if (size > kMaxDimension) return kOutOfRange;
  }
  const auto bpp = static_cast<uint64_t>(bpp_);
  if (c.width * bpp > c.lineBytes || c.targetWidth * bpp > c.outLineBytes) return kOutOfRange;
  return kOk;
}

void Scaler::Reset() {
  active_ = false;
  linesDone_ = outputsDone_ = 0;
  Release(enlargeX_.entries);
  Release(enlargeX_.groups);
  Release(enlargeY_.entries);
  Release(reduceX_.entries);
  Release(reduceX_.pairs);
  reduceX_.lanes = ReduceLanes{};
  Release(reduceY_.entries);
  Release(reduceY_.pairs);
}

uint8_t Scaler::StartImage(const ScaleCall& c) {
  // Whatever an unfinished image left behind goes now.
  Reset();
  uint8_t code = kOk;
  if (c.targetWidth > c.width) {
    code = BuildEnlargeTable(c.width, c.targetWidth, enlargeX_);
    if (code == kOk) code = BuildEnlargeGroups(c.width, bpp_, enlargeX_);
  } else if (c.targetWidth < c.width) {
    code = BuildReduceTable(c.width, c.targetWidth, reduceX_);
    if (code == kOk) code = BuildReduceLanes(c.width, bpp_, reduceX_);
  }
  if (code == kOk && c.targetHeight > c.totalLines) {
    code = BuildEnlargeTable(c.totalLines, c.targetHeight, enlargeY_);
  } else if (code == kOk && c.targetHeight < c.totalLines) {
    code = BuildReduceTable(c.totalLines, c.targetHeight, reduceY_);
  }
  if (code != kOk) {
    Reset();
    return code;
  }
  width_ = c.width;
  targetWidth_ = c.targetWidth;
  totalLines_ = c.totalLines;
  targetHeight_ = c.targetHeight;
  active_ = true;
  return kOk;
}

bool Scaler::SameImage(const ScaleCall& c) const {
  return c.width == width_ && c.targetWidth == targetWidth_ && c.totalLines == totalLines_ &&
         c.targetHeight == targetHeight_;
}

uint8_t Scaler::Run(const ScaleCall& call, const ScalePasses& passes) {
  if (const uint8_t code = Check(call); code != kOk) return code;
  if (call.width == call.targetWidth && call.totalLines == call.targetHeight) {
    return kNothingToDo;
  }
  const uint8_t state = std::min<uint8_t>(call.bandState, IMGFILT_BAND_ONLY);
  const bool first = state == IMGFILT_BAND_FIRST || state == IMGFILT_BAND_ONLY;
  const bool last = state == IMGFILT_BAND_LAST || state == IMGFILT_BAND_ONLY;
  if (first) {
    if (const uint8_t code = StartImage(call); code != kOk) return code;
  } else if (!active_ || !SameImage(call)) {
    // A later band needs the tables and counters of its own image's first band.
    return kOutOfRange;
  }
  if (!first && totalLines_ != targetHeight_ && call.lineBuffer == nullptr) return kNullPointer;

  BandJob job(call, passes, ImageTables{bpp_, &enlargeX_, &enlargeY_, &reduceX_, &reduceY_},
              BandPosition{first, linesDone_, outputsDone_,
                           std::min(call.lines, totalLines_ - linesDone_),
                           BandOutputLines(linesDone_, call.lines, totalLines_, targetHeight_)});
  if (const uint8_t code = job.Run(); code != kOk) {
    if (first) Reset();
    return code;
  }
  if (last) {
    Reset();
  } else {
    linesDone_ += job.position().usedLines;
    outputsDone_ += job.position().outputLines;
  }
  return kOk;
}

}  // namespace imgfilt
