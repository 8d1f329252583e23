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
      width_change_(Direction(call.width, call.target_width)),
      height_change_(Direction(call.total_lines, call.target_height)),
      in_bytes_(size_t{call.width} * static_cast<size_t>(tables.bpp)),
      out_bytes_(size_t{call.target_width} * static_cast<size_t>(tables.bpp)) {
  const Lines<const uint8_t> src(call.source, call.line_bytes, call.lines, call.orientation);
  source_ = src[0];
  source_step_ = call.orientation == kBottomUp ? -static_cast<ptrdiff_t>(call.line_bytes)
                                               : static_cast<ptrdiff_t>(call.line_bytes);
}

uint8_t BandJob::Run() {
  if (position_.output_lines == 0) return kOk;
  if (!Allocate()) return kNoMemory;
  PrepareLines();
  const Lines<uint8_t> dst(call_.destination, call_.out_line_bytes, position_.output_lines,
                           call_.orientation);
  for (size_t k = 0; k < position_.output_lines; ++k) OutputLine(k, dst[k]);
  return kOk;
}

bool BandJob::Allocate() {
  const size_t used = position_.used_lines;
  const Lines<const uint8_t> src(call_.source, call_.line_bytes, call_.lines, call_.orientation);
  const Lines<uint8_t> dst(call_.destination, call_.out_line_bytes, position_.output_lines,
                           call_.orientation);
  const size_t src_span = (src.count() - 1) * src.line_bytes() + in_bytes_;
  const size_t dst_span = (dst.count() - 1) * dst.line_bytes() + out_bytes_;
  // The source may be the destination (a chain scaling in place): work from a copy then.
  if (Overlaps(src.lowest(), src_span, dst.lowest(), dst_span) &&
      !TryResize(band_copy_, used * in_bytes_)) {
    return false;
  }
  const bool needs_previous = height_change_ != 0;
  const bool own_previous =
      needs_previous && (position_.first || Overlaps(call_.line_buffer, in_bytes_, dst.lowest(), dst_span));
  if (own_previous && !TryResize(previous_line_, in_bytes_)) return false;
  if (width_change_ != 0 && !TryResize(scratch_, ScaleScratchBytes(call_.width, tables_.bpp))) {
    return false;
  }
  const bool height_first = width_change_ > 0 && height_change_ < 0;
  if (height_first && !TryResize(between_, in_bytes_)) return false;
  if (width_change_ != 0 && height_change_ != 0 && !height_first) {
    // Every line one output needs must stay cached while it is computed.
    ring_lines_ = height_change_ > 0 ? 2 : std::max<size_t>(tables_.reduce_y->max_span, 2);
    if (!TryResize(ring_, ring_lines_ * out_bytes_) || !TryResize(ring_tags_, ring_lines_) ||
        !TryResize(ring_where_, ring_lines_)) {
      return false;
    }
    std::fill(ring_tags_.begin(), ring_tags_.end(), kNoLine);
  }
  if (height_change_ < 0) {
    const size_t taps = tables_.reduce_y->max_count;
    if (!TryResize(taps_, taps) || !TryResize(weights_, taps)) return false;
  }
  return true;
}

void BandJob::PrepareLines() {
  if (!band_copy_.empty()) {
    for (size_t j = 0; j < position_.used_lines; ++j) {
      std::memcpy(&band_copy_[j * in_bytes_], source_ + static_cast<ptrdiff_t>(j) * source_step_,
                  in_bytes_);
    }
    source_ = band_copy_.data();
    source_step_ = static_cast<ptrdiff_t>(in_bytes_);
  }
  if (height_change_ == 0) return;
  if (!position_.first) {
    previous_ = call_.line_buffer;
    if (!previous_line_.empty()) {
      std::memcpy(previous_line_.data(), previous_, in_bytes_);
      previous_ = previous_line_.data();
    }
    return;
  }
  // The image's line -1, extrapolated from its first two lines.
  const uint8_t* l0 = source_;
  const uint8_t* l1 = position_.used_lines >= 2 ? source_ + source_step_ : source_;
  for (size_t i = 0; i < in_bytes_; ++i) {
    previous_line_[i] = static_cast<uint8_t>(std::clamp(2 * l0[i] - l1[i], 0, 255));
  }
  previous_ = previous_line_.data();
}

void BandJob::OutputLine(size_t k, uint8_t* out) {
  if (height_change_ == 0) {
    Horizontal(Line(static_cast<int64_t>(k), false), out);
  } else if (width_change_ == 0) {
    Vertical(k, false, out, in_bytes_);
  } else if (width_change_ > 0 && height_change_ < 0) {
    // The direction that reduces goes first.
    Vertical(k, false, between_.data(), in_bytes_);
    Horizontal(between_.data(), out);
  } else if (!HalveTwoLines(k, out)) {
    Vertical(k, true, out, out_bytes_);
  }
}

bool BandJob::HalveTwoLines(size_t k, uint8_t* out) {
  if (passes_.halve_two_lines == nullptr || height_change_ >= 0 || width_change_ >= 0 ||
      ring_lines_ < 3) {
    return false;
  }
  const ReduceTable& table = *tables_.reduce_y;
  const ReduceEntry& e = table.entries[position_.outputs_done + k];
  if (e.count != 3) return false;
  const ReducePair* p = &table.pairs[e.first];
  if (!table.halving && (p[0].weight != 0.25f || p[1].weight != 0.5f || p[2].weight != 0.25f ||
                         p[1].index != p[0].index + 1 || p[2].index != p[0].index + 2)) {
    return false;
  }
  // All three lines inside the band, the upper one already halved across.
  const int64_t j = p[0].index - static_cast<int64_t>(position_.lines_done);
  if (j < 0 || j + 2 >= static_cast<int64_t>(position_.used_lines)) return false;
  // The slots of lines j, j + 1 and j + 2, one after the other round the ring.
  const size_t upper_slot = static_cast<size_t>(j + 1) % ring_lines_;
  const size_t middle_slot = upper_slot + 1 == ring_lines_ ? 0 : upper_slot + 1;
  const size_t lower_slot = middle_slot + 1 == ring_lines_ ? 0 : middle_slot + 1;
  if (ring_tags_[upper_slot] != j) return false;
  uint8_t* middle = &ring_[middle_slot * out_bytes_];
  uint8_t* lower = &ring_[lower_slot * out_bytes_];
  if (!passes_.halve_two_lines(*tables_.reduce_x, ring_where_[upper_slot], source_ + (j + 1) * source_step_,
                               source_ + (j + 2) * source_step_, call_.width, tables_.bpp, middle,
                               lower, out)) {
    return false;
  }
  // The middle slot was only working room.
  ring_tags_[middle_slot] = kNoLine;
  ring_tags_[lower_slot] = j + 2;
  ring_where_[lower_slot] = lower;
  return true;
}

void BandJob::Horizontal(const uint8_t* in, uint8_t* out) {
  if (width_change_ > 0) {
    passes_.enlarge_line(*tables_.enlarge_x, in, call_.width, tables_.bpp, out, scratch_.data());
  } else {
    passes_.reduce_line(*tables_.reduce_x, in, call_.width, tables_.bpp, out, scratch_.data());
  }
}

void BandJob::Vertical(size_t k, bool scaled, uint8_t* out, size_t bytes) {
  const size_t g = position_.outputs_done + k;
  const auto done = static_cast<int64_t>(position_.lines_done);
  const auto last = static_cast<int64_t>(position_.used_lines) - 1;
  if (height_change_ > 0) {
    const EnlargeEntry& e = tables_.enlarge_y->entries[g];
    const int64_t upper = std::clamp<int64_t>(e.index - done, -1, last);
    if (e.w0 == 128) {
      if (scaled) {
        CopyScaledLine(upper, out);
      } else {
        std::memcpy(out, Line(upper, false), bytes);
      }
    } else {
      passes_.blend_lines(Line(upper, scaled), Line(std::min(upper + 1, last), scaled), e.w0, e.w1,
                          out, bytes);
    }
    return;
  }
  const ReduceTable& table = *tables_.reduce_y;
  const ReduceEntry& e = table.entries[g];
  for (size_t i = 0; i < e.count; ++i) {
    const ReducePair& pair = table.pairs[e.first + i];
    // Lines of earlier bands are represented by the previous line, lines of the next band by
    // this band's last line.
    const int64_t j = pair.index - done;
    taps_[i] = Line(j < 0 ? -1 : std::min(j, last), scaled);
    weights_[i] = pair.weight;
  }
  passes_.weigh_lines(taps_.data(), weights_.data(), e.count, out, bytes);
}

const uint8_t* BandJob::Line(int64_t j, bool scaled) {
  const uint8_t* raw = j < 0 ? previous_ : source_ + j * source_step_;
  if (!scaled) return raw;
  const size_t slot = static_cast<size_t>(j + 1) % ring_lines_;
  if (ring_tags_[slot] != j) {
    uint8_t* line = &ring_[slot * out_bytes_];
    Horizontal(raw, line);
    ring_tags_[slot] = j;
    ring_where_[slot] = line;
  }
  return ring_where_[slot];
}

void BandJob::CopyScaledLine(int64_t j, uint8_t* out) {
  const size_t slot = static_cast<size_t>(j + 1) % ring_lines_;
  if (ring_tags_[slot] == j) {
    std::memcpy(out, ring_where_[slot], out_bytes_);
    return;
  }
  // Scale straight into the output; the next output that blends with this line reads it there
  // (output lines are written once and not touched again in the band).
  Horizontal(j < 0 ? previous_ : source_ + j * source_step_, out);
  ring_tags_[slot] = j;
  ring_where_[slot] = out;
}

}  // namespace imgfilt
