// What every control code refuses: a stopped device, blocks and buffers too short or too long,
// counts past 16 bits and data addresses the caller does not own. A refused request reaches
// nothing on the device and leaves no count behind.
#include <cstring>

#include "kvx_harness.h"

namespace kvxscan::testing {
namespace {

// Win32 errors of the statuses the driver reports.
constexpr uint32_t kNoMemory = 8;            // STATUS_NO_MEMORY
constexpr uint32_t kCancelled = 995;         // STATUS_CANCELLED
constexpr uint32_t kInvalidParameter = 87;   // STATUS_INVALID_PARAMETER
constexpr uint32_t kBufferTooSmall = 122;    // STATUS_BUFFER_TOO_SMALL
constexpr uint32_t kFileClosed = 6;          // STATUS_FILE_CLOSED
constexpr uint32_t kAccessViolation = 998;   // STATUS_ACCESS_VIOLATION
constexpr uint32_t kStall = 31;              // a stalled control transfer

class KvxRefusal : public ::testing::Test {
 protected:
  KvxHarness h;
  platform::DeviceHandle handle = h.Open();
  std::vector<uint8_t> none;

  uint32_t Send(uint32_t code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out, uint32_t* n = nullptr) {
    return h.Control(handle, code, in, out, n);
  }
  size_t Setups() { return h.scanner().Setups().size(); }
};

// Register writes, 0x80002018 vendor requests and waits are refused once stopped; the vendor
// requests of 0x0022000C have no such check and still reach the device's default pipe; the
// version and pipe-size records are the stored ones.
TEST_F(KvxRefusal, AStoppedDeviceRefusesEachCodeAsItsHandlerDecides) {
  ASSERT_NE(handle, platform::kInvalidDeviceHandle);
  ASSERT_EQ(h.pnp().Stop(h.pdo()), 0);
  platform::UserBuffer one(1);
  size_t before = Setups();
  std::vector<uint8_t> out(8);
  uint32_t n = 99;

  EXPECT_EQ(Send(IOCTL_KVX_WRITE_REGISTERS, Bytes(KVX_REGISTER_BLOCK{0x40, 1, one.address()}), none, &n), kNoMemory);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(Send(IOCTL_KVX_READ_REGISTERS, Bytes(KVX_REGISTER_BLOCK{0, 2, 0}), out), kNoMemory);
  EXPECT_EQ(Send(IOCTL_KVX_VENDOR_REQUEST, Bytes(KVX_VENDOR_BLOCK{0xC0, 0x01, 0, 0, 8, 0}), out), kNoMemory);
  EXPECT_EQ(Send(IOCTL_KVX_WAIT_ON_DEVICE_EVENT, {}, out), kCancelled);
  EXPECT_EQ(h.ext().Waiters, 0) << "a refused wait is not counted";
  std::vector<uint8_t> data(64);
  EXPECT_FALSE(h.paths().Write(handle, data, &n));
  EXPECT_EQ(platform::GetLastError(), kFileClosed);
  EXPECT_EQ(Setups(), before) << "nothing refused reached the device";

  ASSERT_EQ(Send(IOCTL_KVX_VENDOR_OR_MS_REQUEST, Bytes(KVX_VENDOR_BLOCK{0xC0, 0x01, 0, 0, 8, 0}), out, &n), 0u);
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(std::string(out.begin(), out.end()), "KVX-S100");
  out.assign(8, 0);
  ASSERT_EQ(Send(IOCTL_KVX_VENDOR_OR_MS_REQUEST, Bytes(KVX_MS_VENDOR_BLOCK{0, 8, 0, 0, 0x01, 0xC0, 1, 0}), out, &n), 0u);
  EXPECT_EQ(std::string(out.begin(), out.end()), "KVX-S100");
  EXPECT_EQ(Setups(), before + 2);

  std::vector<uint8_t> version(18);
  ASSERT_EQ(Send(IOCTL_KVX_GET_VERSION, {}, version, &n), 0u);
  EXPECT_EQ(version, emulator::KvxScanner::DefaultDeviceDescriptor());
  std::vector<uint8_t> sizes(12);
  ASSERT_EQ(Send(IOCTL_KVX_GET_PIPE_SIZES, {}, sizes, &n), 0u);
  EXPECT_EQ(sizes, (std::vector<uint8_t>{8, 0, 0, 0, 64, 0, 0, 0, 64, 0, 0, 0}));
  EXPECT_EQ(Send(IOCTL_KVX_CANCEL, Bytes(kCancelAll), none), 0u) << "nothing pending: nothing to cancel";
}

// Each block is read only as far as the caller sent it, and each reply fits the caller's buffer.
TEST_F(KvxRefusal, BlocksAndRepliesShorterThanTheirRecordsAreRefused) {
  platform::UserBuffer one(1);
  std::vector<uint8_t> block = Bytes(KVX_REGISTER_BLOCK{0x40, 1, one.address()});
  size_t before = Setups();
  EXPECT_EQ(Send(IOCTL_KVX_WRITE_REGISTERS, std::vector<uint8_t>(block.begin(), block.begin() + 11), none),
            kInvalidParameter) << "a write block without its whole data address";
  EXPECT_EQ(Send(IOCTL_KVX_WRITE_REGISTERS, {}, none), kInvalidParameter);
  std::vector<uint8_t> vendor = Bytes(KVX_VENDOR_BLOCK{0xC0, 0x01, 0, 0, 8, 0});
  std::vector<uint8_t> out(8);
  EXPECT_EQ(Send(IOCTL_KVX_VENDOR_REQUEST, std::vector<uint8_t>(vendor.begin(), vendor.begin() + 11), out),
            kInvalidParameter);
  for (size_t length : {0, 11, 13, 19, 21}) {
    EXPECT_EQ(Send(IOCTL_KVX_VENDOR_OR_MS_REQUEST, std::vector<uint8_t>(length), out), kInvalidParameter) << length;
  }
  EXPECT_EQ(Setups(), before);

  std::vector<uint8_t> sizes(11);
  uint32_t n = 99;
  EXPECT_EQ(Send(IOCTL_KVX_GET_PIPE_SIZES, {}, sizes, &n), kBufferTooSmall);
  EXPECT_EQ(n, 0u);
  sizes.assign(12, 0);
  EXPECT_EQ(Send(IOCTL_KVX_GET_PIPE_SIZES, {}, sizes, &n), 0u);
  EXPECT_EQ(n, 12u);
  // A vendor block longer than 12 bytes is read as its first 12.
  vendor.resize(16, 0xEE);
  EXPECT_EQ(Send(IOCTL_KVX_VENDOR_REQUEST, vendor, out, &n), 0u);
  EXPECT_EQ(n, 8u);
}

// 0xFFFF bytes is the longest transfer a control request can carry: it passes the driver and the
// device decides (this one stalls past its 256 registers); 0x10000 never leaves the driver.
TEST_F(KvxRefusal, CountsUpTo0xFFFFReachTheDeviceAndLongerOnesAreRefusedBeforeIt) {
  platform::UserBuffer data(0x10000);
  std::vector<uint8_t> out(0x10000);
  size_t before = Setups();
  EXPECT_EQ(Send(IOCTL_KVX_WRITE_REGISTERS, Bytes(KVX_REGISTER_BLOCK{0, 0x10000, data.address()}), none),
            kInvalidParameter);
  EXPECT_EQ(Send(IOCTL_KVX_WRITE_REGISTERS, Bytes(KVX_REGISTER_BLOCK{0, 0, data.address()}), none), kInvalidParameter);
  EXPECT_EQ(Setups(), before);
  uint32_t n = 99;
  EXPECT_EQ(Send(IOCTL_KVX_WRITE_REGISTERS, Bytes(KVX_REGISTER_BLOCK{0, 0xFFFF, data.address()}), none, &n), kStall);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(Send(IOCTL_KVX_READ_REGISTERS, Bytes(KVX_REGISTER_BLOCK{0, 0xFFFF, 0}), out, &n), kStall);
  ASSERT_EQ(Setups(), before + 2);
  EXPECT_EQ(h.scanner().Setups().back().length, 0xFFFF);
  EXPECT_EQ(h.scanner().Setups()[before].length, 0xFFFF);
}

// OUT data are read from the caller's 32-bit address: a block the caller does not own, or a
// range that runs past the end of its block, is an access violation and nothing is sent.
TEST_F(KvxRefusal, VendorOutDataFromAnAddressTheCallerDoesNotOwnAreRefused) {
  platform::UserBuffer data(4);
  std::vector<uint8_t> local(4);
  uint32_t foreign = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(local.data()));
  size_t before = Setups();
  for (uint32_t address : {0u, 0x1000u, foreign, data.address() + 1}) {
    std::vector<uint8_t> room(12);
    EXPECT_EQ(Send(IOCTL_KVX_VENDOR_REQUEST, Bytes(KVX_VENDOR_BLOCK{0x40, 0x04, 0x50, 0, 4, address}), room),
              kAccessViolation) << std::hex << address;
    std::vector<uint8_t> msRoom(20);
    EXPECT_EQ(Send(IOCTL_KVX_VENDOR_OR_MS_REQUEST, Bytes(KVX_MS_VENDOR_BLOCK{0x50, 4, address, 0, 0x04, 0x40, 0, 0}),
                   msRoom),
              kAccessViolation) << std::hex << address;
  }
  EXPECT_EQ(Setups(), before);
  EXPECT_EQ(h.scanner().Register(0x50), 0);
}

// The 20-byte block's direction flag must agree with bit 7 of its request type in both ways; any
// nonzero flag counts as device-to-host. OUT data come from the caller's address.
TEST_F(KvxRefusal, TheTwentyByteBlocksDirectionFlagMustAgreeWithItsRequestType) {
  platform::UserBuffer data(2);
  data.data()[0] = 0xA5;
  data.data()[1] = 0x5A;
  std::vector<uint8_t> out(20);
  uint32_t n = 99;
  EXPECT_EQ(Send(IOCTL_KVX_VENDOR_OR_MS_REQUEST, Bytes(KVX_MS_VENDOR_BLOCK{0x50, 2, data.address(), 0, 0x04, 0x40, 1, 0}),
                 out),
            kInvalidParameter) << "host-to-device type with the device-to-host flag";
  EXPECT_EQ(h.scanner().Register(0x50), 0);
  ASSERT_EQ(Send(IOCTL_KVX_VENDOR_OR_MS_REQUEST, Bytes(KVX_MS_VENDOR_BLOCK{0x50, 2, data.address(), 0, 0x04, 0x40, 0, 0}),
                 out, &n),
            0u);
  EXPECT_EQ(n, 0u) << "host-to-device reports no information";
  EXPECT_EQ(h.scanner().Register(0x50), 0xA5);
  EXPECT_EQ(h.scanner().Register(0x51), 0x5A);
  EXPECT_EQ(h.scanner().Setups().back().requestType, 0x40);

  std::vector<uint8_t> in(8);
  ASSERT_EQ(Send(IOCTL_KVX_VENDOR_OR_MS_REQUEST, Bytes(KVX_MS_VENDOR_BLOCK{0x50, 2, 0, 0, 0x04, 0xC0, 0x80, 0}), in, &n),
            0u);
  EXPECT_EQ(n, 2u);
  EXPECT_EQ(in[0], 0xA5);
  EXPECT_EQ(in[1], 0x5A);
}

}  // namespace
}  // namespace kvxscan::testing
