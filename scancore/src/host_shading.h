// The host's white reference: 16 lines of shading data reduced per pixel and channel to one
// robust white level.
#pragma once

#include <cstddef>
#include <cstdint>

namespace scancore {

inline constexpr int kShadingLines = 16;

// The white level of 16 samples, `stride` bytes apart: the top level v reached by at least 3
// samples (0 when none is), then the rounded mean of the samples from v - 8 to v.
uint8_t WhiteLevel(const uint8_t* samples, size_t stride);

// (sum + count / 2) / count for a window of at most 16 samples (count 1 to 16).
uint8_t DivideRounded(uint16_t sum, uint8_t count);

// Writes the white level of every byte position of a line (`line` bytes) into line 0 of `data`,
// which holds 16 such lines.
void ReduceShading(uint8_t* data, size_t line);

}  // namespace scancore
