// Calls the imgfilt exports with fuzzed geometry, band states, settings and regions on small
// rasters that are exactly as large as a correct caller would make them, so that the address
// sanitizer sees any byte read or written outside them. Several calls per input let banded state
// carry from one call to the next, as it does in a scan.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

#include "imgfilt.h"
#include "imgfilt_fuzz_input.h"

namespace {

using SettingFilter = uint8_t (*)(const uint8_t*, uint8_t*, uint32_t, uint32_t, uint32_t, uint8_t,
                                  uint8_t, uint8_t, uint8_t*, ImageRect*);
using PlainFilter = uint8_t (*)(const uint8_t*, uint8_t*, uint32_t, uint32_t, uint32_t, uint8_t,
                                uint8_t, uint8_t*, ImageRect*);

using imgfilt_fuzz::Bytes;
using imgfilt_fuzz::Stride;

void Filter(FuzzedDataProvider& in) {
  const int which = in.ConsumeIntegralInRange(0, 7);
  const uint32_t bpp = which % 2 == 0 ? 1 : 3;
  const uint32_t width = in.ConsumeIntegralInRange<uint32_t>(0, 70);
  const uint32_t lines = in.ConsumeIntegralInRange<uint32_t>(0, 24);
  // Mostly valid strides, sometimes too short: the filter must refuse those.
  const uint32_t lineBytes = Stride(in, width * bpp);
  const uint8_t orientation = in.ConsumeIntegral<uint8_t>();
  const uint8_t setting = in.ConsumeIntegral<uint8_t>();
  const uint8_t state = in.ConsumeIntegralInRange<uint8_t>(0, 6);
  ImageRect region{in.ConsumeIntegral<int32_t>(), in.ConsumeIntegral<int32_t>(),
                   in.ConsumeIntegral<int32_t>(), in.ConsumeIntegral<int32_t>()};
  ImageRect* regionArg = in.ConsumeBool() ? &region : nullptr;
  std::vector<uint8_t> src = Bytes(in, size_t{lineBytes} * lines);
  std::vector<uint8_t> dst(src.size() + 1);
  std::vector<uint8_t> held(2 * size_t{lineBytes} + 1);
  const bool in_place = in.ConsumeBool();
  uint8_t* out = in_place ? src.data() : dst.data();
  uint8_t* buffer = in.ConsumeBool() ? held.data() : nullptr;
  static const SettingFilter kSetting[] = {BlurGray, BlurColor, SharpenGray, SharpenColor,
                                           UnsharpmaskGray, UnsharpmaskColor};
  static const PlainFilter kPlain[] = {MedianGray, MedianColor};
  if (which < 6) {
    kSetting[which](src.data(), out, lineBytes, width, lines, orientation, setting, state, buffer, regionArg);
  } else {
    kPlain[which - 6](src.data(), out, lineBytes, width, lines, orientation, state, buffer, regionArg);
  }
}

void Scale(FuzzedDataProvider& in) {
  const bool colour = in.ConsumeBool();
  const uint32_t bpp = colour ? 3 : 1;
  // Wide enough for whole vectors of the fastest paths.
  const uint32_t width = in.ConsumeIntegralInRange<uint32_t>(0, 150);
  const uint32_t lines = in.ConsumeIntegralInRange<uint32_t>(0, 20);
  const uint32_t total = in.ConsumeIntegralInRange<uint32_t>(0, 40);
  const uint32_t targetWidth = in.ConsumeIntegralInRange<uint32_t>(0, 200);
  const uint32_t targetHeight = in.ConsumeIntegralInRange<uint32_t>(0, 90);
  const uint32_t lineBytes = Stride(in, width * bpp);
  const uint32_t outLineBytes = Stride(in, targetWidth * bpp);
  const uint8_t orientation = in.ConsumeIntegral<uint8_t>();
  const uint8_t state = in.ConsumeIntegral<uint8_t>();
  std::vector<uint8_t> src = Bytes(in, size_t{lineBytes} * lines);
  std::vector<uint8_t> previous = Bytes(in, lineBytes);
  // No band writes more than the image's target height.
  std::vector<uint8_t> dst(size_t{outLineBytes} * targetHeight + 1);
  const uint8_t* prevArg = in.ConsumeBool() ? previous.data() : nullptr;
  const auto scale = colour ? ScalingColor : ScalingGray;
  scale(src.data(), dst.data(), lineBytes, width, lines, total, outLineBytes, targetWidth,
        targetHeight, orientation, state, prevArg);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  for (int call = 0; call < 6 && in.remaining_bytes() > 0; ++call) {
    if (in.ConsumeBool()) {
      Scale(in);
    } else {
      Filter(in);
    }
  }
  return 0;
}
