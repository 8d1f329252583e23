// Initialize's first stage on emulated machines: transports in the right order, the silent
// rescan and the not-found messages, the choice among several scanners, firmware downloads and
// the OEM models.
#include <gtest/gtest.h>

#include "platform/ui/dialog_driver.h"
#include "platform/ui/ui.h"
#include "scancore/error_codes.h"
#include "scancore/scan_core.h"
#include "scancore_test_support.h"

namespace scancore {
namespace {

using testing::Device;
using testing::kBase;
using testing::OneAdapter;
using testing::ScannerHost;

constexpr int kSelectDialog = 100;
constexpr int kScannerList = 1000;

std::vector<std::string> Lines(ScannerHost& t) {
  std::vector<std::string> lines;
  t.ui().ExpectDialog(kSelectDialog, [&](platform::DialogDriver& d) {
    lines = d.Items(kScannerList);
    EXPECT_EQ(d.Selection(kScannerList), 0);
    d.Click(platform::IDOK);
  });
  return lines;
}

TEST(DiscoveryTest, Windows98TriesTheStillImageLayerFirst) {
  ScannerHost t("win98");
  std::vector<std::string> lines;
  t.ui().ExpectDialog(kSelectDialog, [&](platform::DialogDriver& d) {
    lines = d.Items(kScannerList);
    d.Select(kScannerList, 2);
    d.Click(platform::IDOK);
  });
  CScanCore core(kBase);
  CHWScannerInfo info;
  ASSERT_EQ(core.Initialize(info), 1);
  EXPECT_EQ(lines, (std::vector<std::string>{"Adapter ID: 0; Target ID: 0; Model: 310U",
                                             "Adapter ID: 0; Target ID: 2; Model: 610S/610ST",
                                             "Adapter ID: 1; Target ID: 0; Model: 310P"}));
  // The third line: the EPP adapter's scanner.
  EXPECT_EQ(core.GetBusType(), kBusEppParallel);
  EXPECT_EQ(info.GetModelName(), "310P");
  EXPECT_EQ(info.GetBaseAddress(), "378");
  EXPECT_EQ(info.GetHostAdapter(), "eppscsi");
  EXPECT_EQ(info.GetTargetID(), "0");
  EXPECT_EQ(info.GetFWVersion(), "1.05");
  EXPECT_EQ(info.GetFWDate(), "Mar. 02, 1998");
  EXPECT_EQ(core.GetCmdReadSize(), 0x400000u);
}

TEST(DiscoveryTest, SystemsWithoutTheStillImageLayerUseWnaspiOnly) {
  for (const char* version : {"nt4", "win95"}) {
    ScannerHost t(version);
    auto lines = Lines(t);
    CScanCore core(kBase);
    CHWScannerInfo info;
    ASSERT_EQ(core.Initialize(info), 1) << version;
    EXPECT_EQ(lines.size(), 2u) << version;
    EXPECT_EQ(info.GetModelName(), "610S/610ST") << version;
    EXPECT_EQ(t.host().modules().GetModuleHandle("stiaspi.dll"), 0u) << version;
    EXPECT_EQ(t.host().modules().GetModuleHandle("osr2aspi.dll"), 0u) << version;
  }
}

TEST(DiscoveryTest, SecondReleaseOf95AndWindows2000FindTheUsbScanner) {
  for (const char* version : {"win95-osr2", "win2000"}) {
    ScannerHost t(version);
    auto lines = Lines(t);
    CScanCore core(kBase);
    CHWScannerInfo info;
    ASSERT_EQ(core.Initialize(info), 1) << version;
    ASSERT_EQ(lines.size(), 3u) << version;
    EXPECT_EQ(lines[0], "Adapter ID: 0; Target ID: 0; Model: 310U") << version;
    EXPECT_EQ(core.GetBusType(), kBusStillImage) << version;
    EXPECT_EQ(info.GetADBits(), 12) << version;
  }
}

TEST(DiscoveryTest, OneScannerIsChosenWithoutADialog) {
  ScannerHost t("nt4", OneAdapter("target4=s\n", Device("s", "Color   FlatbedScanner_1")));
  CScanCore core(kBase);
  CHWScannerInfo info;
  ASSERT_EQ(core.Initialize(info), 1);
  EXPECT_EQ(info.GetModelName(), "300F");
  EXPECT_EQ(info.GetTargetID(), "4");
  EXPECT_TRUE(t.ui().History().empty());
}

TEST(DiscoveryTest, DialogClosedWithoutOkChoosesTheFirstLine) {
  ScannerHost t("nt4");
  t.ui().ExpectDialog(kSelectDialog, [](platform::DialogDriver& d) {
    d.Select(kScannerList, 1);
    d.Close();
  });
  CScanCore core(kBase);
  CHWScannerInfo info;
  ASSERT_EQ(core.Initialize(info), 1);
  EXPECT_EQ(info.GetModelName(), "610S/610ST");
}

TEST(DiscoveryTest, AtMostFiveScannersAreKept) {
  std::string targets, devices;
  for (int i = 0; i < 7; ++i) {
    targets += "target" + std::to_string(i) + "=s" + std::to_string(i) + "\n";
    devices += Device("s" + std::to_string(i), "Color   FlatbedScanner_9", 300 + i);
  }
  ScannerHost t("nt4", OneAdapter(targets, devices));
  auto lines = Lines(t);
  CScanCore core(kBase);
  CHWScannerInfo info;
  ASSERT_EQ(core.Initialize(info), 1);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[4], "Adapter ID: 0; Target ID: 4; Model: 324S");
}

TEST(DiscoveryTest, NotFoundRescansSilentlyThenAsksRetryOrCancel) {
  ScannerHost t("win98", "[machine]\nadapters=hba0\n[hba0]\nkind=scsi\n");
  t.ui().ExpectMessageBox("Tovelink", "2. Cable is firmly connected", platform::IDRETRY);
  t.ui().ExpectMessageBox("Tovelink", "or close your application", platform::IDRETRY);
  t.ui().ExpectMessageBox("Tovelink", "or close your application", platform::IDCANCEL);
  CScanCore core(kBase);
  CHWScannerInfo info;
  const uint64_t start = t.now();
  EXPECT_EQ(core.Initialize(info), 0);
  EXPECT_EQ(core.GetErrorCode(), 0xFFFF0061u);
  EXPECT_GE(t.now() - start, 9000u);  // three rescans, 3 s each
  auto shown = t.ui().History();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].text,
            "Scanner is not found!\nPlease check if\n1. Scanner power is on\n2. Cable is firmly "
            "connected");
  EXPECT_EQ(shown[1].text.find("   1. Scanner power is on"), 38u);
  EXPECT_EQ(shown[0].type, platform::MB_RETRYCANCEL | platform::MB_ICONEXCLAMATION);
  EXPECT_EQ(t.machine().Adapter("hba0")->rescanCount(), 3);
}

TEST(DiscoveryTest, MessagesPassThroughTheMessageFile) {
  ScannerHost t("nt4", "[machine]\nadapters=hba0\n[hba0]\nkind=scsi\n");
  t.WriteFile("C:\\WINDOWS\\Twain_32\\Tove3_00\\Tovelink.msg",
              "\"Scanner is not found!\\nPlease check if\\n1. Scanner power is on\\n2. Cable is "
              "firmly connected\" \"Kein Scanner!\\nBitte pruefen\"\n");
  t.ui().ExpectMessageBox("Kein Scanner!\nBitte pruefen", platform::IDCANCEL);
  CScanCore core(kBase);
  CHWScannerInfo info;
  EXPECT_EQ(core.Initialize(info), 0);
  EXPECT_EQ(core.GetErrorCode(), 0xFFFF0061u);
}

TEST(DiscoveryTest, LateScannerIsFoundAfterTheSilentRescanOnEverySystem) {
  for (const char* version : {"win95", "win98", "nt4", "win2000"}) {
    ScannerHost t(version, OneAdapter("target1=s,late\n", Device("s", "Color   FlatbedScanner_4")));
    CScanCore core(kBase);
    CHWScannerInfo info;
    ASSERT_EQ(core.Initialize(info), 1) << version;
    EXPECT_EQ(info.GetTargetID(), "1");
    EXPECT_TRUE(t.ui().History().empty()) << version;
  }
}

TEST(DiscoveryTest, SupportFailureLeadsToTheNotFoundFlow) {
  ScannerHost t("nt4");
  t.aspi().InjectSupportFailure(platform::AspiLayer::kWinAspi, 0xE8);
  t.ui().ExpectMessageBox("Scanner is not found!", platform::IDCANCEL);
  CScanCore core(kBase);
  CHWScannerInfo info;
  EXPECT_EQ(core.Initialize(info), 0);
  EXPECT_EQ(core.GetErrorCode(), 0xFFFF0061u);
}

const std::string kFirmwareScanner = OneAdapter(
    "target4=fw\n", Device("fw", "Color   FlatbedScanner10", 600, "firmware=3\n"));

TEST(FirmwareTest, WaitingScannerGetsItsImageAndComesBack) {
  ScannerHost t("nt4", kFirmwareScanner);
  t.WriteFile("C:\\TOVELINK\\bin\\Model.ini", "[EPP]\n3=wrong.bin\n[SCSI]\n3=fw10.bin\n");
  t.WriteFile("C:\\TOVELINK\\bin\\fw10.bin", std::string(1000, '\x5A'));
  CScanCore core(kBase);
  CHWScannerInfo info;
  ASSERT_EQ(core.Initialize(info), 1);
  EXPECT_EQ(info.GetModelName(), "620S");
  auto seen = t.scanner("fw").observed();
  EXPECT_EQ(seen.firmwareDownloads, 1);
  EXPECT_EQ(seen.firmwareBytes, 1000u);
}

TEST(FirmwareTest, ScannerWithoutItsImageIsSkipped) {
  for (const char* ini : {"", "[SCSI]\n4=other.bin\n", "[SCSI]\n3=missing.bin\n"}) {
    ScannerHost t("nt4", kFirmwareScanner);
    t.WriteFile("C:\\TOVELINK\\bin\\Model.ini", ini);
    t.ui().ExpectMessageBox("Scanner is not found!", platform::IDCANCEL);
    CScanCore core(kBase);
    CHWScannerInfo info;
    EXPECT_EQ(core.Initialize(info), 0) << ini;
    EXPECT_EQ(t.scanner("fw").observed().firmwareDownloads, 0) << ini;
  }
}

TEST(FirmwareTest, ScannerThatKeepsAskingIsSkippedAfterFiveSeconds) {
  ScannerHost t("nt4", OneAdapter("target4=fw\n", Device("fw", "Color   FlatbedScanner10", 600,
                                                           "firmware=3\nfirmwarerefused=1\n")));
  t.WriteFile("C:\\TOVELINK\\bin\\Model.ini", "[SCSI]\n3=fw10.bin\n");
  t.WriteFile("C:\\TOVELINK\\bin\\fw10.bin", "image");
  t.ui().ExpectMessageBox("Scanner is not found!", platform::IDCANCEL);
  CScanCore core(kBase);
  CHWScannerInfo info;
  EXPECT_EQ(core.Initialize(info), 0);
  EXPECT_GE(t.scanner("fw").observed().firmwareDownloads, 1);
}

TEST(FirmwareTest, DownloadReadsTheModelSectionAndNineteenCharacters) {
  ScannerHost t("nt4", kFirmwareScanner);
  CScanCore core(kBase);
  CInterface transport(TransportServices::Of(t.host()));
  ASSERT_EQ(transport.Open(), 1);
  transport.SetAddress(0, 4);
  // FlatbedScanner11 reads [EPP]; the name is cut to 19 characters.
  t.WriteFile("C:\\TOVELINK\\bin\\Model.ini", "[SCSI]\n3=no.bin\n[EPP]\n3=abcdefghijklmnopqrs.bin\n");
  EXPECT_EQ(ScanCoreTestPeer::DownloadFirmware(core, transport, 3, "Color   FlatbedScanner11"), 0);
  EXPECT_EQ(core.GetErrorCode(), 0xFFFF0060u);
  t.WriteFile("C:\\TOVELINK\\bin\\abcdefghijklmnopqrs", "data");
  EXPECT_EQ(ScanCoreTestPeer::DownloadFirmware(core, transport, 3, "Color   FlatbedScanner11"), 1);
  EXPECT_EQ(t.scanner("fw").observed().firmwareBytes, 4u);
  EXPECT_EQ(ScanCoreTestPeer::DownloadFirmware(core, transport, 9, "Color   FlatbedScanner11"), 0);
  EXPECT_EQ(core.GetErrorCode(), 0xFFFF0060u);
}

const std::string kOemMachine = OneAdapter(
    "target0=a\ntarget1=b\ntarget2=c\ntarget3=d\n",
    Device("a", "ZIRK    PELIXORA 1236 xy") + Device("b", "ZIRK    PelixoraAnything") +
        Device("c", "ZIRK    pelixora 310 abc") + Device("d", "Color   FlatbedScanner_2"));

TEST(OemTest, OemModelsNeedTheSupportMarker) {
  ScannerHost t("nt4", kOemMachine);
  CScanCore core(kBase);
  CInterface transport(TransportServices::Of(t.host()));
  ASSERT_EQ(transport.Open(), 1);
  DEVICEINFO table[kMaxDeviceInfo];
  unsigned char count = 0;
  EXPECT_EQ(ScanCoreTestPeer::FindScanner(core, &transport, table, count), 1);
  EXPECT_EQ(count, 0);
  t.WriteFile("C:\\TOVELINK\\Support.oem", "");
  ASSERT_EQ(ScanCoreTestPeer::FindScanner(core, &transport, table, count), 1);
  ASSERT_EQ(count, 2);
  EXPECT_EQ(table[0].ModelName, "ZIRK    PELIXORA 1236 xy");
  EXPECT_EQ(table[0].BusType, kBusAspiScsi);
  EXPECT_EQ(table[1].ModelName, "ZIRK    PelixoraAnything");
  EXPECT_EQ(table[1].TargetID, 1);
}

TEST(OemTest, SupportStiMovesScsiModelsToTheStillImageLayer) {
  ScannerHost t("win98", OneAdapter("target2=s\n", Device("s", "Color   FlatbedScanner_4")));
  t.WriteFile("C:\\TOVELINK\\Support.sti", "");
  auto lines = Lines(t);  // seen through both layers
  CScanCore core(kBase);
  CHWScannerInfo info;
  ASSERT_EQ(core.Initialize(info), 1);
  EXPECT_EQ(lines.size(), 2u);
  EXPECT_EQ(core.GetBusType(), kBusStillImage);
  EXPECT_EQ(info.GetHostAdapter(), "hba0 scsi");
}

TEST(BadInquiryTest, ShortOrNulInquiryDataIsSkipped) {
  for (auto kind : {platform::DeviceFault::Kind::kShortData, platform::DeviceFault::Kind::kNulData}) {
    ScannerHost t("nt4", OneAdapter("target2=s\n", Device("s", "Color   FlatbedScanner_4")));
    platform::DeviceFault f;
    f.kind = kind;
    f.opcode = 0x12;
    f.length = 20;
    t.faults("s").Add(f);
    CScanCore core(kBase);
    CInterface transport(TransportServices::Of(t.host()));
    ASSERT_EQ(transport.Open(), 1);
    DEVICEINFO table[kMaxDeviceInfo];
    unsigned char count = 0;
    EXPECT_EQ(ScanCoreTestPeer::FindScanner(core, &transport, table, count), 1);
    EXPECT_EQ(count, 0);
  }
}

}  // namespace
}  // namespace scancore
