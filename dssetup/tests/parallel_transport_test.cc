#include "parallel_transport.h"

#include <gtest/gtest.h>

#include "platform/ports/ports.h"
#include "test_host.h"

namespace dssetup {
namespace {

platform::testing::TestHost::Settings Machine(const std::string& ports) {
  platform::testing::TestHost::Settings s;
  s.machine = "[machine]\nadapters=\n[ports]\n" + ports +
              "[identity]\ntype=identity\nresolutions=100,200,300,400,600,800\n";
  return s;
}

class ParallelTransportTest : public ::testing::Test {
 protected:
  explicit ParallelTransportTest(const std::string& ports =
                                     "bios=0x378,0x278\nidentity=0x278,highspeed\n")
      : host_(Machine(ports)) {}
  platform::Ports& ports() { return platform::Ports::Of(host_.host()); }
  bool Exchange(int index, bool fast, IdentityData* d) {
    ParallelPort port(ports());
    ParallelTransport transport(port);
    return port.Open(index, fast, true) && RunIdentityExchange(transport, d);
  }
  platform::testing::TestHost host_;
};

TEST_F(ParallelTransportTest, IdentityOverTheHighSpeedInterface) {
  EXPECT_FALSE(ParallelPort::ProbeHighSpeed(ports(), 0));
  ASSERT_TRUE(ParallelPort::ProbeHighSpeed(ports(), 1));
  IdentityData d;
  ASSERT_TRUE(Exchange(1, true, &d));
  EXPECT_TRUE(d.levelLetterB);
  EXPECT_EQ(d.levelDigit, 4);
  EXPECT_EQ(d.maxWidth, 5100);
  EXPECT_EQ(d.resolutions.size(), 6u);  // the machine's [identity] list
  EXPECT_EQ(d.maxResolution, 800);
  EXPECT_EQ(d.secondReply.size(), 8u);
}

TEST_F(ParallelTransportTest, TheSameScannerAnswersByteByByte) {
  IdentityData fast, slow;
  ASSERT_TRUE(Exchange(1, true, &fast));
  ASSERT_TRUE(Exchange(1, false, &slow));
  EXPECT_EQ(fast.resolutions, slow.resolutions);
  EXPECT_EQ(fast.secondReply, slow.secondReply);
}

TEST_F(ParallelTransportTest, OddHighSpeedBlockEndsWithOneByteAndShadow0x24) {
  // ESC 'I' is answered by a 4-byte header and 2 + 5 + 6 * 3 = 25 bytes of data: odd.
  ParallelPort port(ports());
  ASSERT_TRUE(port.Open(1, true, true));
  const uint8_t command[] = {0x1B, 'I'};
  ASSERT_TRUE(port.WriteString(command));
  uint8_t header[4];
  ASSERT_TRUE(port.SelectRead() && port.ReadBlock(header));
  ASSERT_EQ(header[2], 25);
  uint8_t data[25];
  ASSERT_TRUE(port.SelectRead() && port.ReadBlock(data));
  EXPECT_EQ(data[0], 'B');
  EXPECT_EQ(data[24], 0x03);  // high byte of 800, the last resolution
  EXPECT_EQ(port.controlShadow(), 0x24);
}

TEST_F(ParallelTransportTest, NothingAtAPortFailsWithinItsTicks) {
  IdentityData d;
  const uint16_t start = ports().BiosWord(platform::kBiosTickCount);
  EXPECT_FALSE(Exchange(0, false, &d));
  const uint16_t spent = static_cast<uint16_t>(ports().BiosWord(platform::kBiosTickCount) - start);
  // Two ticks of reset, then the strobe's two-tick wait for an acknowledge that never comes.
  EXPECT_GE(spent, 4);
  EXPECT_LE(spent, 6);
}

TEST_F(ParallelTransportTest, EachFaultFailsTheExchange) {
  using Kind = platform::PortFault::Kind;
  for (Kind kind : {Kind::kNeverReady, Kind::kStuckAcknowledge, Kind::kStoppedCounter,
                    Kind::kWrongReply, Kind::kShortReply}) {
    ports().ClearFaults();
    ports().AddFault(0x278, {kind, 6});
    IdentityData d;
    EXPECT_FALSE(Exchange(1, true, &d)) << static_cast<int>(kind);
  }
}

TEST_F(ParallelTransportTest, StoppedCounterIsGivenUpAfter200Ticks) {
  ports().AddFault(0x278, {platform::PortFault::Kind::kStoppedCounter});
  ParallelPort port(ports());
  ASSERT_TRUE(port.Open(1, true, true));
  const uint8_t command[] = {0x1B, 'I'};
  uint8_t header[4], data[25];
  ASSERT_TRUE(port.WriteString(command));
  ASSERT_TRUE(port.SelectRead() && port.ReadBlock(header));
  const uint16_t start = ports().BiosWord(platform::kBiosTickCount);
  EXPECT_FALSE(port.SelectRead() && port.ReadBlock(data));
  const uint16_t spent = static_cast<uint16_t>(ports().BiosWord(platform::kBiosTickCount) - start);
  EXPECT_GE(spent, 200);
  EXPECT_LE(spent, 201);
}

TEST_F(ParallelTransportTest, OneListedPortAndAHighSpeedInterfaceCountTwo) {
  ports().SetEnumeratedPorts({"LPT1:", "COM1:"});
  EXPECT_EQ(ParallelPort::CountPorts(ports()), 2);
  ports().SetEnumeratedPorts({"lpt1", "LPT2:", "COM1:"});
  EXPECT_EQ(ParallelPort::CountPorts(ports()), 2);
  ports().SetEnumeratedPorts({"COM1:"});
  EXPECT_EQ(ParallelPort::CountPorts(ports()), 1);
}

TEST_F(ParallelTransportTest, PortWithoutBiosEntryHasNoIo) {
  ports().SetParallelTable({0x378, 0, 0, 0});
  ParallelPort port(ports());
  const uint64_t before = ports().IoCycles();
  EXPECT_FALSE(port.Open(2, false, true));
  EXPECT_FALSE(port.Open(4, false, true));
  EXPECT_FALSE(port.Open(-1, false, true));
  EXPECT_EQ(ports().IoCycles(), before);
  ASSERT_TRUE(port.Open(1, false, false));
  EXPECT_EQ(port.base(), 0x278);  // the probe's address stands in for a missing entry
}

}  // namespace
}  // namespace dssetup

namespace dssetup {
namespace {

class LongReplyTest : public ParallelTransportTest {
 protected:
  LongReplyTest()
      : ParallelTransportTest("bios=0x378,0x278\nidentity=0x278,highspeed\n") {}
};

TEST_F(LongReplyTest, ReplyOfSeveralChunksArrivesWhole) {
  // 300 resolutions: 2 + 5 + 900 = 907 bytes, two chunks of 510 and 396 bytes and a last byte.
  std::string list;
  for (int r = 1; r <= 300; ++r) list += (r > 1 ? "," : "") + std::to_string(r);
  platform::testing::TestHost fresh(Machine("bios=0x378,0x278\nidentity=0x278,highspeed,long\n"
                                            "[long]\nresolutions=" + list + "\n"));
  platform::Ports& p = platform::Ports::Of(fresh.host());
  ParallelPort fast(p), slow(p);
  IdentityData viaBlocks, viaBytes;
  ParallelTransport t1(fast), t2(slow);
  ASSERT_TRUE(fast.Open(1, true, true) && RunIdentityExchange(t1, &viaBlocks));
  ASSERT_TRUE(slow.Open(1, false, true) && RunIdentityExchange(t2, &viaBytes));
  EXPECT_EQ(viaBlocks.resolutions.size(), 64u);
  EXPECT_EQ(viaBlocks.resolutions, viaBytes.resolutions);
  EXPECT_EQ(viaBlocks.resolutions.back(), 64);
}

}  // namespace
}  // namespace dssetup
