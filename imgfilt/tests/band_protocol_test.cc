// The band protocol, regions and argument checks of the neighbourhood filters.
#include <gtest/gtest.h>

#include <vector>

#include "imgfilt.h"
#include "test_image.h"
#include "work_buffer.h"

namespace {

using imgfiltTest::AllFilters;
using imgfiltTest::FilterCase;
using imgfiltTest::Image;
using imgfiltTest::MakeImage;
using imgfiltTest::RandomImage;
using imgfiltTest::SameLines;

using imgfiltTest::EvenBands;
using imgfiltTest::kSentinel;
using imgfiltTest::RunBands;

TEST(BandProtocol, AnyBandSplitMatchesOneBand) {
  for (const FilterCase& f : AllFilters()) {
    for (uint8_t orientation : {0, 1}) {
      const Image src = RandomImage(13, 50, f.bpp, 11, 3, orientation);
      const Image whole = RunBands(f.run, src, {50});
      for (size_t size = 1; size < 50; ++size) {
        ASSERT_TRUE(SameLines(RunBands(f.run, src, EvenBands(50, size)), whole, 49)) << f.name << " bands of " << size;
      }
      for (size_t split = 1; split < 50; ++split) {
        ASSERT_TRUE(SameLines(RunBands(f.run, src, {split, 50 - split}), whole, 49)) << f.name << " split " << split;
      }
    }
  }
}

TEST(BandProtocol, SecondBandStartsOnTheFirstBandsLastLine) {
  const FilterCase f = AllFilters()[0];
  const Image src = RandomImage(8, 20, 1, 5);
  Image whole = MakeImage(8, 20, 1);
  ASSERT_EQ(f.run(src.data(), whole.data(), 8, 8, 20, 0, IMGFILT_BAND_NONE, nullptr, nullptr), IMGFILT_OK);
  std::vector<uint8_t> held(16);
  Image first = MakeImage(8, 10, 1, kSentinel);
  ASSERT_EQ(f.run(src.data(), first.data(), 8, 8, 10, 0, IMGFILT_BAND_FIRST, held.data(), nullptr), IMGFILT_OK);
  EXPECT_TRUE(SameLines(first, whole, 9));
  EXPECT_EQ(first.line(9)[0], kSentinel);
  Image second = MakeImage(8, 10, 1, kSentinel);
  ASSERT_EQ(f.run(src.line(10), second.data(), 8, 8, 10, 0, IMGFILT_BAND_MIDDLE, held.data(), nullptr), IMGFILT_OK);
  EXPECT_TRUE(SameLines(second, whole, 10, 0, 9));
}

TEST(BandProtocol, WholeImageModeRepeatsTheLastLine) {
  for (const FilterCase& f : AllFilters()) {
    const Image src = RandomImage(11, 7, f.bpp, 9);
    Image whole = MakeImage(11, 7, f.bpp);
    ASSERT_EQ(f.run(src.data(), whole.data(), src.lineBytes, 11, 7, 0, IMGFILT_BAND_NONE, nullptr, nullptr), IMGFILT_OK);
    // Above the last line the two modes agree; the last line only exists in mode 4.
    EXPECT_TRUE(SameLines(RunBands(f.run, src, {7}), whole, 6)) << f.name;
    Image repeated = src;
    repeated.lines = 8;
    repeated.bytes.insert(repeated.bytes.end(), src.line(6), src.line(6) + src.lineBytes);
    EXPECT_TRUE(SameLines(RunBands(f.run, repeated, {8}), whole, 7)) << f.name;
  }
}

TEST(BandProtocol, RegionIsFilteredAsAnImageOfItsOwn) {
  const ImageRect regions[] = {{2, 1, 9, 6}, {0, 0, 3, 1}, {5, 3, 11, 8}, {10, 7, 4, 2}};
  for (const FilterCase& f : AllFilters()) {
    for (uint8_t orientation : {0, 1}) {
      const Image src = RandomImage(12, 9, f.bpp, 21, 2, orientation);
      for (ImageRect region : regions) {
        Image dst = MakeImage(12, 9, f.bpp, kSentinel, 2, orientation);
        ASSERT_EQ(f.run(src.data(), dst.data(), src.lineBytes, 12, 9, orientation, IMGFILT_BAND_NONE, nullptr, &region), IMGFILT_OK);
        const size_t w = static_cast<size_t>(region.right - region.left + 1);
        const size_t h = static_cast<size_t>(region.bottom - region.top + 1);
        Image crop = MakeImage(static_cast<uint32_t>(w), static_cast<uint32_t>(h), f.bpp);
        for (size_t y = 0; y < h; ++y) {
          std::copy_n(src.line(region.top + y) + region.left * f.bpp, crop.rowBytes(), crop.line(y));
        }
        Image expected = MakeImage(crop.width, crop.lines, f.bpp);
        ASSERT_EQ(f.run(crop.data(), expected.data(), crop.lineBytes, crop.width, crop.lines, 0, IMGFILT_BAND_NONE, nullptr, nullptr), IMGFILT_OK);
        for (size_t y = 0; y < 9; ++y) {
          for (size_t x = 0; x < 12; ++x) {
            const bool inside = y >= size_t(region.top) && y < size_t(region.top) + h &&
                                x >= size_t(region.left) && x < size_t(region.left) + w;
            for (int c = 0; c < f.bpp; ++c) {
              const uint8_t want = inside ? expected.at(x - region.left, y - region.top, c) : kSentinel;
              ASSERT_EQ(dst.at(x, y, c), want) << f.name << " at " << x << "," << y;
            }
          }
        }
      }
    }
  }
}

TEST(BandProtocol, RegionIsNormalisedAndWrittenBack) {
  const Image src = RandomImage(10, 8, 1, 1);
  Image dst = MakeImage(10, 8, 1);
  const auto run = [&](ImageRect r) {
    MedianGray(src.data(), dst.data(), 10, 10, 8, 0, IMGFILT_BAND_NONE, nullptr, &r);
    return r;
  };
  const auto equal = [](ImageRect a, ImageRect b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  };
  EXPECT_TRUE(equal(run({7, 6, 2, 1}), {2, 1, 7, 6}));        // corners ordered
  EXPECT_TRUE(equal(run({-5, -3, 4, 20}), {0, 0, 4, 7}));     // clipped
  EXPECT_TRUE(equal(run({-9, 2, -1, 5}), {0, 0, 9, 7}));      // wholly left: whole image
  EXPECT_TRUE(equal(run({10, 2, 12, 5}), {0, 0, 9, 7}));      // wholly right: whole image
  EXPECT_TRUE(equal(run({1, 8, 4, 9}), {0, 0, 9, 7}));        // wholly below: whole image
  EXPECT_TRUE(equal(run({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}), {0, 0, 9, 7}));
}

TEST(BandProtocol, RegionTooSmallReturns8AndWritesNothing) {
  const Image src = RandomImage(10, 8, 3, 1);
  Image dst = MakeImage(10, 8, 3, kSentinel);
  const Image untouched = dst;
  for (ImageRect r : {ImageRect{3, 1, 3, 6}, ImageRect{1, 4, 8, 4}, ImageRect{9, 0, 15, 7}}) {
    EXPECT_EQ(SharpenColor(src.data(), dst.data(), src.lineBytes, 10, 8, 0, 1, IMGFILT_BAND_NONE, nullptr, &r), IMGFILT_REGION_TOO_SMALL);
  }
  Image oneLine = RandomImage(10, 1, 3, 1);
  EXPECT_EQ(BlurColor(oneLine.data(), dst.data(), oneLine.lineBytes, 10, 1, 0, 1, IMGFILT_BAND_NONE, nullptr, nullptr), IMGFILT_REGION_TOO_SMALL);
  EXPECT_EQ(dst.bytes, untouched.bytes);
}

TEST(BandProtocol, SourceMayBeTheDestination) {
  for (const FilterCase& f : AllFilters()) {
    for (uint8_t orientation : {0, 1}) {
      const Image src = RandomImage(9, 12, f.bpp, 4, 1, orientation);
      for (uint8_t state : {IMGFILT_BAND_FIRST, IMGFILT_BAND_MIDDLE, IMGFILT_BAND_NONE}) {
        ImageRect region{1, 2, 7, 10};
        ImageRect* r = state == IMGFILT_BAND_NONE ? &region : nullptr;
        std::vector<uint8_t> held(2 * src.lineBytes, 9), heldInPlace = held;
        Image apart = src;
        ASSERT_EQ(f.run(src.data(), apart.data(), src.lineBytes, 9, 12, orientation, state, held.data(), r), IMGFILT_OK);
        ImageRect region2{1, 2, 7, 10};
        Image in_place = src;
        ASSERT_EQ(f.run(in_place.data(), in_place.data(), src.lineBytes, 9, 12, orientation, state,
                        heldInPlace.data(), r ? &region2 : nullptr), IMGFILT_OK);
        EXPECT_EQ(in_place.bytes, apart.bytes) << f.name << " state " << int{state};
        EXPECT_EQ(heldInPlace, held) << f.name;
      }
    }
  }
}

TEST(BandProtocol, DestinationOverlappingTheSourceOneLineOnIsSafe) {
  for (const FilterCase& f : AllFilters()) {
    const Image src = RandomImage(9, 12, f.bpp, 8);
    Image apart = MakeImage(9, 12, f.bpp);
    ASSERT_EQ(f.run(src.data(), apart.data(), src.lineBytes, 9, 12, 0, IMGFILT_BAND_NONE, nullptr, nullptr), IMGFILT_OK);
    for (int shift : {-1, 1}) {
      std::vector<uint8_t> buffer(src.bytes.size() + 2 * src.lineBytes);
      uint8_t* in = buffer.data() + src.lineBytes;
      std::copy(src.bytes.begin(), src.bytes.end(), in);
      uint8_t* out = in + shift * static_cast<int>(src.lineBytes);
      ASSERT_EQ(f.run(in, out, src.lineBytes, 9, 12, 0, IMGFILT_BAND_NONE, nullptr, nullptr), IMGFILT_OK);
      EXPECT_TRUE(std::equal(apart.bytes.begin(), apart.bytes.end(), out)) << f.name << " shift " << shift;
    }
  }
}

TEST(BandProtocol, BadArgumentsReturnTheirCodeAndWriteNothing) {
  const Image src = RandomImage(6, 5, 3, 2);
  Image dst = MakeImage(6, 5, 3, kSentinel);
  std::vector<uint8_t> held(2 * src.lineBytes, kSentinel);
  const Image untouched = dst;
  const auto sharpen = [&](const uint8_t* s, uint8_t* d, uint32_t lb, uint32_t w, uint32_t n,
                           uint8_t state, uint8_t* buf) {
    return SharpenColor(s, d, lb, w, n, 0, 1, state, buf, nullptr);
  };
  EXPECT_EQ(sharpen(nullptr, dst.data(), 18, 6, 5, 0, held.data()), IMGFILT_NULL_POINTER);
  EXPECT_EQ(sharpen(src.data(), nullptr, 18, 6, 5, 0, held.data()), IMGFILT_NULL_POINTER);
  EXPECT_EQ(sharpen(nullptr, dst.data(), 0, 6, 5, 0, held.data()), IMGFILT_NULL_POINTER);  // checked first
  EXPECT_EQ(sharpen(src.data(), dst.data(), 0, 6, 5, 0, held.data()), IMGFILT_ZERO_SIZE);
  EXPECT_EQ(sharpen(src.data(), dst.data(), 18, 0, 5, 0, held.data()), IMGFILT_ZERO_SIZE);
  EXPECT_EQ(sharpen(src.data(), dst.data(), 18, 6, 0, 0, held.data()), IMGFILT_ZERO_SIZE);
  EXPECT_EQ(sharpen(src.data(), dst.data(), 18, 6, 5, 5, held.data()), IMGFILT_OUT_OF_RANGE);
  EXPECT_EQ(sharpen(src.data(), dst.data(), 18, 6, 5, 255, nullptr), IMGFILT_OUT_OF_RANGE);
  // Lines shorter than their pixels would run into each other.
  EXPECT_EQ(sharpen(src.data(), dst.data(), 17, 6, 5, 4, nullptr), IMGFILT_OUT_OF_RANGE);
  EXPECT_EQ(sharpen(src.data(), dst.data(), 18, 6, 5, 0, nullptr), IMGFILT_NULL_POINTER);
  EXPECT_EQ(sharpen(src.data(), dst.data(), 18, 6, 5, 2, nullptr), IMGFILT_NULL_POINTER);
  EXPECT_EQ(dst.bytes, untouched.bytes);
  EXPECT_EQ(held, std::vector<uint8_t>(held.size(), kSentinel));
}

TEST(BandProtocol, FailedAllocationReturns10AndWritesNothing) {
  const Image src = RandomImage(7, 6, 1, 3);
  Image expected = src;
  ASSERT_EQ(MedianGray(src.data(), expected.data(), 7, 7, 6, 0, IMGFILT_BAND_NONE, nullptr, nullptr), IMGFILT_OK);
  // Every allocation failing: 10 each time until the switch is cleared.
  Image refused = src;
  imgfilt::faults::FailEvery();
  EXPECT_EQ(MedianGray(refused.data(), refused.data(), 7, 7, 6, 0, IMGFILT_BAND_NONE, nullptr, nullptr), 10);
  EXPECT_EQ(MedianGray(refused.data(), refused.data(), 7, 7, 6, 0, IMGFILT_BAND_NONE, nullptr, nullptr), 10);
  imgfilt::faults::Clear();
  EXPECT_EQ(refused.bytes, src.bytes);
  // In place, so that the filter needs its copies; fail each allocation in turn until none is left.
  for (int n = 1;; ++n) {
    Image image = src;
    imgfilt::faults::FailNth(n);
    const uint8_t code = MedianGray(image.data(), image.data(), 7, 7, 6, 0, IMGFILT_BAND_NONE, nullptr, nullptr);
    imgfilt::faults::Clear();
    if (code == IMGFILT_OK) {
      EXPECT_EQ(image.bytes, expected.bytes);
      EXPECT_GT(n, 1);
      break;
    }
    ASSERT_EQ(code, IMGFILT_NO_MEMORY);
    ASSERT_EQ(image.bytes, src.bytes) << "allocation " << n;
  }
}

}  // namespace
