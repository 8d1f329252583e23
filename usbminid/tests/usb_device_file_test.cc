#include <gtest/gtest.h>

#include "platform/devices/device_paths.h"
#include "platform/faults/device_faults.h"
#include "platform/system/errors.h"
#include "test_host.h"
#include "usb_asics.h"
#include "usb_device_file.h"

namespace usbminid {
namespace {

using platform::DeviceFault;

struct File {
  platform::testing::TestHost t;
  UsbDeviceFile file{t.host().devices(), t.host().clock()};
  platform::DeviceFaults& faults = emulator::UsbAsics::Install(t.host(), "").First()->BusFaults();
  bool Ask(uint8_t reg) {
    const uint8_t packet[8] = {0x21, reg};
    return file.WriteRaw(packet, 8);
  }
};

TEST(DeviceFileTest, TransfersWithNothingOpenFailAtOnce) {
  File f;
  EXPECT_STREQ(f.file.deviceName(), "\\\\.\\qusbdrv000");
  uint8_t b[8] = {};
  uint32_t count = 1;
  EXPECT_FALSE(f.file.WriteRaw(b, 8));
  EXPECT_FALSE(f.file.ReadRaw(b, &count));
  EXPECT_FALSE(f.file.CloseDevice());
  ASSERT_TRUE(f.file.OpenDevice("\\\\.\\QUSBDRV000"));
  EXPECT_STREQ(f.file.deviceName(), "\\\\.\\QUSBDRV000");
  EXPECT_TRUE(f.file.OpenDevice("\\\\.\\qusbdrv000"));  // the old handle is closed first
  EXPECT_EQ(f.t.host().devices().OpenHandles(), 1u);
  EXPECT_TRUE(f.file.CloseDevice());
  EXPECT_EQ(f.t.host().devices().OpenHandles(), 0u);
}

TEST(DeviceFileTest, NamesLongerThanTheBufferAreRefusedUncut) {
  File f;
  std::string name = "\\\\.\\qusbdrv000";
  name.resize(139, 'x');
  EXPECT_FALSE(f.file.OpenDevice(name.c_str()));  // fits, but names no device
  EXPECT_EQ(platform::GetLastError(), 2u);
  EXPECT_EQ(f.file.deviceName(), name);
  name.push_back('x');
  EXPECT_FALSE(f.file.OpenDevice(name.c_str()));
  EXPECT_EQ(platform::GetLastError(), 206u);
  EXPECT_EQ(std::string(f.file.deviceName()).size(), 139u);  // the previous name, untouched
}

TEST(DeviceFileTest, AShortReplyIsAFailureWhicheverWayItCompletes) {
  for (const char* completion : {"later", "immediate"}) {
    platform::testing::TestHost t({.machine = std::string("[usbasic]\ncompletion=") + completion + "\n"});
    UsbDeviceFile file(t.host().devices(), t.host().clock());
    auto& faults = emulator::UsbAsics::Install(t.host(), "").First()->BusFaults();
    ASSERT_TRUE(file.OpenDevice("\\\\.\\qusbdrv000"));
    const uint8_t start[8] = {0x22, 0x01, 10, 0, 0, 0, 0xFF, 0xFF};
    ASSERT_TRUE(file.WriteRaw(start, 8));
    faults.Add({.kind = DeviceFault::Kind::kShortData, .opcode = 0x22, .count = 1, .length = 9});
    uint8_t line[10];
    uint32_t count = 10;
    EXPECT_FALSE(file.ReadRaw(line, &count)) << completion;
    EXPECT_EQ(count, 9u);
    count = 10;
    EXPECT_TRUE(file.ReadRaw(line, &count)) << completion;
    EXPECT_EQ(count, 10u);
  }
}

TEST(DeviceFileTest, AReadThatNeverCompletesIsCancelledAfterItsBound) {
  File f;
  ASSERT_TRUE(f.file.OpenDevice("\\\\.\\qusbdrv000"));
  f.faults.Add({.kind = DeviceFault::Kind::kNeverComplete, .opcode = 0x21, .count = 1});
  ASSERT_TRUE(f.Ask(0));
  uint8_t id = 0;
  uint32_t count = 1;
  const uint64_t before = f.t.clock().NowMs();
  EXPECT_FALSE(f.file.ReadRaw(&id, &count));
  EXPECT_GE(f.t.clock().NowMs() - before, 10000u);
  ASSERT_TRUE(f.Ask(0));
  count = 1;
  EXPECT_TRUE(f.file.ReadRaw(&id, &count));
  EXPECT_EQ(id, 0xA5);
}

}  // namespace
}  // namespace usbminid
