#include "scale_band.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "scaler.h"
#include "work_buffer.h"

namespace imgfilt {
namespace {

constexpr int64_t kNoLine = std::numeric_limits<int64_t>::min();

int Direction(uint32_t from, uint32_t to) { return to > from ? 1 : to < from ? -1 : 0; }

}  // namespace

BandJob::BandJob(const ScaleCall& call, const ScalePasses& passes, const ImageTables& tables,
                 const BandPosition& position)
    : call_(call), passes_(passes), tables_(tables), position_(position),
      widthChange_(Direction(call.width, call.targetWidth)),
      heightChange_(Direction(call.totalLines, call.targetHeight)),
      inBytes_(size_t{call.width} * static_cast<size_t>(tables.bpp)),
      outBytes_(size_t{call.targetWidth} * static_cast<size_t>(tables.bpp)) {
  const Lines<const uint8_t> src(call.source, call.lineBytes, call.lines, call.orientation);
  source_ = src[0];
  sourceStep_ = call.orientation == kBottomUp ? -static_cast<ptrdiff_t>(call.lineBytes)
                                               : static_cast<ptrdiff_t>(call.lineBytes);
}

uint8_t BandJob::Run() {
  if (position_.outputLines == 0) return kOk;
  if (!Allocate()) return kNoMemory;
  PrepareLines();
  const Lines<uint8_t> dst(call_.destination, call_.outLineBytes, position_.outputLines,
                           call_.orientation);
  for (size_t k = 0; k < position_.outputLines; ++k) OutputLine(k, dst[k]);
  return kOk;
}

bool BandJob::Allocate() {
  const size_t used = position_.usedLines;
  const Lines<const uint8_t> src(call_.source, call_.lineBytes, call_.lines, call_.orientation);
  const Lines<uint8_t> dst(call_.destination, call_.outLineBytes, position_.outputLines,
                           call_.orientation);
  const size_t srcSpan = (src.count() - 1) * src.lineBytes() + inBytes_;
  const size_t dstSpan = (dst.count() - 1) * dst.lineBytes() + outBytes_;
  // The source may be the destination (a chain scaling in place): work from a copy then.
  if (Overlaps(src.lowest(), srcSpan, dst.lowest(), dstSpan) &&
      !TryResize(bandCopy_, used * inBytes_)) {
    return false;
  }
  const bool needsPrevious = heightChange_ != 0;
  const bool ownPrevious =
      needsPrevious && (position_.first || Overlaps(call_.lineBuffer, inBytes_, dst.lowest(), dstSpan));
  if (ownPrevious && !TryResize(previousLine_, inBytes_)) return false;
  if (widthChange_ != 0 && !TryResize(scratch_, ScaleScratchBytes(call_.width, tables_.bpp))) {
    return false;
  }
  const bool heightFirst = widthChange_ > 0 && heightChange_ < 0;
  if (heightFirst && !TryResize(between_, inBytes_)) return false;
  if (widthChange_ != 0 && heightChange_ != 0 && !heightFirst) {
    // Every line one output needs must stay cached while it is computed.
    ringLines_ = heightChange_ > 0 ? 2 : std::max<size_t>(tables_.reduceY->maxSpan, 2);
    if (!TryResize(ring_, ringLines_ * outBytes_) || !TryResize(ringTags_, ringLines_) ||
        !TryResize(ringWhere_, ringLines_)) {
      return false;
    }
    std::fill(ringTags_.begin(), ringTags_.end(), kNoLine);
  }
  if (heightChange_ < 0) {
    const size_t taps = tables_.reduceY->maxCount;
    if (!TryResize(taps_, taps) || !TryResize(weights_, taps)) return false;
  }
  return true;
}

void BandJob::PrepareLines() {
  if (!bandCopy_.empty()) {
    for (size_t j = 0; j < position_.usedLines; ++j) {
      std::memcpy(&bandCopy_[j * inBytes_], source_ + static_cast<ptrdiff_t>(j) * sourceStep_,
                  inBytes_);
    }
    source_ = bandCopy_.data();
    sourceStep_ = static_cast<ptrdiff_t>(inBytes_);
  }
  if (heightChange_ == 0) return;
  if (!position_.first) {
    previous_ = call_.lineBuffer;
    if (!previousLine_.empty()) {
      std::memcpy(previousLine_.data(), previous_, inBytes_);
      previous_ = previousLine_.data();
    }
    return;
  }
  // The image's line -1, extrapolated from its first two lines.
  const uint8_t* l0 = source_;
  const uint8_t* l1 = position_.usedLines >= 2 ? source_ + sourceStep_ : source_;
  for (size_t i = 0; i < inBytes_; ++i) {
    previousLine_[i] = static_cast<uint8_t>(std::clamp(2 * l0[i] - l1[i], 0, 255));
  }
  previous_ = previousLine_.data();
}

void BandJob::OutputLine(size_t k, uint8_t* out) {
  if (heightChange_ == 0) {
    Horizontal(Line(static_cast<int64_t>(k), false), out);
  } else if (widthChange_ == 0) {
    Vertical(k, false, out, inBytes_);
  } else if (widthChange_ > 0 && heightChange_ < 0) {
    // The direction that reduces goes first.
    Vertical(k, false, between_.data(), inBytes_);
    Horizontal(between_.data(), out);
  } else if (!HalveTwoLines(k, out)) {
    Vertical(k, true, out, outBytes_);
  }
}

bool BandJob::HalveTwoLines(size_t k, uint8_t* out) {
  if (passes_.halveTwoLines == nullptr || heightChange_ >= 0 || widthChange_ >= 0 ||
      ringLines_ < 3) {
    return false;
  }
  const ReduceTable& table = *tables_.reduceY;
  const ReduceEntry& e = table.entries[position_.outputsDone + k];
  if (e.count != 3) return false;
  const ReducePair* p = &table.pairs[e.first];
  if (!table.halving && (p[0].weight != 0.25f || p[1].weight != 0.5f || p[2].weight != 0.25f ||
                         p[1].index != p[0].index + 1 || p[2].index != p[0].index + 2)) {
    return false;
  }
  // All three lines inside the band, the upper one already halved across.
  const int64_t j = p[0].index - static_cast<int64_t>(position_.linesDone);
  if (j < 0 || j + 2 >= static_cast<int64_t>(position_.usedLines)) return false;
  // The slots of lines j, j + 1 and j + 2, one after the other round the ring.
  const size_t upperSlot = static_cast<size_t>(j + 1) % ringLines_;
  const size_t middleSlot = upperSlot + 1 == ringLines_ ? 0 : upperSlot + 1;
  const size_t lowerSlot = middleSlot + 1 == ringLines_ ? 0 : middleSlot + 1;
  if (ringTags_[upperSlot] != j) return false;
  uint8_t* middle = &ring_[middleSlot * outBytes_];
  uint8_t* lower = &ring_[lowerSlot * outBytes_];
  if (!passes_.halveTwoLines(*tables_.reduceX, ringWhere_[upperSlot], source_ + (j + 1) * sourceStep_,
                               source_ + (j + 2) * sourceStep_, call_.width, tables_.bpp, middle,
                               lower, out)) {
    return false;
  }
  // The middle slot was only working room.
  ringTags_[middleSlot] = kNoLine;
  ringTags_[lowerSlot] = j + 2;
  ringWhere_[lowerSlot] = lower;
  return true;
}

void BandJob::Horizontal(const uint8_t* in, uint8_t* out) {
  if (widthChange_ > 0) {
    passes_.enlargeLine(*tables_.enlargeX, in, call_.width, tables_.bpp, out, scratch_.data());
  } else {
    passes_.reduceLine(*tables_.reduceX, in, call_.width, tables_.bpp, out, scratch_.data());
  }
}

void BandJob::Vertical(size_t k, bool scaled, uint8_t* out, size_t bytes) {
  const size_t g = position_.outputsDone + k;
  const auto done = static_cast<int64_t>(position_.linesDone);
  const auto last = static_cast<int64_t>(position_.usedLines) - 1;
  if (heightChange_ > 0) {
    const EnlargeEntry& e = tables_.enlargeY->entries[g];
    const int64_t upper = std::clamp<int64_t>(e.index - done, -1, last);
    if (e.w0 == 128) {
      if (scaled) {
        CopyScaledLine(upper, out);
      } else {
        std::memcpy(out, Line(upper, false), bytes);
      }
    } else {
      passes_.blendLines(Line(upper, scaled), Line(std::min(upper + 1, last), scaled), e.w0, e.w1,
                          out, bytes);
    }
    return;
  }
  const ReduceTable& table = *tables_.reduceY;
  const ReduceEntry& e = table.entries[g];
  for (size_t i = 0; i < e.count; ++i) {
    const ReducePair& pair = table.pairs[e.first + i];
    // Lines of earlier bands are represented by the previous line, lines of the next band by
    // this band's last line.
    const int64_t j = pair.index - done;
    taps_[i] = Line(j < 0 ? -1 : std::min(j, last), scaled);
    weights_[i] = pair.weight;
  }
  passes_.weighLines(taps_.data(), weights_.data(), e.count, out, bytes);
}

const uint8_t* BandJob::Line(int64_t j, bool scaled) {
  const uint8_t* raw = j < 0 ? previous_ : source_ + j * sourceStep_;
  if (!scaled) return raw;
  const size_t slot = static_cast<size_t>(j + 1) % ringLines_;
  if (ringTags_[slot] != j) {
    uint8_t* line = &ring_[slot * outBytes_];
    Horizontal(raw, line);
    ringTags_[slot] = j;
    ringWhere_[slot] = line;
  }
  return ringWhere_[slot];
}

void BandJob::CopyScaledLine(int64_t j, uint8_t* out) {
  const size_t slot = static_cast<size_t>(j + 1) % ringLines_;
  if (ringTags_[slot] == j) {
    std::memcpy(out, ringWhere_[slot], outBytes_);
    return;
  }
  // Scale straight into the output; the next output that blends with this line reads it there
  // (output lines are written once and not touched again in the band).
  Horizontal(j < 0 ? previous_ : source_ + j * sourceStep_, out);
  ringTags_[slot] = j;
  ringWhere_[slot] = out;
}

}  // namespace imgfilt
