#include <algorithm>
#include <memory>

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
  OnBus s(std::make_shared<IdentityScanner>(IdentityModel{}));
  s.faults().Add({.kind = platform::DeviceFault::Kind::kSense, .opcode = 0x0A, .count = 2, .senseKey = 2});
  EXPECT_EQ(Out(s, {0x0A, 0, 0, 0, 2, 0}, {0x1B, 'I'}).key(), 2);
  EXPECT_EQ(Out(s, {0x0A, 0, 0, 0, 2, 0}, {0x1B, 'I'}).key(), 2);
  EXPECT_TRUE(Out(s, {0x0A, 0, 0, 0, 2, 0}, {0x1B, 'I'}).good());
}

// The identity scanner once ignored every fault but sense, status and stalls; on the bus each kind
// shapes its answer as it does for any device.
TEST(IdentityScannerTest, HonoursEveryFaultKindThroughTheBus) {
  using Kind = platform::DeviceFault::Kind;
  OnBus s(std::make_shared<IdentityScanner>(IdentityModel{}));
  const std::initializer_list<uint8_t> inquiry = {0x12, 0, 0, 0, 32, 0};

  s.faults().Add({.kind = Kind::kShortData, .opcode = 0x12, .count = 1, .length = 10});
  Reply cut = In(s, inquiry, 32);
  EXPECT_EQ(cut.data.size(), 10u);
  EXPECT_EQ(cut.outcome.hostStatus, platform::kHostDataOverrunUnderrun);

  s.faults().Add({.kind = Kind::kNulData, .opcode = 0x12, .count = 1});
  Reply blank = In(s, inquiry, 32);
  ASSERT_EQ(blank.data.size(), 32u);
  EXPECT_TRUE(std::all_of(blank.data.begin(), blank.data.end(), [](uint8_t b) { return b == 0; }));

  s.faults().Add({.kind = Kind::kHostStatus, .opcode = 0x12, .count = 1, .status = 0x14});
  EXPECT_EQ(In(s, inquiry, 32).outcome.hostStatus, 0x14);

  s.faults().Add({.kind = Kind::kTargetStatus, .count = 1, .status = platform::kScsiBusy});
  EXPECT_EQ(In(s, inquiry, 32).outcome.targetStatus, platform::kScsiBusy);

  s.faults().Add({.kind = Kind::kNeverComplete, .count = 1});
  EXPECT_TRUE(In(s, inquiry, 32).outcome.neverCompletes);

  // An injected check condition is what the following REQUEST SENSE reports.
  s.faults().Add({.kind = Kind::kSense, .opcode = 0x12, .count = 1, .senseKey = 4, .asc = 0x44});
  EXPECT_EQ(In(s, inquiry, 32).key(), 4);
  Reply sense = In(s, {0x03, 0, 0, 0, 18, 0}, 18);
  ASSERT_EQ(sense.data.size(), 18u);
  EXPECT_EQ(sense.data[2] & 0x0F, 4);
  EXPECT_EQ(sense.data[12], 0x44);

  EXPECT_TRUE(s.faults().Empty());
  EXPECT_EQ(In(s, inquiry, 32).data.size(), 32u);  // all used up: the plain answer again
}

}  // namespace
}  // namespace emulator
