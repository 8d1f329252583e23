// The point operations, descreen, make clear, screen detection and the banded chain under
// fuzzed geometry, states, types and settings, on rasters exactly as large as a correct caller
// makes them, so that the address sanitizer sees any byte touched outside them. The chain runs
// a few bands per input so that its state carries from band to band; its destination is
// generous, and every byte outside the lines it reports must keep its fill.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "imgfilt.h"

namespace {

constexpr uint8_t kFill = 0xA5;

std::vector<uint8_t> Bytes(FuzzedDataProvider& in, size_t n) {
  std::vector<uint8_t> v = in.ConsumeBytes<uint8_t>(n);
  v.resize(n, 0x5A);
  return v;
}

uint32_t Stride(FuzzedDataProvider& in, uint64_t pixelBytes) {
  const auto more = in.ConsumeIntegralInRange<uint32_t>(0, 5);
  const auto less = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 2) : 0;
  return static_cast<uint32_t>(pixelBytes + more > less ? pixelBytes + more - less : 0);
}

void PointOps(FuzzedDataProvider& in) {
  const int which = in.ConsumeIntegralInRange(0, 6);
  const uint32_t width = in.ConsumeIntegralInRange<uint32_t>(0, 140);
  const uint32_t lines = in.ConsumeIntegralInRange<uint32_t>(0, 12);
  const uint8_t orientation = in.ConsumeIntegral<uint8_t>();
  const uint8_t setting = in.ConsumeIntegral<uint8_t>();
  const uint64_t pixelBytes = which == 2 ? (width + 7) / 8 : which == 4 || which == 6 ? width * 3ull : width;
  const uint32_t stride = Stride(in, pixelBytes);
  const uint32_t bitStride = Stride(in, (width + 7) / 8);
  std::vector<uint8_t> src = Bytes(in, size_t{stride} * lines);
  std::vector<uint8_t> dst(std::max<size_t>(size_t{std::max(stride, bitStride)} * lines, 1));
  uint8_t* out = in.ConsumeBool() && which != 0 && which != 1 ? src.data() : dst.data();
  switch (which) {
    case 0: GrayToBW(src.data(), dst.data(), stride, width, lines, bitStride, setting, orientation); break;
    case 1: GrayToHalftone(src.data(), dst.data(), stride, width, lines, bitStride, setting, orientation); break;
    case 2: MirrorBW(src.data(), out, stride, width, lines, orientation); break;
    case 3: MirrorGray(src.data(), out, stride, width, lines, orientation); break;
    case 4: MirrorColor(src.data(), out, stride, width, lines, orientation); break;
    case 5: InvertImg(src.data(), out, stride, lines, orientation); break;
    default: {
      const float hue = in.ConsumeFloatingPoint<float>();
      const float sat = in.ConsumeFloatingPoint<float>();
      const float light = in.ConsumeFloatingPoint<float>();
      HueSaturation(src.data(), out, stride, width, lines, hue, sat, light, setting);
    }
  }
}

void Neighbourhood(FuzzedDataProvider& in) {
  const int which = in.ConsumeIntegralInRange(0, 3);
  const uint32_t bpp = which % 2 == 0 ? 1 : 3;
  const uint32_t width = in.ConsumeIntegralInRange<uint32_t>(0, 90);
  const uint32_t lines = in.ConsumeIntegralInRange<uint32_t>(0, 16);
  const uint32_t stride = Stride(in, uint64_t{width} * bpp);
  const uint8_t orientation = in.ConsumeIntegral<uint8_t>();
  const uint8_t setting = in.ConsumeIntegral<uint8_t>();
  const uint16_t xRes = in.ConsumeIntegral<uint16_t>(), yRes = in.ConsumeIntegral<uint16_t>();
  const uint8_t state = in.ConsumeIntegralInRange<uint8_t>(0, 6);
  ImageRect region{in.ConsumeIntegral<int32_t>(), in.ConsumeIntegral<int32_t>(), in.ConsumeIntegral<int32_t>(),
                   in.ConsumeIntegral<int32_t>()};
  ImageRect* regionArg = in.ConsumeBool() ? &region : nullptr;
  std::vector<uint8_t> src = Bytes(in, size_t{stride} * lines);
  std::vector<uint8_t> dst(src.size() + 1);
  std::vector<uint8_t> held(4 * size_t{stride} + 1);
  uint8_t* out = in.ConsumeBool() ? src.data() : dst.data();
  uint8_t* buffer = in.ConsumeBool() ? held.data() : nullptr;
  if (which < 2) {
    (which == 0 ? DescreenGray : DescreenColor)(src.data(), out, stride, width, lines, orientation, setting, xRes,
                                                yRes, state, buffer, regionArg);
  } else {
    (which == 2 ? MakeClearGray : MakeClearColor)(src.data(), out, stride, width, lines, orientation, setting, state,
                                                  buffer, regionArg);
  }
}

void Screen(FuzzedDataProvider& in) {
  const uint32_t width = in.ConsumeIntegralInRange<uint32_t>(1, 200);
  const uint32_t height = in.ConsumeIntegralInRange<uint32_t>(1, 200);
  const uint32_t stride = width * 3 + in.ConsumeIntegralInRange<uint32_t>(0, 3);
  ImageRect region{in.ConsumeIntegralInRange<int32_t>(-300, 300), in.ConsumeIntegralInRange<int32_t>(-300, 300),
                   in.ConsumeIntegralInRange<int32_t>(-300, 300), in.ConsumeIntegralInRange<int32_t>(-300, 300)};
  const bool useRegion = in.ConsumeBool();
  std::vector<uint8_t> image = Bytes(in, size_t{stride} * height);
  ImageRect block{};
  AutoDescreenColor(image.data(), stride, width, height, &block, useRegion ? &region : nullptr);
  uint8_t ruling = 0;
  DetectLpiColor(image.data(), stride, width, height, &ruling, in.ConsumeBool() ? &block : &region);
  if (ruling != 0 && ruling != 80 && ruling != 100 && ruling != 133 && ruling != 150 && ruling != 175) std::abort();
}

void Chain(FuzzedDataProvider& in) {
  ProcessParam p{};
  p.imageType = in.ConsumeIntegralInRange<uint8_t>(0, 3);
  p.orientation = in.ConsumeIntegralInRange<uint8_t>(0, 2);
  p.operations = in.ConsumeIntegral<uint16_t>();
  p.width = in.ConsumeIntegralInRange<uint32_t>(0, 60);
  const uint64_t pixelBytes = p.imageType == 0 ? (p.width + 7) / 8 : p.imageType == 2 ? p.width * 3ull : p.width;
  p.lineBytes = Stride(in, pixelBytes);
  p.totalLines = in.ConsumeIntegralInRange<uint32_t>(0, 40);
  p.targetWidth = in.ConsumeIntegralInRange<uint32_t>(0, 80);
  p.targetHeight = in.ConsumeIntegralInRange<uint32_t>(0, 80);
  p.threshold = in.ConsumeIntegral<uint8_t>();
  p.halftonePattern = in.ConsumeIntegral<uint8_t>();
  p.blurLevel = in.ConsumeIntegral<uint8_t>();
  p.sharpenLevel = in.ConsumeIntegral<uint8_t>();
  p.unsharpLevel = in.ConsumeIntegral<uint8_t>();
  p.makeClearLevel = in.ConsumeIntegral<uint8_t>();
  p.screenRuling = in.ConsumeIntegral<uint8_t>();
  p.xResolution = in.ConsumeIntegral<uint16_t>();
  p.yResolution = in.ConsumeIntegral<uint16_t>();
  for (int band = 0; band < 5 && in.remaining_bytes() > 0; ++band) {
    p.lines = in.ConsumeIntegralInRange<uint32_t>(0, 12);
    p.bandState = band == 0 ? in.ConsumeIntegralInRange<uint8_t>(0, 4) : in.ConsumeIntegralInRange<uint8_t>(0, 2);
    std::vector<uint8_t> src = Bytes(in, size_t{p.lineBytes} * p.lines);
    // A bilevel result's lines are whole 32-bit words, which can be longer than a narrow gray
    // source line (3 pixels: 4 bytes from 3).
    const size_t bilevel = (size_t{std::max(p.width, p.targetWidth)} + 31) / 32 * 4;
    const size_t stride = std::max({size_t{p.lineBytes}, size_t{p.targetWidth} * 3 + 3, bilevel});
    const size_t dstLines = std::max(p.lines, p.targetHeight) + 2;  // a band never yields more
    std::vector<uint8_t> dst(stride * dstLines + 1, kFill);
    const bool up = p.orientation == 1;
    uint8_t* s = src.empty() ? nullptr : up ? src.data() + src.size() - 1 : src.data();
    uint8_t* d = up ? dst.data() + dst.size() - 1 : dst.data();
    const uint32_t code = DoImgfiltess(s, d, &p);
    if (code != 1) continue;
    // Nothing beyond the outLines x outLineBytes the call reports.
    const size_t used = size_t{p.outLines} * p.outLineBytes;
    if (used > dst.size()) std::abort();
    const size_t from = up ? 0 : used, to = up ? dst.size() - used : dst.size();
    for (size_t i = from; i < to; ++i) {
      if (dst[i] != kFill) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: PointOps(in); break;
    case 1: Neighbourhood(in); break;
    case 2: Screen(in); break;
    default: Chain(in); break;
  }
  return 0;
}
