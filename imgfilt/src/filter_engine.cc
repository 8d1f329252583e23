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
  size_t firstLine = 0;   // image line that fills the held lines of a new image or region
  size_t inFirst = 0;     // image line of the first input
  size_t inCount = 0;     // inputs read
  size_t outFirst = 0;    // image line of the first output
  size_t outCount = 0;    // outputs written; one more than the inputs when the last line repeats
  bool startsImage = false;  // the held lines start as copies of firstLine
  bool keepsHeld = false;    // the caller's line buffer carries the held lines across calls
};

uint8_t CheckArguments(const FilterCall& c, int bpp) {
  if (c.source == nullptr || c.destination == nullptr) return kNullPointer;
  if (c.lineBytes == 0 || c.width == 0 || c.lines == 0) return kZeroSize;
  if (c.bandState > kNoBanding) return kOutOfRange;
  // A shorter line would make every line overlap the next one.
  if (uint64_t{c.width} * static_cast<uint64_t>(bpp) > c.lineBytes) return kOutOfRange;
  if (c.bandState != kNoBanding && c.lineBuffer == nullptr) return kNullPointer;
  return kOk;
}

uint8_t PlanRegion(const FilterCall& c, int bpp, Plan& plan) {
  const PixelBounds b = RegionBounds(c.region, c.width, c.lines);
  if (b.width() < 2 || b.height() < 2) return kRegionTooSmall;
  plan.x_offset = b.left * static_cast<size_t>(bpp);
  plan.pixels = b.width();
  plan.firstLine = b.top;
  plan.inFirst = b.top + 1;
  plan.inCount = b.height() - 1;
  plan.outFirst = b.top;
  plan.outCount = plan.inCount + 1;  // the region's last line stands in for the line below it
  plan.startsImage = true;
  return kOk;
}

uint8_t MakePlan(const FilterCall& c, int bpp, Plan& plan) {
  if (c.bandState == kNoBanding) return PlanRegion(c, bpp, plan);
  plan.pixels = c.width;
  plan.keepsHeld = true;
  plan.startsImage = c.bandState == IMGFILT_BAND_FIRST || c.bandState == IMGFILT_BAND_ONLY;
  plan.inFirst = plan.startsImage ? 1 : 0;
  plan.inCount = c.lines - plan.inFirst;
  plan.outCount = plan.inCount;
  return kOk;
}

// Runs the line loop of one planned call.
class BandRunner {
 public:
  BandRunner(const FilterCall& c, const Kernel& k, RowFilter f, const Plan& p)
      : call_(c), kernel_(k), filter_(f), plan_(p),
        src_(c.source, c.lineBytes, c.lines, c.orientation),
        dst_(c.destination, c.lineBytes, c.lines, c.orientation),
        rowBytes_(p.pixels * static_cast<size_t>(k.bpp)) {}

  uint8_t Run() {
    if (!Prepare()) return kNoMemory;
    const uint8_t* above = nullptr;
    const uint8_t* current = nullptr;
    StartHeld(above, current);
    const bool writes = plan_.pixels >= kernel_.MinWidth();
    for (size_t j = 0; j < plan_.outCount; ++j) {
      const uint8_t* below = j < plan_.inCount ? Input(j) : current;
      if (writes) filter_(kernel_, Rows{above, current, below}, Output(j), plan_.pixels);
      above = current;
      current = below;
    }
    if (plan_.keepsHeld) StoreHeld(above, current);
    return kOk;
  }

 private:
  // Chooses how inputs survive being overwritten and allocates for it; nothing is written yet.
  bool Prepare() {
    const size_t used = call_.width * static_cast<size_t>(kernel_.bpp);
    const size_t span = (call_.lines - 1) * size_t{call_.lineBytes} + used;
    if (call_.source == call_.destination) {
      // Output j only ever overwrites lines already read, so a copy of the last three inputs
      // (and of the region's first line) is enough.
      sameBuffer_ = true;
      return TryResize(ring_, 4 * rowBytes_);
    }
    if (!Overlaps(src_.lowest(), span, dst_.lowest(), span)) return true;
    // Shifted overlap: outputs could overwrite inputs not yet read, so work from a copy.
    const size_t copied = plan_.inFirst + plan_.inCount - plan_.firstLine;
    if (!TryResize(bandCopy_, copied * rowBytes_)) return false;
    for (size_t i = 0; i < copied; ++i) {
      std::memcpy(&bandCopy_[i * rowBytes_], src_[plan_.firstLine + i] + plan_.x_offset,
                  rowBytes_);
    }
    return true;
  }

  const uint8_t* SourceLine(size_t imageLine) const {
    if (!bandCopy_.empty()) return &bandCopy_[(imageLine - plan_.firstLine) * rowBytes_];
    return src_[imageLine] + plan_.x_offset;
  }

  uint8_t* Output(size_t j) const { return dst_[plan_.outFirst + j] + plan_.x_offset; }

  uint8_t* HeldLine(int i) const { return call_.lineBuffer + i * size_t{call_.lineBytes}; }

  const uint8_t* Input(size_t j) {
    const uint8_t* line = SourceLine(plan_.inFirst + j);
    if (!sameBuffer_) return line;
    uint8_t* slot = &ring_[(j % 3) * rowBytes_];
    std::memcpy(slot, line, rowBytes_);
    return slot;
  }

  void StartHeld(const uint8_t*& above, const uint8_t*& current) {
    if (!plan_.startsImage) {
      above = HeldLine(0);
      current = HeldLine(1);
      return;
    }
    const uint8_t* first = SourceLine(plan_.firstLine);
    if (plan_.keepsHeld) {
      std::memcpy(HeldLine(1), first, rowBytes_);
      first = HeldLine(1);
    } else if (sameBuffer_) {
      uint8_t* kept = &ring_[3 * rowBytes_];
      std::memcpy(kept, first, rowBytes_);
      first = kept;
    }
    above = current = first;
  }

  // Leaves the last two lines of the window in the caller's buffer, in image order.
  void StoreHeld(const uint8_t* above, const uint8_t* current) {
    if (above != HeldLine(0)) std::memmove(HeldLine(0), above, rowBytes_);
    if (current != HeldLine(1)) std::memmove(HeldLine(1), current, rowBytes_);
  }

  const FilterCall& call_;
  const Kernel& kernel_;
  RowFilter filter_;
  const Plan& plan_;
  Lines<const uint8_t> src_;
  Lines<uint8_t> dst_;
  size_t rowBytes_;
  bool sameBuffer_ = false;
  std::vector<uint8_t> ring_;       // three inputs and the first line, when source is destination
  std::vector<uint8_t> bandCopy_;  // the inputs, when source and destination overlap otherwise
};

}  // namespace

uint8_t RunFilter(const FilterCall& call, const Kernel& kernel, RowFilter rowFilter) {
  if (const uint8_t code = CheckArguments(call, kernel.bpp); code != kOk) return code;
  Plan plan;
  if (const uint8_t code = MakePlan(call, kernel.bpp, plan); code != kOk) return code;
  return BandRunner(call, kernel, rowFilter, plan).Run();
}

uint8_t RunFilter(const FilterCall& call, const Kernel& kernel) {
  return RunFilter(call, kernel, &FilterRowFast);
}

}  // namespace imgfilt
