// Every vector path gives the bytes of the plain path, on every target this processor runs.
#include <gtest/gtest.h>

#include <hwy/targets.h>

#include <bit>
#include <numeric>
#include <utility>
#include <random>
#include <vector>

#include "filter_engine.h"
#include "kernel.h"
#include "kernel_simd.h"
#include "scale_pass.h"
#include "scale_runner.h"
#include "scale_table.h"
#include "test_image.h"

namespace {

using imgfilt::Kernel;
using imgfiltTest::AllFilters;
using imgfiltTest::FilterCase;
using imgfiltTest::FilterExport;
using imgfiltTest::Image;
using imgfiltTest::MakeImage;
using imgfiltTest::RandomImage;

template <class Body>
void ForEachTarget(const Body& body) {
  const std::vector<int64_t> targets = imgfilt::SimdTargets();
  ASSERT_FALSE(targets.empty());
  for (int64_t target : targets) {
    hwy::SetSupportedTargetsForTest(target);
    SCOPED_TRACE(hwy::TargetName(target));
    ASSERT_STREQ(imgfilt::ActiveSimdTarget(), hwy::TargetName(target));
    body();
    if (::testing::Test::HasFatalFailure()) break;
  }
  hwy::SetSupportedTargetsForTest(0);
}

FilterExport Engine(const Kernel& kernel, imgfilt::RowFilter row) {
  return [kernel, row](const uint8_t* s, uint8_t* d, uint32_t lb, uint32_t w, uint32_t n, uint8_t o,
                       uint8_t state, uint8_t* buf, ImageRect* r) {
    return imgfilt::RunFilter(imgfilt::FilterCall{s, d, lb, w, n, o, state, buf, r}, kernel, row);
  };
}

std::vector<Kernel> EveryKernel(int bpp) {
  std::vector<Kernel> kernels;
  for (const FilterCase& f : AllFilters()) {
    if (f.bpp == bpp) kernels.push_back(f.kernel);
  }
  for (int a = 0; a < 256; ++a) kernels.push_back(imgfilt::UnsharpKernel(static_cast<uint8_t>(a), bpp));
  for (int a = 9; a <= imgfilt::kMaxNeighbourParam; ++a) kernels.push_back(imgfilt::EightNeighbourKernel(a, bpp));
  for (int a = 5; a <= imgfilt::kMaxNeighbourParam; ++a) kernels.push_back(imgfilt::FourNeighbourKernel(a, bpp));
  return kernels;
}

TEST(SimdEquivalence, RowFiltersMatchPlain) {
  std::mt19937 rng(1);
  ForEachTarget([&rng] {
    for (int bpp : {1, 3}) {
      for (const Kernel& kernel : EveryKernel(bpp)) {
        for (size_t width = 1; width <= 67; ++width) {
          const size_t bytes = width * static_cast<size_t>(bpp);
          // Rows of their exact size, so that a read past either end is caught.
          std::vector<uint8_t> a(bytes), c(bytes), b(bytes), fast(bytes), plain(bytes);
          const bool extremes = width % 2 == 0;  // only 0 and 255: the largest sums and numerators
          for (auto* row : {&a, &c, &b}) {
            for (uint8_t& v : *row) v = extremes ? (rng() & 1 ? 255 : 0) : static_cast<uint8_t>(rng());
          }
          const imgfilt::Rows rows{a.data(), c.data(), b.data()};
          imgfilt::FilterRowFast(kernel, rows, fast.data(), width);
          imgfilt::FilterRowPlain(kernel, rows, plain.data(), width);
          ASSERT_EQ(fast, plain) << "kernel " << int(kernel.type) << " a " << kernel.param
                                 << " bpp " << bpp << " width " << width;
        }
      }
    }
  });
}

TEST(SimdEquivalence, MedianMatchesPlainOnWideRows) {
  // Rows wide enough for the median's shared-column path (two whole vectors), with lengths that
  // leave every remainder, and runs of equal values where ties decide.
  std::mt19937 rng(6);
  ForEachTarget([&rng] {
    for (int bpp : {1, 3}) {
      const Kernel kernel = imgfilt::MedianKernel(bpp);
      for (size_t width : {64, 127, 128, 129, 130, 131, 190, 191, 256, 300, 517, 1030}) {
        const size_t bytes = width * static_cast<size_t>(bpp);
        std::vector<uint8_t> a(bytes), c(bytes), b(bytes), fast(bytes), plain(bytes);
        for (auto* row : {&a, &c, &b}) {
          for (uint8_t& v : *row) v = static_cast<uint8_t>(width % 3 == 0 ? rng() % 4 : rng());
        }
        const imgfilt::Rows rows{a.data(), c.data(), b.data()};
        imgfilt::FilterRowFast(kernel, rows, fast.data(), width);
        imgfilt::FilterRowPlain(kernel, rows, plain.data(), width);
        ASSERT_EQ(fast, plain) << "bpp " << bpp << " width " << width;
      }
    }
  });
}

TEST(SimdEquivalence, FiltersMatchPlainOverEveryGeometry) {
  ForEachTarget([] {
    for (const FilterCase& f : AllFilters()) {
      const FilterExport plain = Engine(f.kernel, &imgfilt::FilterRowPlain);
      for (uint32_t width = 1; width <= 67; ++width) {
        for (uint32_t pad : {0u, 3u}) {
          for (uint32_t lines : {2u, 5u}) {
            for (uint8_t orientation : {0, 1}) {
              const Image src = RandomImage(width, lines, f.bpp, width * 31 + lines, pad, orientation);
              for (uint8_t state : {IMGFILT_BAND_ONLY, IMGFILT_BAND_NONE}) {
                Image fast = MakeImage(width, lines, f.bpp, 7, pad, orientation), slow = fast;
                std::vector<uint8_t> heldFast(2 * src.lineBytes), heldSlow(heldFast);
                // A 1-pixel image has no 2 x 2 region: both paths answer 8 alike.
                const uint8_t code = f.run(src.data(), fast.data(), src.lineBytes, width, lines, orientation, state, heldFast.data(), nullptr);
                ASSERT_EQ(code, plain(src.data(), slow.data(), src.lineBytes, width, lines, orientation, state, heldSlow.data(), nullptr));
                ASSERT_EQ(code, width == 1 && state == IMGFILT_BAND_NONE ? IMGFILT_REGION_TOO_SMALL : IMGFILT_OK);
                ASSERT_EQ(fast.bytes, slow.bytes) << f.name << " width " << width << " pad " << pad << " lines " << lines;
                ASSERT_EQ(heldFast, heldSlow) << f.name;
              }
            }
          }
        }
      }
    }
  });
}

TEST(SimdEquivalence, EveryBandSplitOfFiftyLinesMatchesPlain) {
  ForEachTarget([] {
    for (const FilterCase& f : AllFilters()) {
      for (uint8_t orientation : {0, 1}) {
        const Image src = RandomImage(37, 50, f.bpp, 77, 1, orientation);
        const Image reference = imgfiltTest::RunBands(Engine(f.kernel, &imgfilt::FilterRowPlain), src, {50});
        for (size_t size = 1; size <= 50; ++size) {
          ASSERT_TRUE(imgfiltTest::SameLines(imgfiltTest::RunBands(f.run, src, imgfiltTest::EvenBands(50, size)), reference, 49))
              << f.name << " bands of " << size;
        }
      }
    }
  });
}

TEST(SimdEquivalence, UnsharpMatchesPlainForEveryStrengthByte) {
  ForEachTarget([] {
    for (int bpp : {1, 3}) {
      const Image src = RandomImage(67, 6, bpp, 5);
      for (int a = 0; a < 256; ++a) {
        const Kernel kernel = imgfilt::UnsharpKernel(static_cast<uint8_t>(a), bpp);
        Image fast = MakeImage(67, 6, bpp), slow = fast;
        ASSERT_EQ(imgfilt::RunFilter({src.data(), fast.data(), src.lineBytes, 67, 6, 0, IMGFILT_BAND_NONE, nullptr, nullptr}, kernel), IMGFILT_OK);
        ASSERT_EQ(imgfilt::RunFilter({src.data(), slow.data(), src.lineBytes, 67, 6, 0, IMGFILT_BAND_NONE, nullptr, nullptr}, kernel, &imgfilt::FilterRowPlain), IMGFILT_OK);
        ASSERT_EQ(fast.bytes, slow.bytes) << "strength byte " << a << " bpp " << bpp;
      }
    }
  });
}

std::vector<uint8_t> RandomBytes(size_t n, std::mt19937& rng) {
  std::vector<uint8_t> v(n);
  for (uint8_t& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

TEST(SimdEquivalence, HorizontalPassesMatchPlain) {
  std::mt19937 rng(3);
  const auto& fast = imgfilt::FastScalePasses();
  const auto& plain = imgfilt::PlainScalePasses();
  ForEachTarget([&] {
    std::vector<uint32_t> widths(67);
    std::iota(widths.begin(), widths.end(), 1u);
    // Wide enough for whole vectors of halved outputs on every target.
    widths.insert(widths.end(), {256, 259, 300, 517, 1030});
    for (int bpp : {1, 3}) {
      for (uint32_t width : widths) {
        const std::vector<uint8_t> src = RandomBytes(width * static_cast<size_t>(bpp), rng);
        std::vector<uint8_t> scratch(imgfilt::ScaleScratchBytes(width, bpp));
        for (uint32_t target : {width + 1, width * 2, width * 3 + 1, width * 9 / 8 + 1}) {
          imgfilt::EnlargeTable table;
          ASSERT_EQ(imgfilt::BuildEnlargeTable(width, target, table), IMGFILT_OK);
          ASSERT_EQ(imgfilt::BuildEnlargeGroups(width, bpp, table), IMGFILT_OK);
          std::vector<uint8_t> a(target * static_cast<size_t>(bpp)), b(a.size());
          fast.enlargeLine(table, src.data(), width, bpp, a.data(), scratch.data());
          plain.enlargeLine(table, src.data(), width, bpp, b.data(), scratch.data());
          ASSERT_EQ(a, b) << "enlarge " << width << " to " << target << " bpp " << bpp;
        }
        // Halving and quartering have weights in 1/256 and take the integer path.
        for (uint32_t target : {1u, width / 2, width / 4, width * 9 / 10, width - 1}) {
          if (target == 0 || target >= width) continue;
          imgfilt::ReduceTable table;
          ASSERT_EQ(imgfilt::BuildReduceTable(width, target, table), IMGFILT_OK);
          ASSERT_EQ(imgfilt::BuildReduceLanes(width, bpp, table), IMGFILT_OK);
          if (width % 4 == 0 && target == width / 2) {
            ASSERT_FALSE(table.lanes.weight256.empty());
            ASSERT_LT(table.lanes.halvingBegin, table.lanes.halvingEnd);
          }
          std::vector<uint8_t> a(target * static_cast<size_t>(bpp)), b(a.size());
          fast.reduceLine(table, src.data(), width, bpp, a.data(), scratch.data());
          plain.reduceLine(table, src.data(), width, bpp, b.data(), scratch.data());
          ASSERT_EQ(a, b) << "reduce " << width << " to " << target << " bpp " << bpp;
        }
      }
    }
  });
}

TEST(SimdEquivalence, VerticalPassesMatchPlain) {
  std::mt19937 rng(4);
  const auto& fast = imgfilt::FastScalePasses();
  const auto& plain = imgfilt::PlainScalePasses();
  ForEachTarget([&] {
    for (size_t bytes = 1; bytes <= 201; bytes += 4) {
      const std::vector<uint8_t> upper = RandomBytes(bytes, rng), lower = RandomBytes(bytes, rng);
      for (int w0 = 0; w0 <= 128; ++w0) {
        std::vector<uint8_t> a(bytes), b(bytes);
        fast.blendLines(upper.data(), lower.data(), w0, 128 - w0, a.data(), bytes);
        plain.blendLines(upper.data(), lower.data(), w0, 128 - w0, b.data(), bytes);
        ASSERT_EQ(a, b) << "blend " << w0;
      }
      for (size_t count = 1; count <= 9; ++count) {
        std::vector<std::vector<uint8_t>> lines;
        std::vector<const uint8_t*> pointers;
        std::vector<float> weights;
        for (size_t k = 0; k < count; ++k) {
          lines.push_back(RandomBytes(bytes, rng));
          pointers.push_back(lines.back().data());
          // Odd counts: any weights; even counts: multiples of 1/256 adding up to at most 1.
          const float w = count % 2 == 1 ? std::uniform_real_distribution<float>(0.0f, 2.0f / static_cast<float>(count))(rng)
                                         : static_cast<float>(rng() % (257 / count)) / 256.0f;
          weights.push_back(w);
        }
        std::vector<uint8_t> a(bytes), b(bytes);
        fast.weighLines(pointers.data(), weights.data(), count, a.data(), bytes);
        plain.weighLines(pointers.data(), weights.data(), count, b.data(), bytes);
        ASSERT_EQ(a, b) << "weigh " << count;
      }
      // The vertical step of a halving has its own path; extremes included, where a sum
      // overflowing a byte would show.
      const float quarters[3] = {0.25f, 0.5f, 0.25f};
      std::vector<std::vector<uint8_t>> lines = {RandomBytes(bytes, rng), RandomBytes(bytes, rng),
                                                 std::vector<uint8_t>(bytes, 255)};
      for (size_t i = 0; i < bytes; i += 3) {
        lines[0][i] = 255;
        lines[1][i] = 255;
      }
      const uint8_t* pointers[3] = {lines[0].data(), lines[1].data(), lines[2].data()};
      std::vector<uint8_t> a(bytes), b(bytes);
      fast.weighLines(pointers, quarters, 3, a.data(), bytes);
      plain.weighLines(pointers, quarters, 3, b.data(), bytes);
      ASSERT_EQ(a, b) << "weigh 1/4 1/2 1/4";
    }
  });
}

TEST(SimdEquivalence, ReductionTablesMatchPlain) {
  // Every ratio class: halving, ratios just below 1 (the widened window), odd ratios, windows too
  // wide for the vector builder.
  std::vector<std::pair<uint32_t, uint32_t>> sizes = {{2, 1}, {3, 2}, {100, 99}, {1000, 900}, {1000, 830},
                                                      {1000, 950}, {2480, 1240}, {3508, 1754}, {7016, 3508},
                                                      {500, 7}, {1000, 1}, {77777, 12345}};
  std::mt19937 rng(5);
  for (int i = 0; i < 40; ++i) {
    const uint32_t source = 2 + rng() % 5000;
    sizes.emplace_back(source, 1 + rng() % (source - 1));
  }
  ForEachTarget([&] {
    for (const auto& [source, target] : sizes) {
      imgfilt::ReduceTable vector, plain;
      ASSERT_EQ(imgfilt::BuildReduceTable(source, target, vector), IMGFILT_OK);
      ASSERT_EQ(imgfilt::BuildReduceTable(source, target, plain, imgfilt::TableMath::kPlain), IMGFILT_OK);
      ASSERT_EQ(vector.pairs.size(), plain.pairs.size()) << source << " to " << target;
      for (size_t k = 0; k < plain.pairs.size(); ++k) {
        ASSERT_EQ(vector.pairs[k].index, plain.pairs[k].index) << source << " to " << target << " pair " << k;
        // Bit for bit: equal floats could still differ in sign of zero.
        ASSERT_EQ(std::bit_cast<uint32_t>(vector.pairs[k].weight), std::bit_cast<uint32_t>(plain.pairs[k].weight))
            << source << " to " << target << " pair " << k;
      }
      for (size_t t = 0; t < target; ++t) {
        ASSERT_EQ(vector.entries[t].first, plain.entries[t].first);
        ASSERT_EQ(vector.entries[t].count, plain.entries[t].count);
      }
      ASSERT_EQ(vector.maxSpan, plain.maxSpan);
      ASSERT_EQ(vector.maxCount, plain.maxCount);
    }
  });
}

TEST(SimdEquivalence, ReductionWindowsMatchPlainFarAlongLongLines) {
  // Positions past 2^24, where single precision no longer holds every whole number.
  const std::pair<uint32_t, uint32_t> sizes[] = {{1u << 28, 1u << 27}, {268435399, 241591859}, {268435399, 200000017},
                                                 {(1u << 25) + 7, 1u << 24}};
  ForEachTarget([&] {
    for (const auto& [source, target] : sizes) {
      const float f = static_cast<float>(target) / static_cast<float>(source);
      const float radius = (f > 0.83f && f < 0.95f ? 1.2f : 1.0f) / f;
      for (uint32_t first : {(1u << 24) - 30, target / 2 + 3, target - 64}) {
        imgfilt::ReduceWindows vector{}, plain{};
        ASSERT_TRUE(imgfilt::ReduceWindowsFast(f, radius, first, 64, vector));
        ASSERT_TRUE(imgfilt::ReduceWindowsPlain(f, radius, first, 64, plain));
        for (size_t i = 0; i < 64; ++i) {
          ASSERT_EQ(vector.first[i], plain.first[i]) << source << " to " << target << " at " << first + i;
          ASSERT_EQ(vector.count[i], plain.count[i]) << source << " to " << target << " at " << first + i;
          for (int32_t k = 0; k < plain.count[i]; ++k) {
            ASSERT_EQ(std::bit_cast<uint32_t>(vector.weight[k][i]), std::bit_cast<uint32_t>(plain.weight[k][i]))
                << source << " to " << target << " at " << first + i << " candidate " << k;
          }
        }
      }
    }
  });
}

TEST(SimdEquivalence, ScalerMatchesPlainInEveryPassOrder) {
  struct Geometry { uint32_t w, h, tw, th; };
  const Geometry geometries[] = {{23, 17, 51, 17}, {23, 17, 51, 9},  {23, 17, 51, 40}, {60, 17, 31, 17},
                                 {60, 17, 31, 8},  {60, 17, 29, 45}, {23, 17, 23, 40}, {23, 17, 23, 7},
                                 {5, 3, 4, 11},    {1, 1, 3, 2},     {67, 12, 60, 11},
                                 {64, 18, 32, 9},  {70, 20, 35, 10},
                                 // Halvings wide enough for whole vectors, even and odd.
                                 {300, 21, 150, 10}, {517, 13, 258, 6}, {1030, 9, 515, 4}};
  ForEachTarget([&] {
    for (int bpp : {1, 3}) {
      for (const Geometry& g : geometries) {
        for (uint8_t orientation : {0, 1}) {
          const Image src = RandomImage(g.w, g.h, bpp, g.w + g.h, 2, orientation);
          for (size_t size : {size_t{1}, size_t{4}, size_t{g.h}}) {
            imgfilt::Scaler fast(bpp), plain(bpp);
            const auto bands = imgfiltTest::EvenBands(g.h, size);
            const Image a = imgfiltTest::ScaleInBands(imgfiltTest::ScaleWith(fast, imgfilt::FastScalePasses()), src, g.tw, g.th, bands, 1);
            const Image b = imgfiltTest::ScaleInBands(imgfiltTest::ScaleWith(plain, imgfilt::PlainScalePasses()), src, g.tw, g.th, bands, 1);
            ASSERT_EQ(a.bytes, b.bytes) << g.w << "x" << g.h << " to " << g.tw << "x" << g.th << " bpp " << bpp << " bands of " << size;
          }
        }
      }
    }
  });
}

}  // namespace
