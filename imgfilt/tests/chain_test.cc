// The banded chain: line counts, where each step writes, the band-state bookkeeping, and any
// band split of random chains giving the bytes of one band.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "imgfilt.h"
#include "point_ops.h"
#include "test_image.h"
#include "work_buffer.h"

namespace {

using imgfiltTest::Image;
using imgfiltTest::MakeImage;
using imgfiltTest::RandomImage;

// The result of a chain run: its lines in image order, outLineBytes apart.
struct Result {
  uint32_t lineBytes = 0;
  uint32_t width = 0;
  std::vector<uint8_t> lines;  // image order
  size_t count() const { return lineBytes == 0 ? 0 : lines.size() / lineBytes; }
};

ProcessParam Record(const Image& src, uint16_t ops, uint8_t type) {
  ProcessParam p{};
  p.lineBytes = src.lineBytes;
  p.width = src.width;
  p.totalLines = src.lines;
  p.targetWidth = src.width;
  p.targetHeight = src.lines - GetExtraLineNum(ops);
  p.imageType = type;
  p.orientation = src.orientation;
  p.operations = ops;
  p.threshold = 128;
  p.halftonePattern = 1;
  p.blurLevel = 2;
  p.sharpenLevel = 3;
  p.unsharpLevel = 40;
  p.makeClearLevel = 7;
  p.screenRuling = 150;
  p.xResolution = p.yResolution = 300;
  return p;
}

// Feeds `src` to the chain in bands of the given sizes with a copy of `proto`.
Result RunChain(const Image& src, ProcessParam proto, const std::vector<size_t>& sizes) {
  imgfilt::SetHalftoneLineCounter(0);
  Result r;
  size_t first = 0;
  for (size_t b = 0; b < sizes.size(); ++b) {
    proto.lines = static_cast<uint32_t>(sizes[b]);
    proto.bandState = b == 0 ? 0 : 1;
    Image band = imgfiltTest::Band(src, first, sizes[b]);
    const size_t capacity = (size_t{proto.targetHeight} * sizes[b] / std::max<uint32_t>(1, proto.totalLines) + sizes[b] + 2) *
                            (std::max(proto.lineBytes, proto.targetWidth * 3) + 8);
    std::vector<uint8_t> dst(capacity, imgfiltTest::kSentinel);
    const bool up = src.orientation == 1;
    uint8_t* s = up ? band.data() + band.bytes.size() - 1 : band.data();
    uint8_t* d = up ? dst.data() + dst.size() - 1 : dst.data();
    EXPECT_EQ(DoImgfiltess(s, d, &proto), 1u) << "band " << b;
    const size_t olb = proto.outLineBytes, n = proto.outLines;
    r.lineBytes = proto.outLineBytes;
    r.width = proto.outWidth;
    for (size_t y = 0; y < n; ++y) {
      const uint8_t* line = up ? dst.data() + dst.size() - (y + 1) * olb : dst.data() + y * olb;
      r.lines.insert(r.lines.end(), line, line + olb);
    }
    first += sizes[b];
    EXPECT_EQ(proto.bandState == 2 || proto.bandState == 3, b + 1 == sizes.size()) << "band " << b;
  }
  return r;
}

// Only the pixel bytes of each line count (padding is not part of the result).
void ExpectSamePixels(const Result& a, const Result& b, size_t pixelBytes, const std::string& what) {
  ASSERT_EQ(a.count(), b.count()) << what;
  ASSERT_EQ(a.lineBytes, b.lineBytes) << what;
  for (size_t y = 0; y < a.count(); ++y) {
    ASSERT_TRUE(std::equal(&a.lines[y * a.lineBytes], &a.lines[y * a.lineBytes] + pixelBytes, &b.lines[y * b.lineBytes]))
        << what << " line " << y;
  }
}

TEST(Chain, ExtraLineCounts) {
  EXPECT_EQ(GetExtraLineNum(0x0014), 3u);
  EXPECT_EQ(GetExtraLineNum(0x00E3), 0u);
  EXPECT_EQ(GetExtraLineNum(0x070C), 5u);
  EXPECT_EQ(GetExtraLineNum(0xFFFF0000u), 0u) << "only the low 16 bits count";
}

TEST(Chain, NoOperationsDoesNothing) {
  Image src = RandomImage(8, 4, 1, 1);
  ProcessParam p = Record(src, 0, IMGFILT_TYPE_GRAY);
  p.lines = 4;
  p.outLineBytes = p.outWidth = p.outLines = 77;
  std::vector<uint8_t> dst(32, 0);
  EXPECT_EQ(DoImgfiltess(src.data(), dst.data(), &p), 0u);
  EXPECT_EQ(p.outLineBytes, 8u);
  EXPECT_EQ(p.outWidth, 8u);
  EXPECT_EQ(p.outLines, 4u);
  EXPECT_EQ(dst, std::vector<uint8_t>(32, 0));
}

// A bilevel line is a whole number of 32-bit words: from 3 gray bytes a line, 4. Each line's
// pixel byte lands at its place, outLineBytes apart, and nothing goes past outLines lines.
TEST(Chain, NarrowGrayLinesBecomeWordLongBilevelLines) {
  Image src = RandomImage(3, 5, 1, 4);
  ASSERT_EQ(src.lineBytes, 3u);
  ProcessParam p = Record(src, IMGFILT_OP_THRESHOLD, IMGFILT_TYPE_GRAY);
  p.lines = 5;
  std::vector<uint8_t> dst(5 * 4 + 8, 0xA5);
  ASSERT_EQ(DoImgfiltess(src.data(), dst.data(), &p), 1u);
  EXPECT_EQ(p.outLineBytes, 4u);
  EXPECT_EQ(p.outLines, 5u);
  for (uint32_t y = 0; y < 5; ++y) {
    uint8_t bits = 0;
    for (uint32_t x = 0; x < 3; ++x) {
      if (src.line(y)[x] >= 128) bits = uint8_t(bits | 0x80 >> x);
    }
    EXPECT_EQ(dst[y * 4] & 0xE0, bits) << y;
  }
  for (size_t i = 5 * 4; i < dst.size(); ++i) EXPECT_EQ(dst[i], 0xA5) << i;
}

TEST(Chain, InvertAloneWritesTheDestinationAndKeepsTheSource) {
  const Image src = RandomImage(9, 6, 1, 2, 3);
  Image work = src;
  ProcessParam p = Record(src, IMGFILT_OP_INVERT, IMGFILT_TYPE_GRAY);
  p.lines = 6;
  std::vector<uint8_t> dst(work.bytes.size());
  ASSERT_EQ(DoImgfiltess(work.data(), dst.data(), &p), 1u);
  EXPECT_EQ(work.bytes, src.bytes);
  for (size_t i = 0; i < dst.size(); ++i) EXPECT_EQ(dst[i], static_cast<uint8_t>(~src.bytes[i]));
  EXPECT_EQ(p.bandState, 3) << "a single band is first and last";
}

TEST(Chain, BlurThenSharpenLineCountsAndWriteTargets) {
  const Image src = RandomImage(12, 30, 1, 3);
  ProcessParam p = Record(src, IMGFILT_OP_BLUR | IMGFILT_OP_SHARPEN, IMGFILT_TYPE_GRAY);
  // The witness: the two filters called one after the other on the whole image.
  Image blurred = MakeImage(12, 30, 1), expected = MakeImage(12, 30, 1);
  std::vector<uint8_t> held(24);
  ASSERT_EQ(BlurGray(src.data(), blurred.data(), 12, 12, 30, 0, 2, IMGFILT_BAND_ONLY, held.data(), nullptr), 0);
  ASSERT_EQ(SharpenGray(blurred.data(), expected.data(), 12, 12, 29, 0, 3, IMGFILT_BAND_ONLY, held.data(), nullptr), 0);

  size_t total = 0;
  for (size_t b = 0; b < 3; ++b) {
    Image band = imgfiltTest::Band(src, 10 * b, 10);
    const Image before = band;
    std::vector<uint8_t> dst(120, imgfiltTest::kSentinel);
    p.lines = 10;
    p.bandState = b == 0 ? 0 : 1;
    ASSERT_EQ(DoImgfiltess(band.data(), dst.data(), &p), 1u);
    if (b == 0) {
      EXPECT_EQ(p.totalLines, 28u) << "lowered by the two extra lines";
    }
    EXPECT_EQ(p.outLines, b == 0 ? 8u : 10u);
    EXPECT_NE(band.bytes, before.bytes) << "blur works in place in the source band";
    for (size_t y = 0; y < p.outLines; ++y) {
      EXPECT_TRUE(std::equal(&dst[y * 12], &dst[y * 12] + 12, expected.line(total + y))) << "band " << b << " line " << y;
    }
    total += p.outLines;
  }
  EXPECT_EQ(total, 28u);
  EXPECT_EQ(p.bandState, 2);
}

TEST(Chain, ScalingToTheSameSizeCopiesTheBand) {
  const Image src = RandomImage(10, 7, 3, 4, 2);
  Image work = src;
  ProcessParam p = Record(src, IMGFILT_OP_SCALING, IMGFILT_TYPE_COLOR);
  p.lines = 7;
  std::vector<uint8_t> dst(7 * 32, imgfiltTest::kSentinel);
  ASSERT_EQ(DoImgfiltess(work.data(), dst.data(), &p), 1u);
  EXPECT_EQ(p.outLineBytes, 32u);
  EXPECT_EQ(p.outLines, 7u);
  for (size_t y = 0; y < 7; ++y) EXPECT_TRUE(std::equal(&dst[y * 32], &dst[y * 32] + 30, src.line(y)));
}

TEST(Chain, ImageTypeOutsideTheRange) {
  Image src = RandomImage(8, 4, 1, 5);
  std::vector<uint8_t> dst(32);
  ProcessParam p = Record(src, IMGFILT_OP_INVERT, 5);
  p.lines = 4;
  p.orientation = 1;
  EXPECT_EQ(DoImgfiltess(src.data() + 31, dst.data() + 31, &p), 13u);
  p.orientation = 0;
  EXPECT_EQ(DoImgfiltess(src.data(), dst.data(), &p), 1u);
  EXPECT_EQ(dst, src.bytes) << "nothing applies: the band is copied";
}

TEST(Chain, RefusedCallsWriteNothing) {
  Image src = RandomImage(8, 4, 1, 6);
  std::vector<uint8_t> dst(64, 0);
  ProcessParam p = Record(src, IMGFILT_OP_DESCREEN, IMGFILT_TYPE_GRAY);
  p.lines = 2;  // descreen consumes two lines: a first band needs three
  EXPECT_EQ(DoImgfiltess(src.data(), dst.data(), &p), 13u);
  p.lines = 4;
  p.bandState = 1;  // no first band yet
  EXPECT_EQ(DoImgfiltess(src.data(), dst.data(), &p), 13u);
  EXPECT_EQ(DoImgfiltess(nullptr, dst.data(), &p), 11u);
  EXPECT_EQ(DoImgfiltess(src.data(), dst.data(), nullptr), 11u);
  p.bandState = 0;
  p.lineBytes = 7;  // shorter than the width
  EXPECT_EQ(DoImgfiltess(src.data(), dst.data(), &p), 13u);
  p.lineBytes = 0;
  EXPECT_EQ(DoImgfiltess(src.data(), dst.data(), &p), 9u);
  p.lineBytes = 8;
  p.bandState = 7;
  EXPECT_EQ(DoImgfiltess(src.data(), dst.data(), &p), 13u);
  EXPECT_EQ(dst, std::vector<uint8_t>(64, 0));

  // A later band must keep the first band's geometry: the held lines are that wide.
  Image big = RandomImage(8, 12, 1, 7);
  p = Record(big, IMGFILT_OP_BLUR, IMGFILT_TYPE_GRAY);
  p.lines = 4;
  ASSERT_EQ(DoImgfiltess(big.data(), dst.data(), &p), 1u);
  p.bandState = 1;
  p.lineBytes = 16;
  EXPECT_EQ(DoImgfiltess(big.data(), dst.data(), &p), 13u);
  p.lineBytes = 8;
  EXPECT_EQ(DoImgfiltess(big.data(), dst.data(), &p), 1u);
}

TEST(Chain, AFirstBandShortOfTheConsumedLinesIsNotTheLast) {
  // Blur consumes one line: 10 lines delivered give 9. A first band of 9 still needs the tenth.
  const Image src = RandomImage(6, 10, 1, 9);
  ProcessParam p = Record(src, IMGFILT_OP_BLUR, IMGFILT_TYPE_GRAY);
  std::vector<uint8_t> dst(60);
  p.lines = 9;
  ASSERT_EQ(DoImgfiltess(imgfiltTest::Band(src, 0, 9).data(), dst.data(), &p), 1u);
  EXPECT_EQ(p.bandState, 0);
  EXPECT_EQ(p.outLines, 8u);
  p.lines = 1;
  p.bandState = 1;
  ASSERT_EQ(DoImgfiltess(imgfiltTest::Band(src, 9, 1).data(), dst.data(), &p), 1u);
  EXPECT_EQ(p.bandState, 2);
  EXPECT_EQ(p.outLines, 1u);
}

TEST(Chain, ThresholdWinsWhenBothConversionsAreAsked) {
  const Image src = RandomImage(20, 6, 1, 10);
  ProcessParam both = Record(src, IMGFILT_OP_THRESHOLD | IMGFILT_OP_HALFTONE, IMGFILT_TYPE_GRAY);
  ProcessParam one = Record(src, IMGFILT_OP_THRESHOLD, IMGFILT_TYPE_GRAY);
  const Result a = RunChain(src, both, {6});
  const Result b = RunChain(src, one, {6});
  EXPECT_EQ(a.lineBytes, 4u);
  ExpectSamePixels(a, b, 3, "threshold and halftone");
}

TEST(Chain, NoMemoryForTheLineBufferWritesNothing) {
  Image src = RandomImage(8, 6, 1, 11);
  const Image before = src;
  ProcessParam p = Record(src, IMGFILT_OP_MEDIAN, IMGFILT_TYPE_GRAY);
  p.lines = 6;
  std::vector<uint8_t> dst(48, 0);
  imgfilt::faults::FailNth(1);
  EXPECT_EQ(DoImgfiltess(src.data(), dst.data(), &p), 10u);
  imgfilt::faults::Clear();
  EXPECT_EQ(dst, std::vector<uint8_t>(48, 0));
  EXPECT_EQ(src.bytes, before.bytes);
  EXPECT_EQ(p.totalLines, 6u) << "the record is unchanged";
  p.bandState = 1;
  EXPECT_EQ(DoImgfiltess(src.data(), dst.data(), &p), 13u) << "no image in progress";
}

TEST(Chain, SourceAndDestinationMayBeOneBuffer) {
  const Image src = RandomImage(12, 20, 3, 12, 0);
  ProcessParam p = Record(src, IMGFILT_OP_BLUR | IMGFILT_OP_SCALING, IMGFILT_TYPE_COLOR);
  p.targetWidth = 6;
  p.targetHeight = 9;
  const Result apart = RunChain(src, p, {20});
  Image shared = src;
  p.lines = 20;
  ASSERT_EQ(DoImgfiltess(shared.data(), shared.data(), &p), 1u);
  ASSERT_EQ(p.outLines, 9u);
  ASSERT_EQ(p.outLineBytes, 20u);
  Result same;
  same.lineBytes = 20;
  same.lines.assign(shared.data(), shared.data() + 9 * 20);
  ExpectSamePixels(apart, same, 18, "one buffer");
}

// Top-down rows of a bottom-up image (and the reverse): the same picture stored the other way.
Image Flipped(const Image& src) {
  Image out = src;
  out.orientation = src.orientation == 1 ? 0 : 1;
  for (size_t y = 0; y < src.lines; ++y) std::copy_n(src.line(y), src.lineBytes, out.line(y));
  return out;
}

TEST(Chain, BottomUpGivesTheLinesOfTopDown) {
  const uint16_t ops = IMGFILT_OP_MEDIAN | IMGFILT_OP_DESCREEN | IMGFILT_OP_SCALING | IMGFILT_OP_THRESHOLD;
  const Image down = RandomImage(23, 40, 1, 8, 1);
  const Image up = Flipped(down);
  ProcessParam p = Record(down, ops, IMGFILT_TYPE_GRAY);
  p.targetWidth = 41;
  p.targetHeight = 50;
  const Result a = RunChain(down, p, {9, 16, 15});
  p.orientation = 1;
  const Result b = RunChain(up, p, {9, 16, 15});
  EXPECT_EQ(a.count(), 50u);
  ExpectSamePixels(a, b, 6, "bottom-up");
}

// Operations of a random chain of up to four steps, for an image type.
uint16_t RandomOps(std::mt19937& rng, uint8_t type) {
  std::vector<uint16_t> bits = {IMGFILT_OP_INVERT, IMGFILT_OP_MIRROR};
  if (type != IMGFILT_TYPE_BILEVEL) {
    for (uint16_t b : {IMGFILT_OP_BLUR, IMGFILT_OP_SHARPEN, IMGFILT_OP_DESCREEN, IMGFILT_OP_SCALING,
                       IMGFILT_OP_MAKE_CLEAR, IMGFILT_OP_UNSHARP, IMGFILT_OP_MEDIAN}) bits.push_back(b);
  }
  if (type == IMGFILT_TYPE_GRAY) bits.push_back(rng() % 2 ? IMGFILT_OP_THRESHOLD : IMGFILT_OP_HALFTONE);
  std::shuffle(bits.begin(), bits.end(), rng);
  uint16_t ops = 0;
  const size_t count = std::min<size_t>(1 + rng() % 4, bits.size());
  for (size_t i = 0; i < count; ++i) ops |= bits[i];
  return ops;
}

TEST(Chain, AnyBandSplitMatchesOneBand) {
  std::mt19937 rng(2026);
  for (int round = 0; round < 300; ++round) {
    const auto type = static_cast<uint8_t>(rng() % 3);
    const uint16_t ops = RandomOps(rng, type);
    const uint32_t e = GetExtraLineNum(ops);
    const uint32_t width = 3 + rng() % 40, lines = e + 4 + rng() % 40;
    const int bpp = type == IMGFILT_TYPE_COLOR ? 3 : 1;
    const uint32_t row = type == IMGFILT_TYPE_BILEVEL ? (width + 7) / 8 : width * static_cast<uint32_t>(bpp);
    Image src = RandomImage(row / static_cast<uint32_t>(bpp), lines, bpp, static_cast<uint32_t>(round), rng() % 5,
                            static_cast<uint8_t>(rng() % 2));
    ProcessParam p = Record(src, ops, type);
    p.width = width;
    p.targetWidth = 1 + rng() % 60;
    // The band protocol keeps one line of the band before: a vertical reduction whose window
    // reaches further back, or into the next band, weighs the previous line or the band's last
    // line there instead (the scaler's own band rule), so only a height that stays or grows is
    // independent of the split.
    p.targetHeight = lines - e + rng() % 40;
    p.blurLevel = static_cast<uint8_t>(rng() % 4);
    p.screenRuling = static_cast<uint8_t>(rng());
    p.xResolution = static_cast<uint16_t>(100 + rng() % 700);
    p.makeClearLevel = static_cast<uint8_t>(rng());
    const Result whole = RunChain(src, p, {lines});
    // A first band longer than the lines the chain consumes, then random bands.
    // The scaler extrapolates the line above the image from the first two lines it is given.
    const size_t shortest = e + ((ops & IMGFILT_OP_SCALING) ? 2 : 1);
    std::vector<size_t> sizes = {shortest + rng() % (lines + 1 - shortest)};
    for (size_t left = lines - sizes[0]; left > 0;) {
      const size_t n = std::min<size_t>(left, 1 + rng() % 9);
      sizes.push_back(n);
      left -= n;
    }
    const Result split = RunChain(src, p, sizes);
    const size_t pixelBytes = whole.lineBytes == 0 ? 0
                               : (ops & (IMGFILT_OP_THRESHOLD | IMGFILT_OP_HALFTONE)) && type == IMGFILT_TYPE_GRAY
                                   ? (whole.width + 7) / 8
                               : type == IMGFILT_TYPE_BILEVEL ? row
                                                              : size_t{whole.width} * static_cast<size_t>(bpp);
    std::string sizesText;
    for (size_t n : sizes) sizesText += std::to_string(n) + " ";
    ExpectSamePixels(whole, split, pixelBytes,
                     "round " + std::to_string(round) + " ops " + std::to_string(ops) + " type " + std::to_string(type) +
                         " " + std::to_string(width) + "x" + std::to_string(lines) + " to " +
                         std::to_string(p.targetWidth) + "x" + std::to_string(p.targetHeight) + " orientation " +
                         std::to_string(src.orientation) + " bands " + sizesText);
    if (::testing::Test::HasFatalFailure()) return;
    const bool scales = (ops & IMGFILT_OP_SCALING) && type != IMGFILT_TYPE_BILEVEL;
    EXPECT_EQ(whole.count(), scales ? p.targetHeight : (type == IMGFILT_TYPE_BILEVEL ? lines : lines - e));
  }
}

}  // namespace
