// Device objects by "\\.\NAME": registration, handles, and requests a device does not take.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "platform/devices/device_paths.h"

namespace platform {
namespace {

// Each handle counts the bytes written through it, and reads that count back.
class CountingDevice final : public DeviceObject {
 public:
  std::unique_ptr<DeviceFile> Open(const DeviceOpen& how, uint32_t* error) override {
    if (how.access & kGenericWrite) {
      *error = kErrorAccessDenied;
      return nullptr;
    }
    return std::make_unique<Counter>();
  }

 private:
  struct Counter final : DeviceFile {
    IoStatus Write(std::span<const uint8_t> data) override {
      count += static_cast<uint8_t>(data.size());
      return {kErrorSuccess, static_cast<uint32_t>(data.size())};
    }
    IoStatus Read(std::span<uint8_t> buffer) override {
      if (buffer.empty()) return {kErrorInsufficientBuffer, 0};
      buffer[0] = count;
      return {kErrorSuccess, 1000};  // overstated: the caller must never see more than it gave
    }
    uint8_t count = 0;
  };
};

// Answers a control request by echoing its input.
class EchoDevice final : public StatelessDevice {
 public:
  explicit EchoDevice(bool* destroyed) : destroyed_(destroyed) {}
  ~EchoDevice() override { *destroyed_ = true; }
  IoStatus Control(uint32_t, std::span<const uint8_t> in, std::span<uint8_t> out) override {
    const size_t n = std::min(in.size(), out.size());
    std::copy_n(in.begin(), n, out.begin());
    return {kErrorSuccess, static_cast<uint32_t>(n)};
  }

 private:
  bool* destroyed_;
};

TEST(DevicePathsTest, NamesAreCaseInsensitiveAndUnique) {
  DevicePaths paths;
  ASSERT_TRUE(paths.Register("Counter0", std::make_shared<CountingDevice>()));
  EXPECT_TRUE(paths.Exists("COUNTER0"));
  EXPECT_FALSE(paths.Register("counter0", std::make_shared<CountingDevice>()));
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
  EXPECT_FALSE(paths.Register("", std::make_shared<CountingDevice>()));
  EXPECT_EQ(GetLastError(), kErrorInvalidName);
  EXPECT_FALSE(paths.Register("a\\b", std::make_shared<CountingDevice>()));
  EXPECT_FALSE(paths.Register("none", nullptr));
  EXPECT_EQ(GetLastError(), kErrorInvalidParameter);
  for (std::string_view path : {"Counter0", "\\\\.\\", "\\\\.\\counter1", "C:\\Counter0", "\\\\?\\Counter0"}) {
    EXPECT_EQ(paths.Open(path), kInvalidDeviceHandle) << path;
    EXPECT_EQ(GetLastError(), kErrorFileNotFound) << path;
  }
  EXPECT_TRUE(paths.Unregister("COUNTER0"));
  EXPECT_FALSE(paths.Unregister("COUNTER0"));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
}

TEST(DevicePathsTest, EachHandleHasItsOwnFile) {
  DevicePaths paths;
  ASSERT_TRUE(paths.Register("Counter0", std::make_shared<CountingDevice>()));
  EXPECT_EQ(paths.Open("\\\\.\\counter0", {kGenericWrite, 0, kOpenExisting, 0}), kInvalidDeviceHandle);
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  DeviceHandle a = paths.Open("\\\\.\\counter0");
  DeviceHandle b = paths.Open("\\\\.\\COUNTER0");
  ASSERT_NE(a, kInvalidDeviceHandle);
  ASSERT_NE(b, a);
  std::array<uint8_t, 3> data{};
  uint32_t moved = 0;
  ASSERT_TRUE(paths.Write(a, data, &moved));
  EXPECT_EQ(moved, 3u);
  std::array<uint8_t, 4> buffer{};
  ASSERT_TRUE(paths.Read(b, buffer, &moved));
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(moved, 4u);  // clamped to the buffer
  ASSERT_TRUE(paths.Read(a, buffer, &moved));
  EXPECT_EQ(buffer[0], 3);
  EXPECT_FALSE(paths.Control(a, 0x222000, {}, {}, &moved));
  EXPECT_EQ(GetLastError(), kErrorInvalidFunction);
  EXPECT_EQ(moved, 0u);

  ASSERT_TRUE(paths.Unregister("Counter0"));
  EXPECT_TRUE(paths.Write(a, data, &moved));  // open handles keep working
  EXPECT_TRUE(paths.Close(a));
  EXPECT_TRUE(paths.Close(b));
  EXPECT_EQ(paths.OpenHandles(), 0u);
  EXPECT_FALSE(paths.Close(b));
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
  EXPECT_FALSE(paths.Write(a, data, &moved));
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
  EXPECT_FALSE(paths.Read(kInvalidDeviceHandle, buffer, nullptr));
}

TEST(DevicePathsTest, StatelessDeviceLivesWhileAHandleIsOpen) {
  DevicePaths paths;
  bool destroyed = false;
  ASSERT_TRUE(paths.Register("Echo", std::make_shared<EchoDevice>(&destroyed)));
  DeviceHandle handle = paths.Open("\\\\.\\ECHO");
  ASSERT_NE(handle, kInvalidDeviceHandle);
  ASSERT_TRUE(paths.Unregister("echo"));
  EXPECT_FALSE(destroyed);
  std::array<uint8_t, 2> in = {7, 8};
  std::array<uint8_t, 4> out{};
  uint32_t returned = 0;
  ASSERT_TRUE(paths.Control(handle, 1, in, out, &returned));
  EXPECT_EQ(returned, 2u);
  EXPECT_EQ(out[1], 8);
  EXPECT_FALSE(paths.Read(handle, out, &returned));  // an echo device does not read
  EXPECT_EQ(GetLastError(), kErrorInvalidFunction);
  EXPECT_TRUE(paths.Close(handle));
  EXPECT_TRUE(destroyed);
}

}  // namespace
}  // namespace platform
