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

uint32_t BandOutputLines(uint32_t done, uint32_t lines, uint32_t total_lines,
                         uint32_t target_height) {
  // 64-bit: target_height x total_lines overflows 32 bits for a large enough image.
  const uint64_t start = std::min(done, total_lines);
  const uint64_t end = std::min<uint64_t>(uint64_t{done} + lines, total_lines);
  return static_cast<uint32_t>(target_height * end / total_lines -
                               target_height * start / total_lines);
}

uint8_t Scaler::Check(const ScaleCall& c) const {
  if (c.source == nullptr || c.destination == nullptr) return kNullPointer;
  if (c.line_bytes == 0 || c.width == 0 || c.lines == 0 || c.out_line_bytes == 0) return kZeroSize;
  if (c.total_lines == 0 || c.target_width == 0 || c.target_height == 0) return kZeroSize;
  for (uint32_t size : {c.width, c.target_width, c.total_lines, c.target_height}) {
    if (size > kMaxDimension) return kOutOfRange;
  }
  const auto bpp = static_cast<uint64_t>(bpp_);
  if (c.width * bpp > c.line_bytes || c.target_width * bpp > c.out_line_bytes) return kOutOfRange;
  return kOk;
}

void Scaler::Reset() {
  active_ = false;
  lines_done_ = outputs_done_ = 0;
  Release(enlarge_x_.entries);
  Release(enlarge_x_.groups);
  Release(enlarge_y_.entries);
  Release(reduce_x_.entries);
  Release(reduce_x_.pairs);
  reduce_x_.lanes = ReduceLanes{};
  Release(reduce_y_.entries);
  Release(reduce_y_.pairs);
}

uint8_t Scaler::StartImage(const ScaleCall& c) {
  // Whatever an unfinished image left behind goes now.
  Reset();
  uint8_t code = kOk;
  if (c.target_width > c.width) {
    code = BuildEnlargeTable(c.width, c.target_width, enlarge_x_);
    if (code == kOk) code = BuildEnlargeGroups(c.width, bpp_, enlarge_x_);
  } else if (c.target_width < c.width) {
    code = BuildReduceTable(c.width, c.target_width, reduce_x_);
    if (code == kOk) code = BuildReduceLanes(c.width, bpp_, reduce_x_);
  }
  if (code == kOk && c.target_height > c.total_lines) {
    code = BuildEnlargeTable(c.total_lines, c.target_height, enlarge_y_);
  } else if (code == kOk && c.target_height < c.total_lines) {
    code = BuildReduceTable(c.total_lines, c.target_height, reduce_y_);
  }
  if (code != kOk) {
    Reset();
    return code;
  }
  width_ = c.width;
  target_width_ = c.target_width;
  total_lines_ = c.total_lines;
  target_height_ = c.target_height;
  active_ = true;
  return kOk;
}

bool Scaler::SameImage(const ScaleCall& c) const {
  return c.width == width_ && c.target_width == target_width_ && c.total_lines == total_lines_ &&
         c.target_height == target_height_;
}

uint8_t Scaler::Run(const ScaleCall& call, const ScalePasses& passes) {
  if (const uint8_t code = Check(call); code != kOk) return code;
  if (call.width == call.target_width && call.total_lines == call.target_height) {
    return kNothingToDo;
  }
  const uint8_t state = std::min<uint8_t>(call.band_state, IMGFILT_BAND_ONLY);
  const bool first = state == IMGFILT_BAND_FIRST || state == IMGFILT_BAND_ONLY;
  const bool last = state == IMGFILT_BAND_LAST || state == IMGFILT_BAND_ONLY;
  if (first) {
    if (const uint8_t code = StartImage(call); code != kOk) return code;
  } else if (!active_ || !SameImage(call)) {
    // A later band needs the tables and counters of its own image's first band.
    return kOutOfRange;
  }
  if (!first && total_lines_ != target_height_ && call.line_buffer == nullptr) return kNullPointer;

  BandJob job(call, passes, ImageTables{bpp_, &enlarge_x_, &enlarge_y_, &reduce_x_, &reduce_y_},
              BandPosition{first, lines_done_, outputs_done_,
                           std::min(call.lines, total_lines_ - lines_done_),
                           BandOutputLines(lines_done_, call.lines, total_lines_, target_height_)});
  if (const uint8_t code = job.Run(); code != kOk) {
    if (first) Reset();
    return code;
  }
  if (last) {
    Reset();
  } else {
    lines_done_ += job.position().used_lines;
    outputs_done_ += job.position().output_lines;
  }
  return kOk;
}

}  // namespace imgfilt
