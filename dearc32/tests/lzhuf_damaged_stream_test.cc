// Streams that are cut short, damaged or crafted: decoding always ends, never produces more
// than the stored size plus one match, and never depends on memory it has not written.
#include <gtest/gtest.h>

#include <string>

#include "codec_test_support.h"
#include "stream_builder.h"
#include "testing/sample_data.h"

namespace dearc32 {
namespace {

TEST(LzhufDamagedStream, CutStreamStopsAtTheCutInsteadOfRunningOnFiller) {
  const auto data = testing::SampleText(100000);
  const auto stream = EncodeLzhuf(data);
  for (size_t keep : {size_t{0}, size_t{1}, stream.size() / 3, stream.size() - 64}) {
    const std::vector<uint8_t> cut(stream.begin(), stream.begin() + keep);
    const Decoded d = DecodeStream(cut, data.size());
    EXPECT_EQ(d.end, DecodeEnd::kInputEnded) << "kept " << keep;
    ASSERT_LT(d.bytes.size(), data.size());
    // Everything but the one symbol finished with filler bits is the true data.
    const size_t sure = d.bytes.size() > kMaxMatch ? d.bytes.size() - kMaxMatch : 0;
    EXPECT_TRUE(std::equal(d.bytes.begin(), d.bytes.begin() + sure, data.begin()));
  }
}

TEST(LzhufDamagedStream, HugeStoredSizeOverAShortStreamWritesLittle) {
  const std::vector<uint8_t> stream = testing::SampleNoise(64);
  const Decoded d = DecodeStream(stream, 0xFFFFFFFFu);
  EXPECT_EQ(d.end, DecodeEnd::kInputEnded);
  EXPECT_LE(d.bytes.size(), stream.size() * 8 * kMaxMatch);
}

TEST(LzhufDamagedStream, EveryCorruptedByteEndsWithinOneMatchOfTheSize) {
  const auto data = testing::SampleMixed(20000);
  const auto stream = EncodeLzhuf(data);
  for (size_t at = 0; at < stream.size(); at += 7) {
    auto bad = stream;
    bad[at] ^= 0x5A;
    const Decoded d = DecodeStream(bad, data.size());
    ASSERT_LE(d.bytes.size(), data.size() + kMaxMatch - 1) << "byte " << at;
    if (d.end == DecodeEnd::kComplete) {
      EXPECT_GE(d.bytes.size(), data.size());
    }
  }
}

TEST(LzhufDamagedStream, FinalMatchIsCopiedWholePastTheSize) {
  const auto stream = StreamBuilder().Literal('a').Match(9, 0).Finish();
  const Decoded d = DecodeStream(stream, 5);
  EXPECT_EQ(d.end, DecodeEnd::kComplete);
  EXPECT_EQ(std::string(d.bytes.begin(), d.bytes.end()), "aaaaaaaaaa");
}

TEST(LzhufDamagedStream, RingBytesNeverWrittenReadAsSpaces) {
  // At the start the write position is 4036; raw positions 4036..4095 point at the 60 ring
  // bytes after it, which no byte of output has touched yet.
  for (unsigned position : {4036u, 4060u, 4095u}) {
    const auto stream = StreamBuilder().Match(60, position).Literal('!').Finish();
    const Decoded d = DecodeStream(stream, 61);
    EXPECT_EQ(d.end, DecodeEnd::kComplete);
    EXPECT_EQ(std::string(d.bytes.begin(), d.bytes.end()), std::string(60, ' ') + "!");
  }
}

}  // namespace
}  // namespace dearc32
