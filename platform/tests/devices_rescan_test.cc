// A scanner switched on late appears on its bus only after a rescan, by each of the three
// ways a program asks for one.
#include <array>

#include "aspi_test_support.h"
#include "platform/devices/bus_rescan.h"
#include "platform/devices/config_manager.h"
#include "platform/devices/device_paths.h"

namespace platform {
namespace {

using aspi_test::AspiTest;
using aspi_test::ExecBlock;
using aspi_test::FakeDevice;
using Completion = ScsiAdapter::Completion;

class RescanTest : public AspiTest {
 protected:
  explicit RescanTest(WindowsVersion version = WindowsVersion::kWin98) : AspiTest(version) {
    first_ = AddAdapter(AdapterKind::kScsi, Completion::kImmediate);
    second_ = AddAdapter(AdapterKind::kScsi, Completion::kImmediate);
    second_->Attach(4, std::make_shared<FakeDevice>(), /*late=*/true);
  }

  uint8_t TestUnitReady() {
    SRB_ExecSCSICmd srb = ExecBlock(1, 4, {0x00, 0, 0, 0, 0, 0});
    return static_cast<uint8_t>(Send(&srb));
  }

  DevicePaths& paths() { return host_.host().devices(); }

  std::shared_ptr<ScsiAdapter> first_;
  std::shared_ptr<ScsiAdapter> second_;
};

TEST_F(RescanTest, ScsiPortRescanOfTheAdapterShowsTheLateDevice) {
  ASSERT_EQ(TestUnitReady(), SS_NO_DEVICE);
  DeviceHandle port = paths().Open("\\\\.\\scsi1:", {kGenericRead, kFileShareRead, kOpenExisting});
  ASSERT_NE(port, kInvalidDeviceHandle);
  uint32_t returned = 99;
  ASSERT_TRUE(paths().Control(port, kIoctlScsiRescanBus, {}, {}, &returned));
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(TestUnitReady(), SS_COMP);
  EXPECT_EQ(first_->rescanCount(), 0);  // only the port's own adapter
  EXPECT_FALSE(paths().Control(port, 0x41018, {}, {}, &returned));
  EXPECT_EQ(GetLastError(), kErrorInvalidFunction);
  EXPECT_TRUE(paths().Close(port));
  EXPECT_EQ(paths().Open("\\\\.\\SCSI2:"), kInvalidDeviceHandle);  // two adapters, two ports
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
}

TEST_F(RescanTest, ConfigManagerReenumerationRescansEveryAdapter) {
  ASSERT_EQ(TestUnitReady(), SS_NO_DEVICE);
  DevInst root = 0;
  ASSERT_EQ(CM_Locate_DevNodeA(&root, nullptr, CM_LOCATE_DEVNODE_NORMAL), CR_SUCCESS);
  EXPECT_EQ(TestUnitReady(), SS_NO_DEVICE);  // locating alone changes nothing
  ASSERT_EQ(CM_Reenumerate_DevNode(root, CM_REENUMERATE_SYNCHRONOUS), CR_SUCCESS);
  EXPECT_EQ(TestUnitReady(), SS_COMP);
  EXPECT_EQ(first_->rescanCount(), 1);
}

TEST_F(RescanTest, ConfigManagerRefusesBadArguments) {
  DevInst node = 7;
  EXPECT_EQ(CM_Locate_DevNodeA(nullptr, nullptr, 0), CR_INVALID_POINTER);
  EXPECT_EQ(CM_Locate_DevNodeA(&node, nullptr, 0x100), CR_INVALID_FLAG);
  EXPECT_EQ(CM_Locate_DevNodeA(&node, "PCI\\VEN_1234", 0), CR_NO_SUCH_DEVNODE);
  EXPECT_EQ(node, 0u);
  EXPECT_EQ(CM_Locate_DevNodeA(&node, "htree\\root\\0", 0), CR_SUCCESS);
  EXPECT_EQ(CM_Reenumerate_DevNode(node + 1, CM_REENUMERATE_SYNCHRONOUS), CR_INVALID_DEVNODE);
  EXPECT_EQ(CM_Reenumerate_DevNode(node, 0x80), CR_INVALID_FLAG);
  EXPECT_EQ(first_->rescanCount(), 0);
}

TEST_F(RescanTest, RescanDriverDoesNotOpenOutsideWindows95) {
  EXPECT_EQ(paths().Open("\\\\.\\gulp.VXD", {0, 0, kCreateNew, kFileFlagDeleteOnClose}),
            kInvalidDeviceHandle);
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
}

class Windows95RescanTest : public RescanTest {
 protected:
  Windows95RescanTest() : RescanTest(WindowsVersion::kWin95) {}
  DeviceHandle OpenGulp() {
    return paths().Open("\\\\.\\GULP.vxd", {0, 0, kCreateNew, kFileFlagDeleteOnClose});
  }
};

TEST_F(Windows95RescanTest, RescanDriverCallRescansEveryAdapter) {
  ASSERT_EQ(TestUnitReady(), SS_NO_DEVICE);
  DeviceHandle gulp = OpenGulp();
  ASSERT_NE(gulp, kInvalidDeviceHandle);
  std::array<uint8_t, kGulpReplyLength> reply{};
  uint32_t returned = 0;
  ASSERT_TRUE(paths().Control(gulp, kGulpRescanCode, kGulpSignature, reply, &returned));
  EXPECT_EQ(returned, kGulpReplyLength);
  EXPECT_TRUE(std::equal(kGulpSignature.begin(), kGulpSignature.end(), reply.begin()));
  EXPECT_EQ(reply[4], 2);  // adapters rescanned
  EXPECT_EQ(TestUnitReady(), SS_COMP);
  EXPECT_EQ(first_->rescanCount(), 1);
  EXPECT_TRUE(paths().Close(gulp));
}

TEST_F(Windows95RescanTest, RescanDriverRefusesWrongBlocksWithoutRescanning) {
  DeviceHandle gulp = OpenGulp();
  ASSERT_NE(gulp, kInvalidDeviceHandle);
  std::array<uint8_t, 4> wrong = {1, 2, 3, 4};
  std::array<uint8_t, kGulpReplyLength> reply{};
  std::array<uint8_t, 5> shortReply{};
  std::array<uint8_t, 8> longInput{};
  uint32_t returned = 0;
  EXPECT_FALSE(paths().Control(gulp, kGulpRescanCode, wrong, reply, &returned));
  EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
  EXPECT_FALSE(paths().Control(gulp, kGulpRescanCode, longInput, reply, &returned));
  EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
  EXPECT_FALSE(paths().Control(gulp, kGulpRescanCode, kGulpSignature, shortReply, &returned));
  EXPECT_EQ(GetLastError(), kErrorInsufficientBuffer);
  EXPECT_FALSE(paths().Control(gulp, 18, kGulpSignature, reply, &returned));
  EXPECT_EQ(GetLastError(), kErrorInvalidFunction);
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(second_->rescanCount(), 0);
  EXPECT_EQ(TestUnitReady(), SS_NO_DEVICE);
}

}  // namespace
}  // namespace platform
