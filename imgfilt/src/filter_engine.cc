#include "filter_engine.h"

#include <cstring>
#include <vector>

#include "kernel_simd.h"
#include "raster.h"
#include "work_buffer.h"

namespace imgfilt {
namespace {

constexpr uint8_t kNoBanding = IMGFILT_BAND_NONE;

// Which lines one call reads and writes. Output j is centred on the line before input j; the two
// lines before the first input are the held lines.
struct Plan {
  size_t x_offset = 0;     // bytes from a line's start to the first processed pixel
  size_t pixels = 0;       // processed pixels per line
  size_t first_line = 0;   // image line that fills the held lines of a new image or region
  size_t in_first = 0;     // image line of the first input
  size_t in_count = 0;     // inputs read
  size_t out_first = 0;    // image line of the first output
  size_t out_count = 0;    // outputs written; one more than the inputs when the last line repeats
  bool starts_image = false;  // the held lines start as copies of first_line
  bool keeps_held = false;    // the caller's line buffer carries the held lines across calls
};

uint8_t CheckArguments(const FilterCall& c, int bpp) {
  if (c.source == nullptr || c.destination == nullptr) return kNullPointer;
  if (c.line_bytes == 0 || c.width == 0 || c.lines == 0) return kZeroSize;
  if (c.band_state > kNoBanding) return kOutOfRange;
  // A shorter line would make every line overlap the next one.
  if (uint64_t{c.width} * static_cast<uint64_t>(bpp) > c.line_bytes) return kOutOfRange;
  if (c.band_state != kNoBanding && c.line_buffer == nullptr) return kNullPointer;
  return kOk;
}

uint8_t PlanRegion(const FilterCall& c, int bpp, Plan& plan) {
  const PixelBounds b = RegionBounds(c.region, c.width, c.lines);
  if (b.width() < 2 || b.height() < 2) return kRegionTooSmall;
  plan.x_offset = b.left * static_cast<size_t>(bpp);
  plan.pixels = b.width();
  plan.first_line = b.top;
  plan.in_first = b.top + 1;
  plan.in_count = b.height() - 1;
  plan.out_first = b.top;
  plan.out_count = plan.in_count + 1;  // the region's last line stands in for the line below it
  plan.starts_image = true;
  return kOk;
}

uint8_t MakePlan(const FilterCall& c, int bpp, Plan& plan) {
  if (c.band_state == kNoBanding) return PlanRegion(c, bpp, plan);
  plan.pixels = c.width;
  plan.keeps_held = true;
  plan.starts_image = c.band_state == IMGFILT_BAND_FIRST || c.band_state == IMGFILT_BAND_ONLY;
  plan.in_first = plan.starts_image ? 1 : 0;
  plan.in_count = c.lines - plan.in_first;
  plan.out_count = plan.in_count;
  return kOk;
}

// Runs the line loop of one planned call.
class BandRunner {
 public:
  BandRunner(const FilterCall& c, const Kernel& k, RowFilter f, const Plan& p)
      : call_(c), kernel_(k), filter_(f), plan_(p),
        src_(c.source, c.line_bytes, c.lines, c.orientation),
        dst_(c.destination, c.line_bytes, c.lines, c.orientation),
        row_bytes_(p.pixels * static_cast<size_t>(k.bpp)) {}

  uint8_t Run() {
    if (!Prepare()) return kNoMemory;
    const uint8_t* above = nullptr;
    const uint8_t* current = nullptr;
    StartHeld(above, current);
    const bool writes = plan_.pixels >= kernel_.MinWidth();
    for (size_t j = 0; j < plan_.out_count; ++j) {
      const uint8_t* below = j < plan_.in_count ? Input(j) : current;
      if (writes) filter_(kernel_, Rows{above, current, below}, Output(j), plan_.pixels);
      above = current;
      current = below;
    }
    if (plan_.keeps_held) StoreHeld(above, current);
    return kOk;
  }

 private:
  // Chooses how inputs survive being overwritten and allocates for it; nothing is written yet.
  bool Prepare() {
    const size_t used = call_.width * static_cast<size_t>(kernel_.bpp);
    const size_t span = (call_.lines - 1) * size_t{call_.line_bytes} + used;
    if (call_.source == call_.destination) {
      // Output j only ever overwrites lines already read, so a copy of the last three inputs
      // (and of the region's first line) is enough.
      same_buffer_ = true;
      return TryResize(ring_, 4 * row_bytes_);
    }
    if (!Overlaps(src_.lowest(), span, dst_.lowest(), span)) return true;
    // Shifted overlap: outputs could overwrite inputs not yet read, so work from a copy.
    const size_t copied = plan_.in_first + plan_.in_count - plan_.first_line;
    if (!TryResize(band_copy_, copied * row_bytes_)) return false;
    for (size_t i = 0; i < copied; ++i) {
      std::memcpy(&band_copy_[i * row_bytes_], src_[plan_.first_line + i] + plan_.x_offset,
                  row_bytes_);
    }
    return true;
  }

  const uint8_t* SourceLine(size_t image_line) const {
    if (!band_copy_.empty()) return &band_copy_[(image_line - plan_.first_line) * row_bytes_];
    return src_[image_line] + plan_.x_offset;
  }

  uint8_t* Output(size_t j) const { return dst_[plan_.out_first + j] + plan_.x_offset; }

  uint8_t* HeldLine(int i) const { return call_.line_buffer + i * size_t{call_.line_bytes}; }

  const uint8_t* Input(size_t j) {
    const uint8_t* line = SourceLine(plan_.in_first + j);
    if (!same_buffer_) return line;
    uint8_t* slot = &ring_[(j % 3) * row_bytes_];
    std::memcpy(slot, line, row_bytes_);
    return slot;
  }

  void StartHeld(const uint8_t*& above, const uint8_t*& current) {
    if (!plan_.starts_image) {
      above = HeldLine(0);
      current = HeldLine(1);
      return;
    }
    const uint8_t* first = SourceLine(plan_.first_line);
    if (plan_.keeps_held) {
      std::memcpy(HeldLine(1), first, row_bytes_);
      first = HeldLine(1);
    } else if (same_buffer_) {
      uint8_t* kept = &ring_[3 * row_bytes_];
      std::memcpy(kept, first, row_bytes_);
      first = kept;
    }
    above = current = first;
  }

  // Leaves the last two lines of the window in the caller's buffer, in image order.
  void StoreHeld(const uint8_t* above, const uint8_t* current) {
    if (above != HeldLine(0)) std::memmove(HeldLine(0), above, row_bytes_);
    if (current != HeldLine(1)) std::memmove(HeldLine(1), current, row_bytes_);
  }

  const FilterCall& call_;
  const Kernel& kernel_;
  RowFilter filter_;
  const Plan& plan_;
  Lines<const uint8_t> src_;
  Lines<uint8_t> dst_;
  size_t row_bytes_;
  bool same_buffer_ = false;
  std::vector<uint8_t> ring_;       // three inputs and the first line, when source is destination
  std::vector<uint8_t> band_copy_;  // the inputs, when source and destination overlap otherwise
};

}  // namespace

uint8_t RunFilter(const FilterCall& call, const Kernel& kernel, RowFilter row_filter) {
  if (const uint8_t code = CheckArguments(call, kernel.bpp); code != kOk) return code;
  Plan plan;
  if (const uint8_t code = MakePlan(call, kernel.bpp, plan); code != kOk) return code;
  return BandRunner(call, kernel, row_filter, plan).Run();
}

uint8_t RunFilter(const FilterCall& call, const Kernel& kernel) {
  return RunFilter(call, kernel, &FilterRowFast);
}

}  // namespace imgfilt
