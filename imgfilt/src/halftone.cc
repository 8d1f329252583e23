// Ordered dither with five 8 x 8 matrices and the process-wide line counter that picks the row.
#include <atomic>
#include <cstdint>

#include "bilevel.h"
#include "imgfilt.h"
#include "point_ops.h"
#include "raster.h"

namespace imgfilt {
namespace {

using Matrix = uint8_t[8][8];

constexpr Matrix kPatterns[5] = {
    {{255, 247, 159, 15, 3, 39, 111, 231},
     {223, 215, 167, 51, 59, 67, 103, 191},
     {183, 175, 87, 123, 131, 139, 75, 95},
     {23, 43, 115, 195, 235, 203, 147, 31},
     {7, 35, 107, 227, 251, 243, 155, 11},
     {63, 71, 99, 187, 219, 211, 163, 55},
     {135, 143, 79, 91, 179, 171, 83, 127},
     {239, 207, 151, 27, 19, 47, 119, 199}},
    {{255, 239, 96, 195, 243, 227, 84, 207},
     {191, 175, 64, 116, 179, 163, 52, 128},
     {112, 80, 24, 4, 100, 68, 28, 16},
     {215, 151, 40, 139, 219, 155, 44, 135},
     {247, 231, 88, 203, 251, 235, 92, 199},
     {183, 167, 56, 124, 187, 171, 60, 120},
     {104, 72, 32, 12, 108, 76, 20, 8},
     {223, 159, 48, 131, 211, 147, 36, 143}},
    {{4, 36, 68, 100, 131, 163, 195, 227},
     {243, 20, 52, 84, 116, 147, 179, 211},
     {76, 108, 139, 171, 203, 235, 12, 44},
     {191, 223, 255, 32, 64, 96, 128, 159},
     {135, 167, 199, 231, 8, 40, 72, 104},
     {120, 151, 183, 215, 247, 24, 56, 88},
     {207, 239, 16, 48, 80, 112, 143, 175},
     {60, 92, 124, 155, 187, 219, 251, 28}},
    {{4, 243, 76, 191, 135, 120, 207, 60},
     {36, 20, 108, 223, 167, 151, 239, 92},
     {68, 52, 139, 255, 199, 183, 16, 124},
     {100, 84, 171, 32, 231, 215, 48, 155},
     {131, 116, 203, 64, 8, 247, 80, 187},
     {163, 147, 235, 96, 40, 24, 112, 219},
     {195, 179, 12, 128, 72, 56, 143, 251},
     {227, 211, 44, 159, 104, 88, 175, 28}},
    {{4, 195, 52, 243, 16, 207, 64, 255},
     {131, 68, 179, 116, 143, 80, 191, 128},
     {36, 227, 20, 211, 48, 239, 32, 223},
     {163, 100, 147, 84, 175, 112, 159, 96},
     {12, 203, 60, 251, 8, 199, 56, 247},
     {139, 76, 187, 124, 135, 72, 183, 120},
     {44, 235, 28, 219, 40, 231, 24, 215},
     {171, 108, 155, 92, 167, 104, 151, 88}},
};

// Starts at 0 with the library and is never reset; one image is dithered at a time, so relaxed
// ordering is enough (the atomic only keeps a stray second caller from tearing it).
std::atomic<uint8_t> gLineCounter{0};

}  // namespace

uint8_t HalftoneLineCounter() { return gLineCounter.load(std::memory_order_relaxed); }

void SetHalftoneLineCounter(uint8_t row) { gLineCounter.store(row % 8, std::memory_order_relaxed); }

}  // namespace imgfilt

extern "C" IMGFILT_API uint8_t IMGFILT_CALL GrayToHalftone(const uint8_t* source, uint8_t* destination,
                                                           uint32_t sourceLineBytes, uint32_t width,
                                                           uint32_t lines, uint32_t destLineBytes,
                                                           uint8_t pattern, uint8_t orientation) {
  const auto& matrix = imgfilt::kPatterns[pattern >= 1 && pattern <= 4 ? pattern : 0];
  const uint8_t start = imgfilt::HalftoneLineCounter();
  const imgfilt::BilevelCall call{source, destination, sourceLineBytes, width, lines, destLineBytes, orientation};
  const uint8_t code = imgfilt::ConvertToBits(call, [&](size_t y) { return matrix[(start + y) % 8]; });
  if (code == imgfilt::kOk) imgfilt::SetHalftoneLineCounter(static_cast<uint8_t>((start + lines) % 8));
  return code;
}
