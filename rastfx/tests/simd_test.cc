// The descreen as the library runs it (the vector build chosen for this machine) against the same
// source built for the baseline instruction set, which divides every quotient: every byte equal,
// on widths and radii that reach every block size and tail of the vector loops.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "descreen.h"
#include "window_sums_targets.h"

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

// Each vector build of the window sums on its own, where this processor runs it, against the plain
// loop: terms in order, one division, truncated. Sources of random bytes and flat ones (quotients
// next to a whole number), tap counts and lengths that reach every block size and tail. The builds
// that leave whole numbers in double must hold exactly the plain bytes' values.
using WholeBuild = void (*)(const double*, const size_t*, const double*, size_t, size_t, double, double*);

// A build that stores doubles, seen through bytes: each value must be a whole number 0..255, and
// nothing is written past the end.
auto AsBytes(WholeBuild build) {
  return [build](const double* base, const size_t* offsets, const double* weights, size_t taps, size_t n,
                 double divisor, uint8_t* out) {
    std::vector<double> whole(n + 1, -1.0);
    build(base, offsets, weights, taps, n, divisor, whole.data());
    EXPECT_EQ(whole[n], -1.0);
    for (size_t i = 0; i < n; ++i) {
      EXPECT_TRUE(whole[i] >= 0.0 && whole[i] <= 255.0 && whole[i] == std::trunc(whole[i])) << whole[i];
      out[i] = uint8_t(whole[i]);
    }
  };
}

TEST(DescreenSimdTest, EachVectorBuildGivesThePlainQuotients) {
  using Build =
      std::function<void(const double*, const size_t*, const double*, size_t, size_t, double, uint8_t*)>;
  std::vector<std::pair<const char*, Build>> builds;
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl")) {
    builds.emplace_back("AVX-512", rastfx::WindowSums512);
    builds.emplace_back("AVX-512 whole", AsBytes(rastfx::WindowSumsWhole512));
  }
  if (__builtin_cpu_supports("avx2")) {
    builds.emplace_back("AVX2", rastfx::WindowSums256);
    builds.emplace_back("AVX2 whole", AsBytes(rastfx::WindowSumsWhole256));
  }
#endif
  if (builds.empty()) GTEST_SKIP() << "no vector build runs here";
  std::mt19937 random(5);
  for (size_t taps : {1u, 2u, 3u, 13u, 31u}) {
    for (size_t n : {1u, 7u, 8u, 9u, 63u, 64u, 65u, 200u}) {
      for (bool flat : {false, true}) {
        // Term rows in one block, in the order of a ring that has wrapped round.
        std::vector<double> block(taps * n);
        std::vector<std::vector<double>> rows(taps, std::vector<double>(n));
        std::vector<size_t> offsets;
        std::vector<double> weights;
        double divisor = 1.0;
        for (size_t t = 0; t < taps; ++t) {
          offsets.push_back((t + taps / 2) % taps * n);
          for (size_t i = 0; i < n; ++i) {
            rows[t][i] = flat ? double(i % 256) : double(random() % 256);
            block[offsets[t] + i] = rows[t][i];
          }
          double w = t == 0 ? 1.0 : std::exp(-double(t * t) / 50.0);
          weights.push_back(w);
          if (t > 0) divisor += w;
        }
        std::vector<uint8_t> expected(n);
        for (size_t i = 0; i < n; ++i) {
          double sum = 0.0;
          for (size_t t = 0; t < taps; ++t) sum += rows[t][i] * weights[t];
          expected[i] = uint8_t(int(sum / divisor));
        }
        for (auto& [name, build] : builds) {
          std::vector<uint8_t> out(n + 1, 0xEE);
          build(block.data(), offsets.data(), weights.data(), taps, n, divisor, out.data());
          EXPECT_EQ(out[n], 0xEE) << name;  // nothing past the end
          out.resize(n);
          ASSERT_EQ(out, expected) << name << ", " << taps << " taps, " << n << (flat ? " flat" : "");
        }
      }
    }
  }
}

}  // namespace
