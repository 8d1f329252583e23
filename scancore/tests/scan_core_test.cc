// CScanCore after discovery: the identity stage, copies and repeated Initialize, the version and
// error queries, and every error code as GetErrorCode hands it back.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/modules/modules.h"
#include "scancore/error_codes.h"
#include "scancore/scan_core.h"
#include "scancore_test_support.h"

namespace scancore {
namespace {

using testing::Device;
using testing::kBase;
using testing::OneAdapter;
using testing::ScannerHost;

const std::string kFlatbedOnly =
    OneAdapter("target2=s\n", Device("s", "Color   FlatbedScanner_4", 600,
                                     "adbits=12\noption=2\nrevision=0105\ndate=Feb 07 2000\n"));

TEST(IdentityStageTest, FillsTheScannerInfo) {
  ScannerHost t("win98", kFlatbedOnly);
  CScanCore core(kBase);
  CHWScannerInfo info;
  ASSERT_EQ(core.Initialize(info), 1);
  EXPECT_EQ(info.GetModelName(), "610S/610ST");
  EXPECT_EQ(info.GetSensorType(), kSensorStandard);
  EXPECT_EQ(info.GetOpticalRes(), 600);
  EXPECT_EQ(info.GetPhysicalWidth(), 8.5f);
  float height = info.GetPhysicalHeight();
  uint32_t bits = 0;
  std::memcpy(&bits, &height, sizeof bits);
  EXPECT_EQ(bits, 0x413B1687u);
  EXPECT_EQ(info.GetFWVersion(), "1.05");
  EXPECT_EQ(info.GetFWDate(), "Feb. 07, 2000");
  EXPECT_EQ(info.GetInstalledOption(), kOptionSecond);
  EXPECT_EQ(info.GetADBits(), 12);
  EXPECT_EQ(info.GetDeviceManager(), "ASPI for WIN32");
  EXPECT_EQ(info.GetHostAdapter(), "hba0 scsi");
  EXPECT_EQ(info.GetTargetID(), "2");
  EXPECT_EQ(info.GetBaseAddress(), "");
  EXPECT_EQ(core.GetBusType(), kBusAspiScsi);
  EXPECT_EQ(core.GetCmdReadSize(), 0x10000u);
  EXPECT_EQ(core.GetFwVersion(), "1.05");
  EXPECT_EQ(core.GetFwDate(), "Feb. 07, 2000");
}

TEST(IdentityStageTest, NtFamilyReadsAtMost32KWhateverTheAdapter) {
  for (const char* version : {"nt4", "win2000"}) {
    ScannerHost t(version, OneAdapter("target2=s\n", Device("s", "Color   FlatbedScanner_4"),
                                      "eppscsi big"));
    CScanCore core(kBase);
    CHWScannerInfo info;
    ASSERT_EQ(core.Initialize(info), 1) << version;
    EXPECT_EQ(core.GetCmdReadSize(), 0x8000u) << version;
  }
}

TEST(ScanCoreTest, VersionAndErrorCodeReset) {
  ScannerHost t("nt4", "[machine]\nadapters=\nmodules=stiaspi\n");
  CScanCore core(kBase);
  std::string version;
  core.GetVersion(version);
  EXPECT_EQ(version, "3.04.05");
  EXPECT_EQ(core.GetErrorCode(), kNoError);
  CHWScannerInfo info;
  EXPECT_EQ(core.Initialize(info), 0);
  EXPECT_EQ(core.GetErrorCode(), 0xFFFF0070u);
  EXPECT_EQ(core.GetErrorCode(), kNoError);
  EXPECT_EQ(core.GetFwVersion(), "");  // nothing bound
}

TEST(ScanCoreTest, CopiesShareOneTransportFreedOnce) {
  ScannerHost t("win98", kFlatbedOnly);
  const auto wnaspi = [&] {
    return t.host().modules().ReferenceCount(t.host().modules().GetModuleHandle("wnaspi32.dll"));
  };
  auto core = std::make_unique<CScanCore>(kBase);
  CHWScannerInfo info;
  ASSERT_EQ(core->Initialize(info), 1);
  EXPECT_EQ(wnaspi(), 1);
  CScanCore copy(*core);
  CScanCore assigned("elsewhere");
  assigned = *core;
  EXPECT_EQ(copy.GetTransport(), core->GetTransport());
  EXPECT_EQ(assigned.GetTransport(), core->GetTransport());
  core.reset();
  EXPECT_EQ(copy.GetFwVersion(), "1.05");  // still there for the copies
  assigned = CScanCore(kBase);
  EXPECT_EQ(copy.GetFwDate(), "Feb. 07, 2000");
  EXPECT_EQ(wnaspi(), 1);
}

TEST(ScanCoreTest, SecondInitializeFreesThePreviousTransport) {
  ScannerHost t("win98", kFlatbedOnly);
  CScanCore core(kBase);
  CHWScannerInfo info;
  for (int i = 0; i < 3; ++i) ASSERT_EQ(core.Initialize(info), 1);
  // On Windows 98 a destroyed transport unloads its library: only the bound one holds it.
  auto& modules = t.host().modules();
  EXPECT_EQ(modules.ReferenceCount(modules.GetModuleHandle("wnaspi32.dll")), 1);
}

// Each library code a scanner can cause, injected into the identity inquiry.
TEST(ErrorCodeTest, ScannerFaultsReachGetErrorCode) {
  struct Case {
    platform::DeviceFault fault;
    uint32_t code;
  };
  auto sense = [](uint8_t key, uint8_t asc, uint8_t ascq, uint8_t b18 = 0, uint8_t b19 = 0) {
    platform::DeviceFault f;
    f.kind = platform::DeviceFault::Kind::kSense;
    f.senseKey = key, f.asc = asc, f.ascq = ascq, f.byte18 = b18, f.byte19 = b19;
    return f;
  };
  platform::DeviceFault stall;
  stall.kind = platform::DeviceFault::Kind::kNeverComplete;
  platform::DeviceFault busy;
  busy.kind = platform::DeviceFault::Kind::kTargetStatus;
  busy.status = 0x08;
  platform::DeviceFault hostFault;
  hostFault.kind = platform::DeviceFault::Kind::kHostStatus;
  hostFault.status = 0x13;
  const Case cases[] = {
      {sense(2, 0x04, 0x01, 0x05), 0xFFFF0510},
      {sense(4, 0, 0, 0x00, 0x80), 0xFFFF002F},
      {sense(5, 0x25, 0x00), 0xFFFF0030u},
      {sense(9, 0x00, 0x05), 0xFFFF0040u},
      {sense(9, 0x3B, 0x05), 0xFFFF0041u},
      {sense(9, 0x04, 0x03), 0xFFFF0042u},
      {sense(9, 0x3B, 0x09), 0xFFFF0043u},
      {sense(0xB, 0x2C, 0x00), 0xFFFF0050u},
      {stall, 0xFFFF0072u},
      {busy, 0x12040008},
      {hostFault, 0x12041300},
  };
  ScannerHost t("nt4", kFlatbedOnly);
  CScanCore core(kBase);
  std::vector<DEVICEINFO> found;
  ASSERT_EQ(core.ListScanners(found), 1);
  ASSERT_EQ(found.size(), 1u);
  for (const Case& c : cases) {
    platform::DeviceFault f = c.fault;
    f.opcode = 0x12;
    f.count = 1;
    t.faults("s").Add(f);
    CHWScannerInfo info;
    EXPECT_EQ(core.InitializeScanner(found[0], info), 0);
    EXPECT_EQ(core.GetErrorCode(), c.code) << std::hex << c.code;
    EXPECT_EQ(info.GetFWVersion(), "");  // what was filled before the failure stays
  }
  CHWScannerInfo info;
  EXPECT_EQ(core.InitializeScanner(found[0], info), 1);
}

TEST(ErrorCodeTest, LayerFaultsReachGetErrorCode) {
  {  // no still-image library on a system that has the layer
    ScannerHost t("win98", "[machine]\nadapters=\nmodules=wnaspi32\n");
    CScanCore core(kBase);
    CHWScannerInfo info;
    EXPECT_EQ(core.Initialize(info), 0);
    EXPECT_EQ(core.GetErrorCode(), 0xFFFF0071u);
  }
  {  // the still-image layer reports a failing status
    ScannerHost t("win2000");
    t.aspi().InjectSupportFailure(platform::AspiLayer::kStillImage, 0xE4);
    CScanCore core(kBase);
    CHWScannerInfo info;
    EXPECT_EQ(core.Initialize(info), 0);
    EXPECT_EQ(core.GetErrorCode(), 0x00E40000u);
  }
  {  // the scanner's layer is gone when the chosen scanner is bound
    ScannerHost t("nt4", "[machine]\nadapters=\nmodules=wnaspi32\n");
    CScanCore core(kBase);
    DEVICEINFO usb{"310U", kSensorStandard, 0, 0, kBusStillImage};
    CHWScannerInfo info;
    EXPECT_EQ(core.InitializeScanner(usb, info), 0);
    EXPECT_EQ(core.GetErrorCode(), 0xFFFF0071u);
    EXPECT_EQ(core.GetTransport(), nullptr);
  }
}

TEST(ErrorCodeTest, FirmwareAndCancelCodes) {
  ScannerHost t("nt4", OneAdapter("target4=fw\n",
                                  Device("fw", "Color   FlatbedScanner10", 600, "firmware=3\n")));
  CScanCore core(kBase);
  CInterface transport(TransportServices::Of(t.host()));
  ASSERT_EQ(transport.Open(), 1);
  transport.SetAddress(0, 4);
  EXPECT_EQ(ScanCoreTestPeer::DownloadFirmware(core, transport, 3, "Color   FlatbedScanner10"), 0);
  EXPECT_EQ(core.GetErrorCode(), 0xFFFF0060u);
  // The image exists but the scanner refuses the SEND: the transport's code.
  t.WriteFile("C:\\TOVELINK\\bin\\Model.ini", "[SCSI]\n3=fw.bin\n");
  t.WriteFile("C:\\TOVELINK\\bin\\fw.bin", "image");
  platform::DeviceFault refuse;
  refuse.kind = platform::DeviceFault::Kind::kSense;
  refuse.opcode = 0x2A;
  refuse.count = 1;
  refuse.senseKey = 0xB, refuse.asc = 0x2C;
  t.faults("fw").Add(refuse);
  EXPECT_EQ(ScanCoreTestPeer::DownloadFirmware(core, transport, 3, "Color   FlatbedScanner10"), 0);
  EXPECT_EQ(core.GetErrorCode(), 0xFFFF0050u);
}

TEST(SupportMarkerTest, BaseFolderMayBeAHostPath) {
  ScannerHost t("nt4");
  auto hostBase = t.host().files().Resolve("C:\\TOVELINK");
  ASSERT_TRUE(hostBase);
  CScanCore windowsBase(kBase);
  CScanCore hostPathBase(hostBase->string());
  EXPECT_EQ(ScanCoreTestPeer::CheckSupportOEM(windowsBase), 0);
  t.WriteFile("C:\\TOVELINK\\Support.oem", "");
  t.WriteFile("C:\\TOVELINK\\Support.sti", "");
  EXPECT_EQ(ScanCoreTestPeer::CheckSupportOEM(windowsBase), 1);
  EXPECT_EQ(ScanCoreTestPeer::CheckSupportOEM(hostPathBase), 1);
  EXPECT_EQ(ScanCoreTestPeer::CheckSupportSTISCSI(hostPathBase), 1);
}

}  // namespace
}  // namespace scancore
