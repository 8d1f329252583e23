// The descreen as the library runs it (vector clones chosen for this machine) against the same
// source built for the baseline instruction set without compiler vector code: every byte equal,
// on widths and radii that reach every block size and tail of the vector loops.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "descreen.h"

namespace rastfx_baseline {
struct DescreenKernel {
  uint32_t radius = 0;
  std::vector<double> weights;
  std::vector<double> cumulative;
};
DescreenKernel MakeDescreenKernel(double sigma, uint32_t maxRadius);
uint64_t DescreenWorkBytes(uint32_t bytesPerPixel, uint32_t width, uint32_t height, uint32_t radius);
void DescreenRows(uint8_t* rows, uint32_t bytesPerPixel, uint32_t width, uint32_t height,
                  const DescreenKernel& kernel, void* work);
}  // namespace rastfx_baseline

namespace {

TEST(DescreenSimdTest, VectorClonesGiveTheBaselineBytes) {
  std::mt19937 random(11);
  int run = 0;
  for (uint32_t width : {1u, 15u, 16u, 17u, 63u, 64u, 65u, 341u, 342u, 343u, 700u, 1365u}) {
    for (uint32_t bpp : {1u, 3u, 4u}) {
      double sigma = 0.2 + (run++ % 7) * 1.3;
      uint32_t height = 3 + uint32_t(random() % 30);
      size_t stride = (size_t(width) * bpp + 3) / 4 * 4;
      std::vector<uint8_t> a(stride * height);
      for (auto& b : a) b = uint8_t(random());
      std::vector<uint8_t> b = a;
      rastfx::DescreenKernel k = rastfx::MakeDescreenKernel(sigma, std::max(width, height));
      rastfx_baseline::DescreenKernel kb = rastfx_baseline::MakeDescreenKernel(sigma, std::max(width, height));
      ASSERT_EQ(k.weights, kb.weights);
      std::vector<double> work((rastfx::DescreenWorkBytes(bpp, width, height, k.radius) + 7) / 8);
      std::vector<double> workB((rastfx_baseline::DescreenWorkBytes(bpp, width, height, kb.radius) + 7) / 8);
      rastfx::DescreenRows(a.data(), bpp, width, height, k, work.data());
      rastfx_baseline::DescreenRows(b.data(), bpp, width, height, kb, workB.data());
      ASSERT_EQ(a, b) << "width " << width << ", " << bpp << " bytes a pixel, sigma " << sigma;
    }
  }
}

}  // namespace
