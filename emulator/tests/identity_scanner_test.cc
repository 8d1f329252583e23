#include "identity_scanner.h"
#include "scanner_harness.h"

namespace emulator {
namespace {

using namespace emulator::testing;

std::vector<uint8_t> ReadReply(IdentityScanner& s, uint16_t length) {
  return In(s, {0x08, 0, 0, uint8_t(length >> 8), uint8_t(length), 0}, length).data;
}

TEST(IdentityScannerTest, ExchangesIdentityOverWriteAndRead) {
  IdentityModel model;
  model.resolutions = {100, 200, 400};
  IdentityScanner s(model);
  Reply inquiry = In(s, {0x12, 0, 0, 0, 32, 0}, 32);
  ASSERT_EQ(inquiry.data.size(), 32u);
  EXPECT_EQ(std::string(inquiry.data.begin() + 8, inquiry.data.begin() + 23), "Orvex   SCANNER");

  ASSERT_TRUE(Out(s, {0x0A, 0, 0, 0, 2, 0}, {0x1B, 'I'}).good());
  std::vector<uint8_t> header = ReadReply(s, 4);
  ASSERT_EQ(header.size(), 4u);
  EXPECT_EQ(header[1] & 0x10, 0x10);
  const uint16_t length = header[2] | header[3] << 8;
  ASSERT_EQ(length, 2 + 5 + 3 * 3);
  std::vector<uint8_t> data = ReadReply(s, length);
  EXPECT_EQ(data[0], 'B');
  EXPECT_EQ(data[1], '4');
  EXPECT_EQ(data[2], 'A');
  EXPECT_EQ(data[3] | data[4] << 8, 5100);
  EXPECT_EQ(data[7], 'R');
  EXPECT_EQ(data[8] | data[9] << 8, 100);
  EXPECT_EQ(data[14] | data[15] << 8, 400);

  ASSERT_TRUE(Out(s, {0x0A, 0, 0, 0, 2, 0}, {0x1B, 0x3F}).good());
  header = ReadReply(s, 4);
  EXPECT_EQ(ReadReply(s, header[2] | header[3] << 8).size(), size_t(header[2] | header[3] << 8));
  // Nothing left: a read past the reply is short.
  EXPECT_EQ(In(s, {0x08, 0, 0, 0, 4, 0}, 4).outcome.hostStatus, platform::kHostDataOverrunUnderrun);
  EXPECT_EQ(Out(s, {0x0A, 0, 0, 0, 2, 0}, {'?', '?'}).asc(), 0x26);
}

TEST(IdentityScannerTest, RetriedWritesSeeNotReadyFirst) {
  IdentityScanner s(IdentityModel{});
  s.faults().Add({.kind = Fault::Kind::kSense, .opcode = 0x0A, .count = 2, .senseKey = 2});
  EXPECT_EQ(Out(s, {0x0A, 0, 0, 0, 2, 0}, {0x1B, 'I'}).key(), 2);
  EXPECT_EQ(Out(s, {0x0A, 0, 0, 0, 2, 0}, {0x1B, 'I'}).key(), 2);
  EXPECT_TRUE(Out(s, {0x0A, 0, 0, 0, 2, 0}, {0x1B, 'I'}).good());
}

}  // namespace
}  // namespace emulator
