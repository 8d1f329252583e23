#include "chain.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "raster.h"
#include "scaler.h"
#include "work_buffer.h"

// The record's layout is part of the interface: natural alignment leaves no gaps.
static_assert(offsetof(ProcessParam, imageType) == 36 && offsetof(ProcessParam, operations) == 38);
static_assert(offsetof(ProcessParam, bandState) == 40 && offsetof(ProcessParam, screenRuling) == 47);
static_assert(offsetof(ProcessParam, xResolution) == 48 && sizeof(ProcessParam) == 52);

namespace imgfilt {
namespace {

struct StepInfo {
  uint16_t bit;
  uint32_t slots;  // line-buffer slots of two lines
  uint32_t extra;  // lines consumed at the bottom of the image
};

// The chain's fixed order.
constexpr StepInfo kOrder[] = {
    {IMGFILT_OP_INVERT, 0, 0},     {IMGFILT_OP_MIRROR, 0, 0},   {IMGFILT_OP_MEDIAN, 1, 1},
    {IMGFILT_OP_DESCREEN, 2, 2},   {IMGFILT_OP_BLUR, 1, 1},     {IMGFILT_OP_MAKE_CLEAR, 1, 1},
    {IMGFILT_OP_SHARPEN, 1, 1},    {IMGFILT_OP_UNSHARP, 1, 1},  {IMGFILT_OP_SCALING, 1, 0},
    {IMGFILT_OP_THRESHOLD, 0, 0},  {IMGFILT_OP_HALFTONE, 0, 0},
};

constexpr uint16_t kBilevelOps = IMGFILT_OP_THRESHOLD | IMGFILT_OP_HALFTONE;

bool Requested(uint32_t operations, uint16_t bit) { return (operations & bit) != 0; }

const StepInfo& Info(uint16_t bit) {
  for (const StepInfo& s : kOrder) {
    if (s.bit == bit) return s;
  }
  return kOrder[0];
}

// The steps an image type runs; the rest of its bits are ignored.
bool Applies(uint8_t type, uint16_t bit) {
  if (type == IMGFILT_TYPE_BILEVEL) return bit == IMGFILT_OP_INVERT || bit == IMGFILT_OP_MIRROR;
  if (type == IMGFILT_TYPE_COLOR) return (bit & kBilevelOps) == 0;
  return type == IMGFILT_TYPE_GRAY;
}

size_t BytesPerPixel(uint8_t type) { return type == IMGFILT_TYPE_COLOR ? 3 : 1; }

// Bytes of a line's pixels; bilevel lines count whole bytes of bits.
uint64_t PixelBytes(uint8_t type, uint32_t width) {
  return type == IMGFILT_TYPE_BILEVEL ? (uint64_t{width} + 7) / 8 : uint64_t{width} * BytesPerPixel(type);
}

uint32_t Aligned4(uint64_t bytes) { return static_cast<uint32_t>((bytes + 3) & ~uint64_t{3}); }

uint32_t BilevelLineBytes(uint32_t width) { return static_cast<uint32_t>(((uint64_t{width} + 31) >> 3) & ~uint64_t{3}); }

// One neighbourhood filter of the chain, called with the band's current line count.
uint8_t CallFilter(uint16_t bit, const ProcessParam& p, const uint8_t* in, uint8_t* out, uint32_t lines,
                   uint8_t state, uint8_t* slot) {
  const bool gray = p.imageType == IMGFILT_TYPE_GRAY;
  const uint32_t lb = p.lineBytes, w = p.width;
  const uint8_t o = p.orientation;
  switch (bit) {
    case IMGFILT_OP_MEDIAN: return (gray ? MedianGray : MedianColor)(in, out, lb, w, lines, o, state, slot, nullptr);
    case IMGFILT_OP_DESCREEN:
      return (gray ? DescreenGray : DescreenColor)(in, out, lb, w, lines, o, p.screenRuling, p.xResolution,
                                                   p.yResolution, state, slot, nullptr);
    case IMGFILT_OP_BLUR: return (gray ? BlurGray : BlurColor)(in, out, lb, w, lines, o, p.blurLevel, state, slot, nullptr);
    case IMGFILT_OP_MAKE_CLEAR:
      return (gray ? MakeClearGray : MakeClearColor)(in, out, lb, w, lines, o, p.makeClearLevel, state, slot, nullptr);
    case IMGFILT_OP_SHARPEN:
      return (gray ? SharpenGray : SharpenColor)(in, out, lb, w, lines, o, p.sharpenLevel, state, slot, nullptr);
    case IMGFILT_OP_UNSHARP:
      return (gray ? UnsharpmaskGray : UnsharpmaskColor)(in, out, lb, w, lines, o, p.unsharpLevel, state, slot, nullptr);
    default: return kOutOfRange;
  }
}

}  // namespace

uint32_t ExtraLines(uint32_t operations) {
  uint32_t e = 0;
  for (const StepInfo& s : kOrder) e += Requested(operations, s.bit) ? s.extra : 0;
  return e;
}

uint32_t SlotCount(uint32_t operations) {
  uint32_t n = 0;
  for (const StepInfo& s : kOrder) n += Requested(operations, s.bit) ? s.slots : 0;
  return n;
}

// One band on its way through the chain.
struct Chain::Band {
  ProcessParam& p;
  uint8_t* destination;  // the caller's pointer: first byte, or last byte when bottom-up
  Surface current;       // the latest step's output (at first the source band)
  uint32_t width;        // pixels per line of `current`
  uint32_t lines;        // lines of `current`
  uint8_t state;         // band state passed to the steps
  bool first;
  uint32_t filtered;     // lines after the filters, before any scaling
  bool ran = false;      // a step has run
};

uint8_t Chain::Check(const uint8_t* source, const uint8_t* destination, const ProcessParam& p) const {
  if (source == nullptr || destination == nullptr) return kNullPointer;
  if (p.lineBytes == 0 || p.width == 0 || p.lines == 0) return kZeroSize;
  const bool known = p.imageType <= IMGFILT_TYPE_COLOR;
  if (!known && p.orientation == kBottomUp) return kOutOfRange;
  if (p.bandState > IMGFILT_BAND_ONLY) return kOutOfRange;
  if (known && PixelBytes(p.imageType, p.width) > p.lineBytes) return kOutOfRange;
  const bool scales = known && Requested(p.operations, IMGFILT_OP_SCALING) && Applies(p.imageType, IMGFILT_OP_SCALING);
  if (scales && (p.targetWidth == 0 || p.targetHeight == 0)) return kZeroSize;
  const bool first = p.bandState == IMGFILT_BAND_FIRST || p.bandState == IMGFILT_BAND_ONLY;
  if (first) {
    // The filters need a whole window on the first band, and the image must outlast the chain.
    const uint32_t e = ExtraLines(p.operations);
    if (p.lines <= e || p.totalLines <= e) return kOutOfRange;
    return kOk;
  }
  // The line buffer was sized for, and the filters hold lines of, the first band's geometry.
  const bool same = active_ && p.lineBytes == first_.lineBytes && p.width == first_.width &&
                    p.imageType == first_.imageType && p.orientation == first_.orientation &&
                    p.operations == first_.operations && p.targetWidth == first_.targetWidth &&
                    p.targetHeight == first_.targetHeight && p.totalLines == totalLines_;
  return same ? kOk : kOutOfRange;
}

uint8_t Chain::Start(const ProcessParam& p) {
  Finish();
  const size_t bytes = size_t{SlotCount(p.operations)} * 2 * p.lineBytes;
  if (!TryResize(slots_, bytes)) return kNoMemory;
  std::fill(slots_.begin(), slots_.end(), uint8_t{0});
  first_ = p;
  totalLines_ = p.totalLines - ExtraLines(p.operations);
  consumed_ = 0;
  active_ = true;
  return kOk;
}

void Chain::Finish() {
  active_ = false;
  std::vector<uint8_t>().swap(slots_);
  std::vector<uint8_t>().swap(scaled_);
}

uint8_t* Chain::Slot(uint16_t bit) {
  size_t before = 0;
  for (const StepInfo& s : kOrder) {
    if (s.bit == bit) break;
    before += Requested(first_.operations, s.bit) ? s.slots : 0;
  }
  return slots_.data() + before * 2 * first_.lineBytes;
}

Surface Chain::Target(const Band& band, uint16_t bit, size_t stride) const {
  const ProcessParam& p = band.p;
  const bool bottomUp = p.orientation == kBottomUp;
  const Surface destination{bottomUp ? band.destination + 1 - stride : band.destination, stride, bottomUp};
  if ((bit & kBilevelOps) != 0 || p.imageType == IMGFILT_TYPE_BILEVEL) return destination;
  // A gray band that becomes bilevel is worked in place up to its conversion.
  if (p.imageType == IMGFILT_TYPE_GRAY && (p.operations & kBilevelOps) != 0) return band.current;
  const StepInfo& info = Info(bit);
  if (info.slots == 0) return SlotCount(p.operations) == 0 ? destination : band.current;
  uint16_t lastSlotStep = 0;
  for (const StepInfo& s : kOrder) {
    if (s.slots > 0 && Requested(p.operations, s.bit)) lastSlotStep = s.bit;
  }
  return bit == lastSlotStep ? destination : band.current;
}

void Chain::RunFilterStep(Band& band, uint16_t bit) {
  const Surface out = Target(band, bit, band.p.lineBytes);
  CallFilter(bit, band.p, band.current.Base(band.lines), out.Base(band.lines), band.lines, band.state, Slot(bit));
  band.current = out;
  // A first band leaves its last k lines held in the filter for the next band.
  if (band.first) band.lines -= Info(bit).extra;
  band.filtered = band.lines;
}

void Chain::RunScaling(Band& band) {
  const ProcessParam& p = band.p;
  const bool gray = p.imageType == IMGFILT_TYPE_GRAY;
  const size_t row = size_t{band.width} * BytesPerPixel(p.imageType);
  const uint32_t outStride = Aligned4(uint64_t{p.targetWidth} * BytesPerPixel(p.imageType));
  const uint32_t n = BandOutputLines(consumed_, band.lines, totalLines_, p.targetHeight);
  uint8_t* slot = Slot(IMGFILT_OP_SCALING);
  std::memcpy(slot + p.lineBytes, band.current.Line(band.lines - 1), row);
  Surface out = Target(band, IMGFILT_OP_SCALING, outStride);
  // A gray band that becomes bilevel next is scaled where the conversion can read it.
  if (gray && (p.operations & kBilevelOps) != 0) {
    // Scaling in place could grow the band beyond the caller's source buffer: use our own.
    if (!TryResize(scaled_, std::max<size_t>(size_t{n} * outStride, 1))) return;
    const bool bottomUp = p.orientation == kBottomUp;
    out = Surface{bottomUp ? scaled_.data() + (n > 0 ? (n - 1) * size_t{outStride} : 0) : scaled_.data(),
                  outStride, bottomUp};
  }
  if (p.targetWidth == band.width && p.targetHeight == totalLines_) {
    for (size_t y = 0; y < n; ++y) std::memmove(out.Line(y), band.current.Line(y), row);
  } else {
    (gray ? ScalingGray : ScalingColor)(band.current.Base(band.lines), out.Base(n), p.lineBytes, band.width,
                                        band.lines, totalLines_, outStride, p.targetWidth, p.targetHeight,
                                        p.orientation, band.state, slot);
  }
  std::memcpy(slot, slot + p.lineBytes, row);
  band.current = out;
  band.width = p.targetWidth;
  band.lines = n;
  band.p.outWidth = p.targetWidth;
  band.p.outLineBytes = outStride;
}

void Chain::RunBilevel(Band& band, uint16_t bit) {
  const ProcessParam& p = band.p;
  const uint32_t stride = BilevelLineBytes(band.width);
  const Surface out = Target(band, bit, stride);
  const uint8_t level = bit == IMGFILT_OP_THRESHOLD ? p.threshold : p.halftonePattern;
  (bit == IMGFILT_OP_THRESHOLD ? GrayToBW : GrayToHalftone)(
      band.current.Base(band.lines), out.Base(band.lines), static_cast<uint32_t>(band.current.stride), band.width,
      band.lines, stride, level, p.orientation);
  band.current = out;
  band.p.outLineBytes = stride;
}

void Chain::RunSteps(Band& band) {
  ProcessParam& p = band.p;
  for (const StepInfo& s : kOrder) {
    if (!Requested(p.operations, s.bit) || !Applies(p.imageType, s.bit)) continue;
    // Both conversions would read the first one's bits as gray pixels past the end of the lines.
    if (s.bit == IMGFILT_OP_HALFTONE && Requested(p.operations, IMGFILT_OP_THRESHOLD)) continue;
    band.ran = true;
    if (s.bit == IMGFILT_OP_INVERT) {
      const Surface out = Target(band, s.bit, p.lineBytes);
      InvertImg(band.current.Base(band.lines), out.Base(band.lines), p.lineBytes, band.lines, p.orientation);
      band.current = out;
    } else if (s.bit == IMGFILT_OP_MIRROR) {
      const Surface out = Target(band, s.bit, p.lineBytes);
      const auto mirror = p.imageType == IMGFILT_TYPE_BILEVEL ? MirrorBW
                          : p.imageType == IMGFILT_TYPE_GRAY  ? MirrorGray
                                                              : MirrorColor;
      mirror(band.current.Base(band.lines), out.Base(band.lines), p.lineBytes, band.width, band.lines, p.orientation);
      band.current = out;
    } else if (s.bit == IMGFILT_OP_SCALING) {
      p.outLines = band.lines;
      RunScaling(band);
    } else if ((s.bit & kBilevelOps) != 0) {
      RunBilevel(band, s.bit);
    } else {
      RunFilterStep(band, s.bit);
    }
    if (s.bit != IMGFILT_OP_SCALING) p.outLines = band.lines;
  }
  p.outLines = band.lines;
}

uint32_t Chain::Run(uint8_t* source, uint8_t* destination, ProcessParam& p) {
  if (p.operations == 0) {
    p.outLineBytes = p.lineBytes;
    p.outWidth = p.width;
    p.outLines = p.lines;
    return 0;
  }
  if (const uint8_t code = Check(source, destination, p); code != kOk) return code;
  const bool first = p.bandState == IMGFILT_BAND_FIRST || p.bandState == IMGFILT_BAND_ONLY;
  if (first) {
    if (const uint8_t code = Start(p); code != kOk) return code;
    p.totalLines = totalLines_;
  }
  p.outLineBytes = p.lineBytes;
  p.outWidth = p.width;
  p.outLines = p.lines;
  // Later bands count the lines earlier bands left after their filters; the first band's own
  // lines still include the ones its filters consume, so it ends the image only when it holds
  // every line the caller delivers.
  const uint64_t seen = first ? uint64_t{p.lines} - ExtraLines(p.operations) : uint64_t{consumed_} + p.lines;
  if (seen >= p.totalLines) p.bandState = first ? IMGFILT_BAND_ONLY : IMGFILT_BAND_LAST;
  const bool bottomUp = p.orientation == kBottomUp;
  const size_t bandBytes = size_t{p.lines} * p.lineBytes;
  Band band{p, destination, Surface{bottomUp ? source + 1 - p.lineBytes : source, p.lineBytes, bottomUp},
            p.width, p.lines, p.bandState, first, p.lines};
  RunSteps(band);
  if (!band.ran) {
    uint8_t* from = bottomUp ? source + 1 - bandBytes : source;
    uint8_t* to = bottomUp ? destination + 1 - bandBytes : destination;
    if (from != to) std::memmove(to, from, bandBytes);
  }
  if (p.bandState == IMGFILT_BAND_LAST || p.bandState == IMGFILT_BAND_ONLY) {
    Finish();
  } else {
    consumed_ += band.filtered;
  }
  return IMGFILT_CHAIN_DONE;
}

}  // namespace imgfilt

namespace {

imgfilt::Chain& TheChain() {
  static imgfilt::Chain chain;
  return chain;
}

}  // namespace

extern "C" {

IMGFILT_API uint32_t IMGFILT_CALL GetExtraLineNum(uint32_t operations) {
  return imgfilt::ExtraLines(operations & 0xFFFFu);
}

IMGFILT_API uint32_t IMGFILT_CALL DoImgfiltess(uint8_t* source, uint8_t* destination, ProcessParam* param) {
  if (param == nullptr) return imgfilt::kNullPointer;
  return TheChain().Run(source, destination, *param);
}

}  // extern "C"
