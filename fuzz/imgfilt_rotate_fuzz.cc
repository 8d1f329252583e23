// Calls the rotation and analysis exports with fuzzed geometry, angles (NaN, infinities, huge),
// regions, thresholds and resolutions, on rasters exactly as large as a correct caller would make
// them, so that the address sanitizer sees any byte read or written outside them. Several calls
// per input let banded state carry from one call to the next.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "imgfilt.h"
#include "imgfilt_fuzz_input.h"

namespace {

using imgfilt_fuzz::Bytes;
using imgfilt_fuzz::Stride;

float Angle(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return static_cast<float>(in.ConsumeIntegralInRange(-4, 8) * 45);
    case 1: return in.ConsumeFloatingPointInRange<float>(-720.0f, 720.0f);
    case 2: {
      const auto bits = in.ConsumeIntegral<uint32_t>();  // NaN, infinities, huge values
      float f;
      std::memcpy(&f, &bits, sizeof f);
      return f;
    }
    default: return in.ConsumeFloatingPoint<float>();
  }
}

ImageRect Rect(FuzzedDataProvider& in, int32_t reach) {
  if (in.ConsumeBool()) {
    return {in.ConsumeIntegral<int32_t>(), in.ConsumeIntegral<int32_t>(), in.ConsumeIntegral<int32_t>(),
            in.ConsumeIntegral<int32_t>()};
  }
  return {in.ConsumeIntegralInRange(-reach, reach), in.ConsumeIntegralInRange(-reach, reach),
          in.ConsumeIntegralInRange(-reach, reach), in.ConsumeIntegralInRange(-reach, reach)};
}

void Sizes(FuzzedDataProvider& in) {
  const auto w = in.ConsumeIntegral<uint32_t>(), h = in.ConsumeIntegral<uint32_t>();
  uint32_t nw = 0, nh = 0;
  const float angle = Angle(in);
  GetRotateSize(w, h, &nw, &nh, angle);
  GetRotateSmallSize(w, h, &nw, &nh, angle);
}

// A banded rotation into a destination of the size the queries give.
void Rotate(FuzzedDataProvider& in) {
  const int kind = in.ConsumeIntegralInRange(0, 2);
  const bool colour = in.ConsumeBool();
  const uint32_t bpp = colour ? 3 : 1;
  const uint32_t width = in.ConsumeIntegralInRange<uint32_t>(0, 60);
  const uint32_t total = in.ConsumeIntegralInRange<uint32_t>(0, 60);
  const uint32_t lines = in.ConsumeIntegralInRange<uint32_t>(0, 24);
  const uint32_t lineBytes = Stride(in, width * bpp);
  const float angle = kind == 0 ? static_cast<float>(in.ConsumeIntegralInRange(-1, 8) * 45) : Angle(in);
  uint32_t nw = 0, nh = 0;
  if (kind == 2) {
    GetRotateSmallSize(width, total, &nw, &nh, angle);
  } else {
    GetRotateSize(width, total, &nw, &nh, angle);
  }
  const uint32_t destLineBytes = Stride(in, nw * bpp);
  const uint8_t orientation = in.ConsumeIntegralInRange<uint8_t>(0, 2);
  const uint8_t state = in.ConsumeIntegralInRange<uint8_t>(0, 6);
  std::vector<uint8_t> src = Bytes(in, size_t{lineBytes} * lines);
  std::vector<uint8_t> held = Bytes(in, lineBytes);
  uint8_t* heldArg = in.ConsumeBool() ? held.data() : nullptr;
  // A destination that stays put, as a caller's does for the bands of one image.
  static std::vector<uint8_t> dst;
  dst.assign(size_t{destLineBytes} * nh, 0);
  if (kind == 0) {
    const auto turn = colour ? Rotation90Color : Rotation90Gray;
    turn(src.data(), dst.data(), lineBytes, width, lines, total, destLineBytes,
         static_cast<int32_t>(angle), orientation, state);
  } else {
    const auto fn = kind == 1 ? (colour ? RotationColor : RotationGray)
                              : (colour ? RotationSmallColor : RotationSmallGray);
    fn(src.data(), dst.data(), lineBytes, width, lines, total, destLineBytes, angle, orientation, state,
       heldArg);
  }
}

void BandCopy(FuzzedDataProvider& in) {
  const int which = in.ConsumeIntegralInRange(0, 3);
  const uint32_t bpp = which >= 2 ? 3 : 1;
  const uint32_t width = in.ConsumeIntegralInRange<uint32_t>(0, 40);
  const uint32_t lineBytes = Stride(in, width * bpp);
  const uint32_t lines = in.ConsumeIntegralInRange<uint32_t>(0, 20);
  const uint32_t destWidth = in.ConsumeIntegralInRange<uint32_t>(0, 50);
  const uint32_t destLineBytes = Stride(in, destWidth * bpp);
  const uint32_t destHeight = in.ConsumeIntegralInRange<uint32_t>(0, 50);
  const uint32_t first = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 60) : in.ConsumeIntegral<uint32_t>();
  const uint32_t angle = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 4) * 90 : in.ConsumeIntegral<uint32_t>();
  // High halves beyond 16 bits of the counts are ignored by the copiers.
  const uint32_t junk = in.ConsumeIntegral<uint16_t>() << 16;
  std::vector<uint8_t> band = Bytes(in, size_t{lineBytes} * lines);
  std::vector<uint8_t> dst(size_t{destLineBytes} * destHeight);
  using Copier = uint32_t (*)(const uint8_t*, uint8_t*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                              uint32_t, uint32_t);
  static const Copier kCopiers[] = {RotateGrayBandImg, RotateGrayDIBBandImg, RotateBandImg, RotateDIBBandImg};
  kCopiers[which](band.data(), dst.data(), 0, width | lineBytes << 16, lines | junk,
                  destWidth | destLineBytes << 16, destHeight | junk, first, angle);
}

void Analyse(FuzzedDataProvider& in) {
  const int which = in.ConsumeIntegralInRange(0, 5);
  const bool gray = which == 0 || which == 5;
  const uint32_t bpp = gray ? 1 : 3;
  const uint32_t width = in.ConsumeIntegralInRange<uint32_t>(0, 90);
  const uint32_t height = in.ConsumeIntegralInRange<uint32_t>(0, 90);
  const uint32_t lineBytes = Stride(in, width * bpp);
  const uint8_t orientation = in.ConsumeIntegralInRange<uint8_t>(0, 2);
  ImageRect region = Rect(in, 120);
  ImageRect* regionArg = in.ConsumeBool() ? &region : nullptr;
  const uint8_t threshold = in.ConsumeIntegral<uint8_t>();
  std::vector<uint8_t> image = Bytes(in, size_t{lineBytes} * height);
  switch (which) {
    case 0:
    case 1: {
      const auto fn = gray ? RotateAngleGray : RotateAngleColor;
      fn(image.data(), lineBytes, width, height, orientation, threshold, regionArg);
      break;
    }
    case 2: {
      ImageRect crop;
      float angle;
      AutoCropColor(image.data(), lineBytes, width, height, &crop, &angle, orientation, regionArg);
      break;
    }
    case 3:
      AutoTypeColor(image.data(), lineBytes, width, height, regionArg);
      break;
    case 4: {
      // Transparency holders: at least 5 x 7 inches, so low resolutions on small rasters.
      const uint32_t dpi = in.ConsumeIntegralInRange<uint32_t>(0, 14);
      ImageRect frames[6];
      const auto fn = in.ConsumeBool() ? TPOPositiveAutoRegion : TPONegativeAutoRegion;
      fn(image.data(), lineBytes, width, height, dpi, frames, orientation);
      break;
    }
    default: {
      const uint32_t left = in.ConsumeIntegralInRange<uint32_t>(0, 2600);
      const uint32_t window = in.ConsumeIntegral<uint32_t>();
      const uint32_t dpi = in.ConsumeIntegralInRange<uint32_t>(0, 2400);
      std::vector<uint8_t> out(image.size());
      const auto fn = in.ConsumeBool() ? EraseImageShiftGray : EraseImageShiftColor;
      const uint32_t pixels = fn == EraseImageShiftColor ? lineBytes / 3 : lineBytes;
      fn(image.data(), in.ConsumeBool() ? image.data() : out.data(), lineBytes, std::min(width, pixels),
         height, left, window, dpi);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  for (int call = 0; call < 6 && in.remaining_bytes() > 0; ++call) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
      case 0: Sizes(in); break;
      case 1: Rotate(in); break;
      case 2: BandCopy(in); break;
      default: Analyse(in);
    }
  }
  return 0;
}
