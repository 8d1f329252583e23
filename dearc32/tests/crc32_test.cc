#include "codec/crc32.h"

#include <gtest/gtest.h>

#include <string_view>

#include "testing/sample_data.h"

namespace dearc32 {
namespace {

uint32_t CrcOf(std::string_view s) {
  return ComputeCrc32(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

TEST(Crc32, MatchesTheStandardCheckValues) {
  EXPECT_EQ(CrcOf(""), 0u);
  EXPECT_EQ(CrcOf("123456789"), 0xCBF43926u);
  EXPECT_EQ(CrcOf("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
}

TEST(Crc32, PiecewiseUpdatesEqualOneShotAtEveryAlignment) {
  const auto data = testing::SampleNoise(1000);
  const uint32_t whole = ComputeCrc32(data.data(), data.size());
  for (size_t split : {1u, 7u, 8u, 9u, 500u, 999u}) {
    Crc32 crc;
    crc.Update(data.data(), split);
    crc.Update(data.data() + split, data.size() - split);
    EXPECT_EQ(crc.Value(), whole) << "split at " << split;
  }
}

}  // namespace
}  // namespace dearc32
