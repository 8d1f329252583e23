// The normalisation table of the scan engine and the per-pixel correction built on it.
//
// Row r (0 to 254) serves pixels whose white-minus-dark difference is d = r + 1: entry n holds
// n * KLevel / d rounded, accumulated step by step, and 255 from 255.4 up. The correction of a
// raw byte v with dark level k is row[v - k] when v is above k, row[0] otherwise: one
// subtraction, one comparison and one lookup per pixel; every division happens here, once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace usbminid {

class GainTable {
 public:
  static constexpr int kRows = 255;
  static constexpr int kEntries = 256;

  void Build(uint8_t kLevel);
  const uint8_t* Row(int r) const { return table_[r].data(); }
  // The row for a white-minus-dark difference (0 counts as 1).
  const uint8_t* RowForDifference(uint8_t d) const { return Row(d == 0 ? 0 : d - 1); }

 private:
  std::array<std::array<uint8_t, kEntries>, kRows> table_{};
};

inline uint8_t CorrectPixel(uint8_t v, uint8_t dark, const uint8_t* row) { return v > dark ? row[v - dark] : row[0]; }

// Corrects `width` raw bytes into every `stride`-th byte of `out`. The dark levels come off in
// blocks first (a saturating subtraction the compiler does many bytes at a time; a value at or
// below its dark level gives 0, whose entry is row[0]), then each pixel is one lookup.
inline void CorrectLine(const uint8_t* raw, const uint8_t* const* rows, const uint8_t* dark, uint8_t* out, int width,
                        int stride) {
  constexpr int kBlock = 256;
  uint8_t offset[kBlock];
  for (int start = 0; start < width; start += kBlock) {
    const int n = width - start < kBlock ? width - start : kBlock;
    for (int i = 0; i < n; ++i) {
      const uint8_t v = raw[start + i], k = dark[start + i];
      offset[i] = static_cast<uint8_t>(v > k ? v - k : 0);
    }
    const uint8_t* const* r = rows + start;
    uint8_t* o = out + static_cast<ptrdiff_t>(start) * stride;
    for (int i = 0; i < n; ++i) o[i * stride] = r[i][offset[i]];
  }
}

}  // namespace usbminid
