// Parameters of the compressed stream shared by the encoder and the decoder.
#pragma once

namespace dearc32 {

inline constexpr unsigned kRingSize = 4096;
inline constexpr unsigned kRingMask = kRingSize - 1;
inline constexpr unsigned kMinMatch = 3;
inline constexpr unsigned kMaxMatch = 60;
// Symbols from 256 on are matches; symbol 256 is the shortest.
inline constexpr unsigned kFirstMatchSymbol = 256;
// Where the first output byte goes in the ring; the bytes before it start as spaces.
inline constexpr unsigned kStartPosition = kRingSize - kMaxMatch;
inline constexpr unsigned char kRingFill = 0x20;

}  // namespace dearc32
