#include "identity.h"

#include <gtest/gtest.h>

#include <deque>

namespace dssetup {
namespace {

std::vector<uint8_t> Data(std::initializer_list<int> bytes) {
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

TEST(IdentityDataTest, RecordsGiveAreaAndResolutions) {
  IdentityData d;
  ParseIdentityData(Data({'B', '4', 'A', 0xEC, 0x13, 0x66, 0x1B, 'R', 75, 0, 'R', 0x58, 0x02}), &d);
  EXPECT_TRUE(d.levelLetterB);
  EXPECT_EQ(d.levelDigit, 4);
  EXPECT_EQ(d.maxWidth, 5100);
  EXPECT_EQ(d.maxHeight, 7014);
  EXPECT_EQ(d.resolutions, (std::vector<uint16_t>{75, 600}));
  EXPECT_EQ(d.minResolution, 75);
  EXPECT_EQ(d.maxResolution, 600);
  EXPECT_EQ(d.levelValue, 0x8000);
}

TEST(IdentityDataTest, LevelThreeGetsTheLowerValue) {
  IdentityData d;
  ParseIdentityData(Data({'C', '3'}), &d);
  EXPECT_FALSE(d.levelLetterB);
  EXPECT_EQ(d.levelValue, 0x1000);
  EXPECT_TRUE(d.resolutions.empty());
}

TEST(IdentityDataTest, OnlyTheFirst64ResolutionsCount) {
  std::vector<uint8_t> data = {'B', '4'};
  for (int i = 1; i <= 65; ++i) {
    const int r = i == 65 ? 9999 : i * 10;  // the 65th is largest: it must not be seen
    data.insert(data.end(), {'R', uint8_t(r), uint8_t(r >> 8)});
  }
  IdentityData d;
  ParseIdentityData(data, &d);
  ASSERT_EQ(d.resolutions.size(), 64u);
  EXPECT_EQ(d.resolutions.back(), 640);
  EXPECT_EQ(d.minResolution, 10);
  EXPECT_EQ(d.maxResolution, 640);
}

TEST(IdentityDataTest, RecordCutByTheEndIsNotRead) {
  IdentityData d;
  ParseIdentityData(Data({'B', '4', 'R', 100, 0, 'R', 200}), &d);
  EXPECT_EQ(d.resolutions, std::vector<uint16_t>{100});
  ParseIdentityData(Data({'B', '4', 'A', 1, 2, 3}), &d);
  EXPECT_EQ(d.maxWidth, 0);
}

TEST(IdentityDataTest, SizeTextNeedsAResolution) {
  EXPECT_EQ(SizeText(5100, 600), "21.59 cm");
  EXPECT_EQ(SizeText(5100, 0), "");
}

// A transport that answers from a queue of bytes and records what was written.
class ScriptedTransport : public IdentityTransport {
 public:
  std::deque<uint8_t> replies;
  std::vector<std::vector<uint8_t>> written;
  int failWrite = -1;
  bool Write(std::span<const uint8_t> bytes) override {
    if (static_cast<int>(written.size()) == failWrite) return false;
    written.emplace_back(bytes.begin(), bytes.end());
    return true;
  }
  bool Read(std::span<uint8_t> buffer) override {
    if (replies.size() < buffer.size()) return false;
    for (uint8_t& b : buffer) {
      b = replies.front();
      replies.pop_front();
    }
    return true;
  }
};

TEST(IdentityExchangeTest, SendsBothCommandsAndKeepsTheSecondReply) {
  ScriptedTransport t;
  t.replies = {0, 0x10, 5, 0, 'B', '5', 'R', 44, 1, 0, 0, 2, 0, 7, 8};
  IdentityData d;
  ASSERT_TRUE(RunIdentityExchange(t, &d));
  ASSERT_EQ(t.written.size(), 2u);
  EXPECT_EQ(t.written[0], Data({0x1B, 'I'}));
  EXPECT_EQ(t.written[1], Data({0x1B, 0x3F}));
  EXPECT_TRUE(d.statusFlag);
  EXPECT_EQ(d.resolutions, std::vector<uint16_t>{300});
  EXPECT_EQ(d.secondReply, Data({7, 8}));
}

TEST(IdentityExchangeTest, ShortReplyOrFailedWriteFailsTheExchange) {
  ScriptedTransport shortReply;
  shortReply.replies = {0, 0, 9, 0, 'B', '4'};  // announces 9, delivers 2
  IdentityData d;
  EXPECT_FALSE(RunIdentityExchange(shortReply, &d));
  ScriptedTransport noSecond;
  noSecond.replies = {0, 0, 0, 0};
  noSecond.failWrite = 1;
  EXPECT_FALSE(RunIdentityExchange(noSecond, &d));
}

}  // namespace
}  // namespace dssetup
