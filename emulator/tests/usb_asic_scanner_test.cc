#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "platform/devices/device_paths.h"
#include "platform/faults/faults.h"
#include "test_host.h"
#include "usb_asics.h"

namespace emulator {
namespace {

using platform::DeviceFault;

// A page whose every pixel is one colour, and one with a black band of known lines.
class BandPage final : public Page {
 public:
  BandPage(int64_t from, int64_t to) : from_(from), to_(to) {}
  Rgb At(int64_t x, int64_t y) const override {
    int64_t line = y / 4000;
    return line >= from_ && line < to_ ? Rgb{0, 0, 0} : Rgb{255, 255, 255};
  }

 private:
  int64_t from_, to_;
};

struct Port {
  platform::testing::TestHost t;
  platform::DevicePaths& paths = t.host().devices();
  platform::DeviceHandle h = paths.Open("\\\\.\\qusbdrv000", {.access = platform::kGenericRead | platform::kGenericWrite});

  bool Send(std::array<uint8_t, 8> p) {
    uint32_t n = 0;
    return paths.Write(h, p, &n) && n == 8;
  }
  std::vector<uint8_t> Read(size_t size) {
    std::vector<uint8_t> b(size);
    uint32_t n = 0;
    if (!paths.Read(h, b, &n)) return {};
    b.resize(n);
    return b;
  }
  uint8_t Register(uint8_t r) {
    Send({0x21, r});
    auto b = Read(1);
    return b.size() == 1 ? b[0] : 0xEE;
  }
  UsbAsicScanner& scanner() { return UsbAsics::Install(t.host(), "").First()->scanner(); }
};

TEST(UsbAsicTest, AnswersIdentityHomeAndCarriagePackets) {
  Port p;
  ASSERT_NE(p.h, platform::kInvalidDeviceHandle);
  EXPECT_EQ(p.Register(0), 0xA5);
  EXPECT_EQ(p.Register(2) & 0x02, 0x02);  // starts at home
  EXPECT_TRUE(p.Send({0x25, 0x01, 0x2C, 0x01}));  // 300 steps forward
  EXPECT_EQ(p.Read(1), std::vector<uint8_t>{0x01});
  EXPECT_EQ(p.Register(2) & 0x02, 0x00);
  // Homing through indirect register 0x22 takes time on the host's clock (2 steps per ms).
  p.Send({0x20, 6, 0x22});
  p.Send({0x20, 5, 0x83});
  p.Send({0x20, 6, 0x02});
  EXPECT_EQ(p.Register(2) & 0x02, 0x00);
  p.t.clock().Advance(149);
  EXPECT_EQ(p.Register(2) & 0x02, 0x00);
  p.t.clock().Advance(1);
  EXPECT_EQ(p.Register(2) & 0x02, 0x02);
  // Backward past home stops at home; a packet of another length or kind is refused.
  EXPECT_TRUE(p.Send({0x25, 0x00, 0x10, 0x00}));
  EXPECT_EQ(p.Read(1), std::vector<uint8_t>{0x01});
  uint32_t n = 0;
  const uint8_t seven[7] = {0x21};
  EXPECT_FALSE(p.paths.Write(p.h, seven, &n));
  EXPECT_FALSE(p.Send({0x30}));
  EXPECT_TRUE(p.Read(1).empty());  // nothing to read
}

TEST(UsbAsicTest, MemoryResetClearsTheBankCounterUnlessItIsStuck) {
  for (bool stuck : {false, true}) {
    platform::testing::TestHost t({.machine = std::string("[usbasic]\nbankstuck=") + (stuck ? "1" : "0") + "\n"});
    auto& paths = t.host().devices();
    auto h = paths.Open("\\\\.\\qusbdrv000");
    uint32_t n = 0;
    for (uint8_t c : {0x37, 0x07, 0x67, 0x27, 0x17}) {
      std::array<uint8_t, 8> p{0x20, 6, c};
      paths.Write(h, p, &n);
    }
    std::array<uint8_t, 8> read{0x21, 3};
    paths.Write(h, read, &n);
    uint8_t counter = 0xEE;
    paths.Read(h, {&counter, 1}, &n);
    EXPECT_EQ(counter, stuck ? 3 : 0) << stuck;
  }
}

TEST(UsbAsicTest, ColourRowsSeeLinesAheadOfTheGreenRow) {
  platform::testing::TestHost t;
  auto page = std::make_shared<BandPage>(100, 130);
  UsbAsicModel model;
  model.paperTop = 0;
  UsbAsicScanner s(model, t.clock(), page);
  auto send = [&](std::array<uint8_t, 8> p) { ASSERT_TRUE(s.Command(p)); };
  send({0x20, 6, 0x47});                    // lamp on
  send({0x20, 6, 0x81}); send({0x20, 5, 100}); send({0x20, 6, 0x01});  // exposure 3200
  send({0x23, 0x17});                       // colour, 300 dpi, moving
  send({0x22, 0x01, 0x04, 0x00, 12, 0, 0xFF, 0xFF});
  // Line L of the page is black for the green row at carriage L, the red at L-15, the blue at L-8.
  
  std::array<int, 3> first{-1, -1, -1};
  for (int line = 0; line < 140; ++line) {
    for (int row = 0; row < 3; ++row) {
      uint8_t b[4];
      ASSERT_EQ(s.Read(b), 4u);
      if (b[0] < 20 && first[row] < 0) first[row] = line;
    }
  }
  EXPECT_EQ(first[0], 85);
  EXPECT_EQ(first[1], 100);
  EXPECT_EQ(first[2], 92);
  EXPECT_EQ(s.carriage(), 140);
}

TEST(UsbAsicTest, SkipAndResolutionPickTheSensorPixels) {
  platform::testing::TestHost t;
  UsbAsicModel model;
  UsbAsicScanner s(model, t.clock(), std::make_shared<BandPage>(0, 0));
  for (auto p : std::vector<std::array<uint8_t, 8>>{{0x20, 6, 0x47}, {0x20, 6, 0x81}, {0x20, 5, 100}, {0x20, 6, 0x01}}) s.Command(p);
  // 100 dpi, gray, standing: pixel p of the line is sensor pixel 3p - 2, image pixel 3p - 14.
  s.Command(std::array<uint8_t, 8>{0x23, 0x01});
  s.Command(std::array<uint8_t, 8>{0x22, 0x01, 3, 0, 4, 0, 0xFF, 0xFF});
  uint8_t b[3];
  ASSERT_EQ(s.Read(b), 3u);
  EXPECT_EQ(b[0], s.RawFor(1, 0, 1.0));  // sensor pixel 10 lies in the border: image pixel 0
  EXPECT_EQ(b[1], s.RawFor(1, 1, 1.0));
  EXPECT_EQ(b[2], s.RawFor(1, 4, 1.0));
  // 200 dpi: pixel p is sensor pixel ceil(3p / 2).
  s.Command(std::array<uint8_t, 8>{0x23, 0x02});
  s.Command(std::array<uint8_t, 8>{0x22, 0x01, 3, 0, 8, 0, 0xFF, 0xFF});
  ASSERT_EQ(s.Read(b), 3u);
  EXPECT_EQ(b[0], s.RawFor(1, 0, 1.0));
  EXPECT_EQ(b[1], s.RawFor(1, 2, 1.0));
  EXPECT_EQ(b[2], s.RawFor(1, 3, 1.0));
  EXPECT_EQ(s.carriage(), 0);  // a standing pass does not move
}

TEST(UsbAsicTest, BusFaultsCutBlankOrRefuse) {
  Port p;
  auto& faults = UsbAsics::Install(p.t.host(), "").First()->BusFaults();
  faults.Add({.kind = DeviceFault::Kind::kShortData, .opcode = 0x22, .count = 1, .length = 9});
  faults.Add({.kind = DeviceFault::Kind::kNulData, .opcode = 0x25, .count = 1});
  p.Send({0x20, 6, 0x47});
  p.Send({0x23, 0x13});
  p.Send({0x22, 0x01, 10, 0, 12, 0, 0xFF, 0xFF});
  EXPECT_EQ(p.Read(10).size(), 9u);
  EXPECT_EQ(p.Read(10).size(), 10u);
  p.Send({0x24});
  p.Send({0x25, 0x01, 1, 0});
  EXPECT_EQ(p.Read(1), std::vector<uint8_t>{0x00});
  p.Send({0x25, 0x01, 1, 0});
  EXPECT_EQ(p.Read(1), std::vector<uint8_t>{0x01});

  p.t.host().faults().FailEvery(kUsbOpenFault, 31);
  EXPECT_EQ(p.paths.Open("\\\\.\\qusbdrv000"), platform::kInvalidDeviceHandle);
  EXPECT_EQ(platform::GetLastError(), 31u);
}

TEST(UsbAsicTest, MachineDescriptionSetsTheScannersDefects) {
  platform::testing::TestHost t({.machine = "[usbasic]\nport=qusbdrv001\nidentity=0x5A\ncarriagereply=2\nhomesensor=0\n"});
  auto* port = UsbAsics::Install(t.host(), "").Port("QUSBDRV001");
  ASSERT_NE(port, nullptr);
  EXPECT_FALSE(t.host().devices().Exists("qusbdrv000"));
  uint8_t b = 0;
  port->Write(std::array<uint8_t, 8>{0x21, 0});
  port->Read({&b, 1});
  EXPECT_EQ(b, 0x5A);
  port->Write(std::array<uint8_t, 8>{0x21, 2});
  port->Read({&b, 1});
  EXPECT_EQ(b, 0x00);  // at home, but the sensor does not say so
  port->Write(std::array<uint8_t, 8>{0x25, 1, 1, 0});
  port->Read({&b, 1});
  EXPECT_EQ(b, 0x02);
}

}  // namespace
}  // namespace emulator
