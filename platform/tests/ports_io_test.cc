#include <gtest/gtest.h>

#include "platform/ports/ports.h"
#include "platform/system/system.h"
#include "test_host.h"

namespace platform {
namespace {

// Eight registers that keep what is written.
class Latches : public PortDevice {
 public:
  uint8_t reg[8] = {0, 0xFF, 0, 0, 0x34, 0x12, 7, 0};
  uint8_t In(uint16_t offset) override { return reg[offset]; }
  void Out(uint16_t offset, uint8_t value) override { reg[offset] = value; }
};

class PortsIoTest : public ::testing::Test {
 protected:
  explicit PortsIoTest(const char* version = "win98") : host_(Settings(version)) {
    Ports::Of(host_.host()).Attach(0x378, 8, device_);
  }
  static testing::TestHost::Settings Settings(const char* version) {
    testing::TestHost::Settings s;
    s.version = version;
    s.hardware = NoHardware();
    return s;
  }
  Ports& ports() { return Ports::Of(host_.host()); }
  testing::TestHost host_;
  std::shared_ptr<Latches> device_ = std::make_shared<Latches>();
};

TEST_F(PortsIoTest, AccessesReachTheDeviceAtItsAddressesOnly) {
  ports().OutByte(0x37A, 0x25);
  EXPECT_EQ(device_->reg[2], 0x25);
  EXPECT_EQ(ports().InByte(0x37A), 0x25);
  EXPECT_EQ(ports().InWord(0x37C), 0x1234);
  EXPECT_EQ(ports().InByte(0x380), 0xFF);   // one past the device: nothing answers
  EXPECT_EQ(ports().InByte(0x377), 0xFF);
  ports().OutWord(0x378, 0xBEEF);
  EXPECT_EQ(device_->reg[0], 0xEF);
  EXPECT_EQ(device_->reg[1], 0xBE);
}

TEST_F(PortsIoTest, EveryThousandAccessesAreAMillisecond) {
  const uint64_t start = host_.clock().NowMs();
  for (int i = 0; i < 999; ++i) ports().InByte(0x379);
  EXPECT_EQ(host_.clock().NowMs() - start, 0u);
  ports().InByte(0x379);
  EXPECT_EQ(host_.clock().NowMs() - start, 1u);
  EXPECT_EQ(ports().IoCycles(), 1000u);
}

TEST_F(PortsIoTest, BiosTableAndTickCount) {
  ports().SetParallelTable({0x3BC, 0x378});
  EXPECT_EQ(ports().BiosWord(0x408), 0x3BC);
  EXPECT_EQ(ports().BiosWord(0x40A), 0x378);
  EXPECT_EQ(ports().BiosWord(0x40C), 0);
  EXPECT_EQ(ports().BiosWord(0x40E), 0);
  // 18.2 ticks a second: 10 s are 182 ticks (1193180 / 65536 * 10 = 182.06).
  const uint16_t before = ports().BiosWord(0x46C);
  host_.clock().SleepMs(10000);
  EXPECT_EQ(static_cast<uint16_t>(ports().BiosWord(0x46C) - before), 182);
}

TEST_F(PortsIoTest, BusFaultsChangeWhatTheRegistersAnswer) {
  device_->reg[1] = 0xC7;
  ports().AddFault(0x378, {PortFault::Kind::kNeverReady});
  EXPECT_EQ(ports().InByte(0x379), 0x47);
  ports().ClearFaults();
  ports().AddFault(0x378, {PortFault::Kind::kWrongReply});
  device_->reg[0] = 0x0F;
  EXPECT_EQ(ports().InByte(0x378), 0xF0);
  ports().ClearFaults();
  ports().AddFault(0x378, {PortFault::Kind::kStoppedCounter});
  EXPECT_EQ(ports().InByte(0x37E), 7);
  device_->reg[6] = 9;
  EXPECT_EQ(ports().InByte(0x37E), 7);
  ports().ClearFaults();
  ports().AddFault(0x378, {PortFault::Kind::kStuckAcknowledge});
  EXPECT_EQ(ports().InByte(0x379), 0xC7);
  ports().OutByte(0x37A, 0x0D);
  EXPECT_EQ(ports().InByte(0x379), 0x47);
  ports().ClearFaults();
  ports().AddFault(0x378, {PortFault::Kind::kShortReply, 2});
  ports().InByte(0x378);
  EXPECT_EQ(ports().InByte(0x379), 0xC7);
  ports().InByte(0x378);
  EXPECT_EQ(ports().InByte(0x379), 0x47);
}

class PortsOnNtTest : public PortsIoTest {
 protected:
  PortsOnNtTest() : PortsIoTest("nt4") {}
};

TEST_F(PortsOnNtTest, AccessesAreRefused) {
  EXPECT_FALSE(ports().Allowed());
  ports().OutByte(0x37A, 0x25);
  EXPECT_EQ(device_->reg[2], 0);
  EXPECT_EQ(ports().InByte(0x37C), 0xFF);
  EXPECT_EQ(ports().InWord(0x37C), 0xFFFF);
}

}  // namespace
}  // namespace platform
