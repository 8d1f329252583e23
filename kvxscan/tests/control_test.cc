// The control codes as user mode sends them through the device path.
#include <cstring>

#include "kvx_harness.h"

namespace kvxscan::testing {
namespace {

class KvxControl : public ::testing::Test {
 protected:
  KvxHarness h;
  platform::DeviceHandle handle = h.Open();

  uint32_t Send(uint32_t code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out, uint32_t* n = nullptr) {
    return h.Control(handle, code, in, out, n);
  }
  platform::UsbSetup LastSetup() { return h.scanner().Setups().back(); }
};

TEST_F(KvxControl, VersionAtTwelveBytesIsTheRecordAndFromEighteenTheStoredDescriptors) {
  std::vector<uint8_t> out(12);
  uint32_t n = 0;
  ASSERT_EQ(Send(0x80002000, {}, out, &n), 0u);
  EXPECT_EQ(n, 12u);
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

  out.assign(18, 0xEE);
  ASSERT_EQ(Send(0x80002000, {}, out, &n), 0u);
  EXPECT_EQ(n, 18u);
  EXPECT_EQ(out, emulator::KvxScanner::DefaultDeviceDescriptor());

  // 18 + 9 + 9 + 3 x 7 = 57 bytes are stored; a longer buffer gets only them.
  out.assign(200, 0xEE);
  ASSERT_EQ(Send(0x80002000, {}, out, &n), 0u);
  EXPECT_EQ(n, 57u);
  std::vector<uint8_t> expected = emulator::KvxScanner::DefaultDeviceDescriptor();
  auto config = emulator::KvxScanner::DefaultConfiguration();
  expected.insert(expected.end(), config.begin(), config.end());
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 57), expected);
  EXPECT_EQ(out[57], 0xEE);
}

TEST_F(KvxControl, VersionBuffersUnderTwelveAndFromThirteenToSeventeenAreTooSmall) {
  for (size_t size : {0, 11, 13, 17}) {
    std::vector<uint8_t> out(size);
    uint32_t n = 99;
    EXPECT_EQ(Send(0x80002000, {}, out, &n), 122u) << size;
    EXPECT_EQ(n, 0u);
  }
}

TEST_F(KvxControl, OneRegisterIsRequest0CAndTwoAreRequest04) {
  std::vector<uint8_t> out(1);
  uint32_t n = 0;
  ASSERT_EQ(Send(0x8000200C, Bytes(KVX_REGISTER_BLOCK{0x1, 1, 0}), out, &n), 0u);
  EXPECT_EQ(n, 1u);
  EXPECT_EQ(out[0], 'V');
  platform::UsbSetup one = LastSetup();
  EXPECT_EQ(one.request, 0x0C);
  EXPECT_EQ(one.requestType, 0xC0);
  EXPECT_EQ(one.value, 1);
  out.resize(2);
  ASSERT_EQ(Send(0x8000200C, Bytes(KVX_REGISTER_BLOCK{0x10000, 2, 0}), out, &n), 0u);
  EXPECT_EQ(out, (std::vector<uint8_t>{'K', 'V'})) << "only the low 16 bits of the address are the value";
  EXPECT_EQ(LastSetup().request, 0x04);
}

TEST_F(KvxControl, RegisterReadsBeyondTheOutputBufferOr0xFFFFBytesAreRefused) {
  std::vector<uint8_t> out(4);
  EXPECT_EQ(Send(0x8000200C, Bytes(KVX_REGISTER_BLOCK{0, 4, 0}), out), 0u);
  EXPECT_EQ(Send(0x8000200C, Bytes(KVX_REGISTER_BLOCK{0, 5, 0}), out), 87u);
  EXPECT_EQ(Send(0x8000200C, Bytes(KVX_REGISTER_BLOCK{0, 0, 0}), out), 87u);
  EXPECT_EQ(Send(0x8000200C, std::vector<uint8_t>(7), out), 87u) << "a block of 7 bytes";
  std::vector<uint8_t> big(0x10000);
  EXPECT_EQ(Send(0x8000200C, Bytes(KVX_REGISTER_BLOCK{0, 0x10000, 0}), big), 87u);
}

TEST_F(KvxControl, RegisterWritesCopyFromTheCallersAddressAndRefuseBadOnes) {
  platform::UserBuffer data(2);
  data.data()[0] = 0x34;
  data.data()[1] = 0x12;
  std::vector<uint8_t> none;
  uint32_t n = 0;
  ASSERT_EQ(Send(0x80002010, Bytes(KVX_REGISTER_BLOCK{0x10, 2, data.address()}), none, &n), 0u);
  EXPECT_EQ(n, 0u) << "the count is the information, but no byte comes back to a caller without output";
  EXPECT_EQ(h.scanner().Register(0x10), 0x34);
  EXPECT_EQ(h.scanner().Register(0x11), 0x12);
  EXPECT_EQ(LastSetup().request, 0x04);
  EXPECT_EQ(LastSetup().requestType, 0x40);
  ASSERT_EQ(Send(0x80002010, Bytes(KVX_REGISTER_BLOCK{0x40, 1, data.address()}), none), 0u);
  EXPECT_EQ(LastSetup().request, 0x0C);

  size_t setups = h.scanner().Setups().size();
  EXPECT_EQ(Send(0x80002010, Bytes(KVX_REGISTER_BLOCK{0x10, 3, data.address()}), none), 998u) << "past the block";
  EXPECT_EQ(Send(0x80002010, Bytes(KVX_REGISTER_BLOCK{0x10, 2, 0x1000}), none), 998u) << "not user memory";
  std::vector<uint8_t> local(2);
  EXPECT_EQ(Send(0x80002010, Bytes(KVX_REGISTER_BLOCK{0x10, 2, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(local.data()))}), none), 998u);
  EXPECT_EQ(h.scanner().Setups().size(), setups) << "nothing reached the device";
}

TEST_F(KvxControl, AStalledRegisterReadFailsWithNoInformation) {
  std::vector<uint8_t> out(8);
  uint32_t n = 99;
  EXPECT_EQ(Send(0x8000200C, Bytes(KVX_REGISTER_BLOCK{0xFC, 8, 0}), out, &n), 31u) << "past register 0xFF the device stalls";
  EXPECT_EQ(n, 0u);
}

TEST_F(KvxControl, TwentyByteBlockWithDeviceToHostTypeAndFlagZeroIsRefused) {
  KVX_MS_VENDOR_BLOCK block{0, 8, 0, 0, 0x01, 0xC0, 0, 0};
  std::vector<uint8_t> out(8);
  EXPECT_EQ(Send(0x0022000C, Bytes(block), out), 87u);
  block.DeviceToHost = 1;
  uint32_t n = 0;
  ASSERT_EQ(Send(0x0022000C, Bytes(block), out, &n), 0u);
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(std::string(out.begin(), out.end()), "KVX-S100");
  block.RequestType = 0xA0;  // class, not vendor
  EXPECT_EQ(Send(0x0022000C, Bytes(block), out), 87u);
}

TEST_F(KvxControl, TwelveByteBlockOfAnotherTypeIsTakenBy2018AndRefusedBy000C) {
  KVX_VENDOR_BLOCK block{0x80, 0x01, 0, 0, 8, 0};  // type bits 0: standard
  std::vector<uint8_t> out(8);
  uint32_t n = 0;
  EXPECT_EQ(Send(0x80002018, Bytes(block), out, &n), 0u);
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(Send(0x0022000C, Bytes(block), out), 87u);
  block.Flags = 0xC0;
  EXPECT_EQ(Send(0x0022000C, Bytes(block), out, &n), 0u);
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(Send(0x0022000C, std::vector<uint8_t>(16), out), 87u) << "neither 12 nor 20 bytes";
}

TEST_F(KvxControl, VendorOutDataComeFromTheCallerAndMayNotPassTheSystemBuffer) {
  platform::UserBuffer data(4);
  std::memcpy(data.data(), "\x01\x02\x03\x04", 4);
  KVX_VENDOR_BLOCK block{0x40, 0x04, 0x50, 0, 4, data.address()};  // register write 0x50..0x53
  std::vector<uint8_t> none;
  uint32_t n = 99;
  ASSERT_EQ(Send(0x80002018, Bytes(block), none, &n), 0u);
  EXPECT_EQ(n, 0u) << "host-to-device reports no information";
  EXPECT_EQ(h.scanner().Register(0x53), 0x04);
  block.Length = 13;  // the system buffer holds 12
  EXPECT_EQ(Send(0x80002018, Bytes(block), none), 87u);
  KVX_VENDOR_BLOCK in{0x80, 0x01, 0, 0, 9, 0};
  std::vector<uint8_t> out(8);
  EXPECT_EQ(Send(0x80002018, Bytes(in), out), 87u) << "IN data longer than the output";
}

TEST_F(KvxControl, VendorFlagsChooseTheRecipientAndTheDirection) {
  std::vector<uint8_t> out(8);
  struct Case {
    uint8_t flags;
    uint8_t requestType;  // what the device sees
  };
  for (Case c : {Case{0xC0, 0xC0}, Case{0xC1, 0xC1}, Case{0xC2, 0xC2}, Case{0xC3, 0xC1}}) {
    KVX_VENDOR_BLOCK block{c.flags, 0x01, 0x1234, 0x0056, 8, 0};
    Send(0x0022000C, Bytes(block), out);
    platform::UsbSetup setup = LastSetup();
    EXPECT_EQ(setup.requestType, c.requestType) << "flags " << int(c.flags) << ": bit 0 interface, else bit 1 endpoint";
    EXPECT_EQ(setup.value, 0x1234);
    EXPECT_EQ(setup.index, 0x0056);
    EXPECT_EQ(setup.length, 8);
  }
  KVX_MS_VENDOR_BLOCK ms{0x12345678, 0x10008, 0, 0xABCD0001, 0x01, 0xC0, 1, 0};
  uint32_t n = 0;
  ASSERT_EQ(Send(0x0022000C, Bytes(ms), out, &n), 0u);
  platform::UsbSetup setup = LastSetup();
  EXPECT_EQ(setup.value, 0x5678) << "low 16 bits";
  EXPECT_EQ(setup.index, 0x0001);
  EXPECT_EQ(setup.length, 8);
  EXPECT_EQ(n, 8u);
}

TEST_F(KvxControl, PipeSizesAreInterruptBulkInAndBulkOut) {
  std::vector<uint8_t> out(12);
  uint32_t n = 0;
  ASSERT_EQ(Send(0x80002014, {}, out, &n), 0u);
  EXPECT_EQ(n, 12u);
  EXPECT_EQ(out, (std::vector<uint8_t>{8, 0, 0, 0, 64, 0, 0, 0, 64, 0, 0, 0}));
}

TEST_F(KvxControl, AnUnknownCodeSucceedsWithNoDataAndCancelTakesSelectorsZeroToThree) {
  std::vector<uint8_t> out(16, 0xEE);
  uint32_t n = 99;
  EXPECT_EQ(Send(0x80002040, {1, 2, 3}, out, &n), 0u);
  EXPECT_EQ(n, 0u);
  std::vector<uint8_t> none;
  for (uint32_t selector : {0u, 1u, 2u, 3u}) EXPECT_EQ(Send(0x80002004, Bytes(selector), none), 0u) << selector;
  EXPECT_EQ(Send(0x80002004, Bytes(4u), none), 87u);
  EXPECT_EQ(Send(0x80002004, {0, 0, 0}, none), 87u) << "a selector of 3 bytes";
}

}  // namespace
}  // namespace kvxscan::testing
