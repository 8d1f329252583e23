// What the image fuzz targets draw from their input: line strides around a line's pixel bytes,
// and rasters of a given size.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

namespace imgfilt_fuzz {

// width x bpp plus a little, or a little less; never below 0.
inline uint32_t Stride(FuzzedDataProvider& in, uint32_t pixelBytes) {
  const auto more = in.ConsumeIntegralInRange<uint32_t>(0, 5);
  const auto less = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(0, 2) : 0;
  return pixelBytes + more > less ? pixelBytes + more - less : 0;
}

inline std::vector<uint8_t> Bytes(FuzzedDataProvider& in, size_t n) {
  std::vector<uint8_t> v = in.ConsumeBytes<uint8_t>(n);
  v.resize(n, 0x5A);
  return v;
}

}  // namespace imgfilt_fuzz
