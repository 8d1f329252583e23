// The normalisation table of the scan engine and the per-pixel correction built on it.
//
// Row r (0 to 254) serves pixels whose white-minus-dark difference is d = r + 1: entry n holds
// n * KLevel / d rounded, accumulated step by step, and 255 from 255.4 up. The correction of a
// raw byte v with dark level k is row[v - k] when v is above k, row[0] otherwise: one
// subtraction, one comparison and one lookup per pixel; every division happens here, once.
#pragma once

#include <array>
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

// Corrects `width` raw bytes into every `stride`-th byte of `out`.
inline void CorrectLine(const uint8_t* raw, const uint8_t* const* rows, const uint8_t* dark, uint8_t* out, int width,
                        int stride) {
  for (int i = 0; i < width; ++i) out[i * stride] = CorrectPixel(raw[i], dark[i], rows[i]);
}

}  // namespace usbminid
