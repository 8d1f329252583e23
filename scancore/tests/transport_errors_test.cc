// Transports against the emulated machine: what goes on the wire, and how every status the ASPI
// layer and the scanner can report comes back as the library's error code.
#include <gtest/gtest.h>

#include <vector>

#include "platform/modules/modules.h"
#include "scancore/error_codes.h"
#include "scancore/interface.h"
#include "scancore_test_support.h"

namespace scancore {
namespace {

using testing::ScannerHost;

// The default machine's flatbed: adapter 0 ("hba0 scsi", immediate completion), target 2.
class FlatbedTransport : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(transport.Open(), 1);
    transport.SetAddress(0, 2);
  }
  uint32_t InquiryError() {
    uint8_t data[36] = {};
    EXPECT_EQ(transport.Inquiry(data, 36), 0);
    return transport.TakeLastError();
  }
  void AddSense(uint8_t key, uint8_t asc, uint8_t ascq, uint8_t b18 = 0, uint8_t b19 = 0) {
    platform::DeviceFault f;
    f.kind = platform::DeviceFault::Kind::kSense;
    f.opcode = 0x12;
    f.count = 1;
    f.senseKey = key, f.asc = asc, f.ascq = ascq, f.byte18 = b18, f.byte19 = b19;
    t.faults("flatbed").Add(f);
  }

  ScannerHost t;
  CInterface transport{TransportServices::Of(t.host())};
};

TEST_F(FlatbedTransport, SenseMapsToTheLibraryCodes) {
  struct Case {
    uint8_t key, asc, ascq, b18, b19;
    uint32_t code;
  } cases[] = {
      {0x2, 0x04, 0x01, 0x1E, 0, 0xFFFF1E10},  // warming up, 30 seconds to go
      {0x4, 0x00, 0x00, 0x00, 0x04, 0xFFFF002A},  // hardware error bit 10
      {0x4, 0x00, 0x00, 0x01, 0x80, 0xFFFF0020},  // the lowest bit wins
      {0x4, 0x00, 0x00, 0x00, 0x00, 0x12040002},  // no bit: the check-condition code stays
      {0x5, 0x25, 0x00, 0, 0, 0xFFFF0030},  // logical unit not supported
      {0x5, 0x25, 0x01, 0, 0, 0x12040002},  // the qualifier matters
      {0x5, 0x24, 0x00, 0, 0, 0x12040002},
      {0x9, 0x00, 0x05, 0, 0, 0xFFFF0040},  // the vendor codes, as the table writes them
      {0x9, 0x3B, 0x05, 0, 0, 0xFFFF0041},
      {0x9, 0x04, 0x03, 0, 0, 0xFFFF0042},
      {0x9, 0x3B, 0x09, 0, 0, 0xFFFF0043},
      {0x9, 0x3B, 0x06, 0, 0, 0x12040002},  // vendor sense without a code of its own
      {0x9, 0x00, 0x03, 0, 0, 0x12040002},
      {0xB, 0x2C, 0x00, 0, 0, 0xFFFF0050},  // aborted command
      {0xB, 0x2C, 0x01, 0, 0, 0x12040002},
      {0x6, 0x29, 0x00, 0, 0, 0x12040002},  // unit attention has no code of its own
  };
  for (const Case& c : cases) {
    AddSense(c.key, c.asc, c.ascq, c.b18, c.b19);
    EXPECT_EQ(InquiryError(), c.code) << std::hex << int(c.key) << "/" << int(c.asc) << "/"
                                      << int(c.ascq);
  }
}

TEST_F(FlatbedTransport, AdapterAndTargetStatusesFormTheAspiFamilyCode) {
  platform::DeviceFault busy;
  busy.kind = platform::DeviceFault::Kind::kTargetStatus;
  busy.opcode = 0x12;
  busy.count = 1;
  busy.status = 0x08;
  t.faults("flatbed").Add(busy);
  EXPECT_EQ(InquiryError(), AspiError(0x12, 0x04, 0x00, 0x08));

  t.machine().Adapter("hba0")->ForceHostStatus(platform::kHostPhaseSequenceFailure);
  EXPECT_EQ(InquiryError(), AspiError(0x12, 0x04, 0x14, 0x00));
  t.machine().Adapter("hba0")->ForceHostStatus(0);

  transport.SetAddress(0, 3);  // nobody there: selection time-out
  EXPECT_EQ(InquiryError(), AspiError(0x12, platform::SS_NO_DEVICE, 0x11, 0x00));
  transport.SetAddress(0, 2);
  uint8_t data[36] = {};
  EXPECT_EQ(transport.Inquiry(data, 36), 1);
  EXPECT_EQ(transport.TakeLastError(), kNoError);
}

TEST_F(FlatbedTransport, RequestThatNeverCompletesTimesOutAndFreesTheBlock) {
  platform::DeviceFault stall;
  stall.kind = platform::DeviceFault::Kind::kNeverComplete;
  stall.opcode = 0x28;
  stall.count = 2;
  t.faults("flatbed").Add(stall);
  std::vector<uint8_t> buffer(0x40000);
  uint64_t start = t.now();
  EXPECT_EQ(transport.Read(0, 0, buffer.data(), 0x40000), 0);
  EXPECT_EQ(transport.TakeLastError(), 0xFFFF0072u);
  EXPECT_GE(t.now() - start, 100000u);
  EXPECT_LT(t.now() - start, 100000u + 6000u);
  start = t.now();
  EXPECT_EQ(transport.Read(0, 0, buffer.data(), 0x3FFFF), 0);
  EXPECT_EQ(transport.TakeLastError(), 0xFFFF0072u);
  EXPECT_GE(t.now() - start, 50000u);
  EXPECT_LT(t.now() - start, 50000u + 6000u);
  // The aborted block is free again: the next command goes through.
  uint8_t data[36] = {};
  EXPECT_EQ(transport.Inquiry(data, 36), 1);
}

TEST_F(FlatbedTransport, HostAdapterInquiriesNameTheAdapter) {
  EXPECT_EQ(transport.GetManagerId(), "ASPI for WIN32");
  EXPECT_EQ(transport.GetAdapterIdentifier(), "hba0 scsi");
  EXPECT_EQ(transport.GetMaxTransfer(), 0x10000u);
  transport.SetAddress(1, 0);
  EXPECT_EQ(transport.GetAdapterIdentifier(), "eppscsi");
  EXPECT_EQ(transport.GetMaxTransfer(), 0x400000u);
}

TEST(TransportLimits, LargestTransferFollowsTheAdapterName) {
  ScannerHost t("win98",
                "[machine]\nadapters=a,b,c,d,e\n"
                "[a]\nidentifier=dtc328x 1\nmaxtransfer=0x8000\n"
                "[b]\nidentifier=sparrow\nmaxtransfer=0x80000\n"
                "[c]\nidentifier=DTC328X\nmaxtransfer=0x8000\n"
                "[d]\nidentifier=StiAspi usb\n"
                "[e]\nidentifier=wlq4820s\nmaxtransfer=0x1000\n");
  CInterface transport(TransportServices::Of(t.host()));
  ASSERT_EQ(transport.Open(), 1);
  ASSERT_EQ(transport.GetAdapterCount(), 5);
  const uint32_t expected[] = {0x8000, 0x20000, 0x10000, 0x400000, 0x1000};
  for (uint8_t a = 0; a < 5; ++a) {
    transport.SetAddress(a, 0);
    EXPECT_EQ(transport.GetMaxTransfer(), expected[a]) << int(a);
  }
}

TEST(TransportOpen, SupportFailureOpensAspiEmptyButFailsTheStillImageLayer) {
  ScannerHost t("win98");
  t.aspi().InjectSupportFailure(platform::AspiLayer::kWinAspi, 0xE8);
  t.aspi().InjectSupportFailure(platform::AspiLayer::kStillImage, 0xE4);
  CInterface aspi(TransportServices::Of(t.host()));
  EXPECT_EQ(aspi.Open(), 1);
  EXPECT_EQ(aspi.GetAdapterCount(), 0);
  EXPECT_EQ(aspi.TakeLastError(), 0x00E80000u);
  CStiAspiInterface still(TransportServices::Of(t.host()));
  EXPECT_EQ(still.Open(), 0);
  EXPECT_EQ(still.TakeLastError(), 0x00E40000u);
}

TEST(TransportOpen, StillImageLibraryFollowsTheWindowsVersion) {
  struct Case {
    const char* version;
    const char* module;  // null: none, 0xFFFF0071
  } cases[] = {{"win95", nullptr}, {"win95-osr2", "osr2aspi.dll"}, {"win98", "stiaspi.dll"},
               {"nt4", nullptr}, {"win2000", "stiaspi.dll"}};
  for (const Case& c : cases) {
    ScannerHost t(c.version);
    CStiAspiInterface still(TransportServices::Of(t.host()));
    if (c.module) {
      EXPECT_EQ(still.Open(), 1) << c.version;
      EXPECT_NE(t.host().modules().GetModuleHandle(c.module), 0u) << c.version;
    } else {
      EXPECT_EQ(still.Open(), 0) << c.version;
      EXPECT_EQ(still.TakeLastError(), 0xFFFF0071u) << c.version;
    }
  }
}

TEST(TransportOpen, MissingWinAspiIsItsOwnCode) {
  ScannerHost t("nt4", "[machine]\nadapters=\nmodules=stiaspi,osr2aspi\n");
  CInterface aspi(TransportServices::Of(t.host()));
  EXPECT_EQ(aspi.Open(), 0);
  EXPECT_EQ(aspi.TakeLastError(), 0xFFFF0070u);
}

TEST(TransportLifetime, OnlyWindows98UnloadsTheLibrary) {
  for (const char* version : {"win98", "nt4"}) {
    ScannerHost t(version);
    { CInterface aspi(TransportServices::Of(t.host())); ASSERT_EQ(aspi.Open(), 1); }
    const auto module = t.host().modules().GetModuleHandle("wnaspi32.dll");
    EXPECT_EQ(module == 0, std::string(version) == "win98") << version;
  }
}

}  // namespace
}  // namespace scancore
