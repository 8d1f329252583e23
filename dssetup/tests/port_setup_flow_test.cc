// The port-setup step end to end: the scanner on a parallel port of each kind, absent, and the
// closing dialogs that follow from it.
#include "flow_fixture.h"
#include "platform/shell/shell.h"
#include "platform/faults/faults.h"

namespace dssetup {
namespace {

using platform::DialogDriver;
using platform::IDOK;

const char* kStandardPort =
    "[machine]\nadapters=\n[ports]\nbios=0x378\nidentity=0x378,standard\nwnaspi32=4.0.0.970\n"
    "[identity]\ntype=identity\n";
const char* kHighSpeedPort =
    "[machine]\nadapters=hba0\n[hba0]\nkind=scsi\nidentifier=hba0 scsi\n"
    "[ports]\nbios=0x378\nenumerated=LPT1:,COM1:\nidentity=0x278,highspeed\n"
    "wnaspi32=4.0.0.970\n[identity]\ntype=identity\n";
const char* kNothing =
    "[machine]\nadapters=hba0\n[hba0]\nkind=scsi\nidentifier=hba0 scsi\n"
    "[ports]\nbios=0x378\nwnaspi32=4.0.0.970\n";

class StandardPortFlowTest : public testing::FlowTest {
 protected:
  StandardPortFlowTest() : FlowTest(kStandardPort) {}
};

TEST_F(StandardPortFlowTest, ScannerOnTheParallelPortEndsWithoutClosingDialog) {
  Prepare(0);  // the machine's own wnaspi32.dll (4.0.0.970) stays
  ExpectChoices(1);
  ui().ExpectMessageBox("KV-TWAIN Setup", "disk 2", IDOK);
  ui().ExpectDialog("PORT_SETUP", IDOK);
  ui().ExpectDialog("PORT_INFO_LPT", [](DialogDriver& d) {
    EXPECT_EQ(d.Text(1006), "Orvex Parallel");
    EXPECT_EQ(d.Text(1007), "1");
    d.Click(IDOK);
  });
  ASSERT_EQ(RunSetup(), 0);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  EXPECT_EQ(Kvt("ScanOptions", "ScanDeviceType"), "1");
  EXPECT_EQ(Kvt("ScanOptions", "ScanParallelType"), "11");
  EXPECT_EQ(Kvt("ScanOptions", "LPTID"), "1");
  // No SCSI adapter: the search dialog never came.
  for (const auto& shown : ui().History()) EXPECT_NE(shown.key, "SEARCH_SCAN_PORT");
  EXPECT_FALSE(host_.host().system().RestartRequested());
}

class HighSpeedPortFlowTest : public testing::FlowTest {
 protected:
  HighSpeedPortFlowTest() : FlowTest(kHighSpeedPort) {}
};

TEST_F(HighSpeedPortFlowTest, HighSpeedInterfaceOnTheSecondPortIsFoundFirst) {
  Prepare(0);
  ExpectChoices(1);
  ui().ExpectMessageBox("KV-TWAIN Setup", "disk 2", IDOK);
  ui().ExpectDialog("PORT_SETUP", IDOK);
  ui().ExpectModeless("SEARCH_SCAN_PORT");
  ui().ExpectDialog("PORT_INFO_LPT", [](DialogDriver& d) {
    EXPECT_EQ(d.Text(1006), "Orvex High Speed Parallel");
    EXPECT_EQ(d.Text(1007), "2");
    d.Click(2);  // the identity
    d.Click(IDOK);
  });
  ui().ExpectDialog("SCANGETIDENTITY", [](DialogDriver& d) {
    EXPECT_EQ(d.Text(1011), "21.59 cm");  // 5100 dots at 600 dpi
    EXPECT_EQ(d.Items(1000).size(), 6u);
    d.Click(IDOK);
  });
  ASSERT_EQ(RunSetup(), 0);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  EXPECT_EQ(Kvt("ScanOptions", "ScanParallelType"), "15");
  EXPECT_EQ(Kvt("ScanOptions", "LPTID"), "2");
}

class NoScannerFlowTest : public testing::FlowTest {
 protected:
  NoScannerFlowTest() : FlowTest(kNothing) {}
};

TEST_F(NoScannerFlowTest, FailedSearchOffersTheManualPages) {
  Prepare(0);
  ExpectChoices(1);
  ui().ExpectMessageBox("KV-TWAIN Setup", "disk 2", IDOK);
  ui().ExpectDialog("PORT_SETUP", IDOK);
  ui().ExpectDialog("NO_SCANNER_PORT", 1);
  ui().ExpectDialog("Setup KV-TWAIN 32", [](DialogDriver& d) {
    EXPECT_EQ(d.PageCount(), 2);
    d.ShowPage(1);  // SCSI: the record becomes a SCSI one
    EXPECT_EQ(d.Text(1010), "2");
    d.Click(IDOK);
  });
  ui().ExpectDialog("FinalDlg", IDOK);
  ASSERT_EQ(RunSetup(), 0);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  EXPECT_EQ(Kvt("ScanOptions", "ScanDeviceType"), "0");
}

class NtFlowTest : public testing::FlowTest {
 protected:
  NtFlowTest() : FlowTest(kStandardPort, "nt4") {}
};

TEST_F(NtFlowTest, OnNtTheParallelPortsAreNotSearchedAndTwunkIsRemoved) {
  Prepare(0);
  host_.WriteFile("C:\\WINDOWS\\TWUNK_16.EXE", "MZ");
  host_.WriteFile("C:\\WINDOWS\\TWUNK_32.EXE", "MZ");
  ExpectChoices(1);
  ui().ExpectMessageBox("KV-TWAIN Setup", "disk 2", IDOK);
  ui().ExpectDialog("PORT_SETUP", IDOK);
  ui().ExpectDialog("NO_SCANNER_PORT", 2);
  ui().ExpectDialog("FinalDlg", IDOK);
  ASSERT_EQ(RunSetup(), 0);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  EXPECT_FALSE(host_.host().files().Exists("C:\\WINDOWS\\TWUNK_16.EXE"));
  EXPECT_FALSE(host_.host().files().Exists("C:\\WINDOWS\\TWUNK_32.EXE"));
  EXPECT_EQ(Kvt("ScanOptions", "ScanDeviceType"), "0");
}

}  // namespace
}  // namespace dssetup

namespace dssetup {
namespace {

TEST_F(HighSpeedPortFlowTest, ManualParallelPageProbesThePortItIsMovedTo) {
  Prepare(0);
  ExpectChoices(1);
  ui().ExpectMessageBox("KV-TWAIN Setup", "disk 2", IDOK);
  ui().ExpectDialog("PORT_SETUP", [](DialogDriver& d) {
    d.Check(2003, true);  // by hand
    d.Click(IDOK);
  });
  ui().ExpectDialog("Setup KV-TWAIN 32", [](DialogDriver& d) {
    EXPECT_EQ(d.PageCount(), 2);
    EXPECT_EQ(d.Text(1022), "1");
    d.SetPosition(1017, 2);  // LPT2: the high-speed interface answers there
    EXPECT_EQ(d.Text(1022), "2");
    d.Click(IDOK);
  });
  ASSERT_EQ(RunSetup(), 0);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  EXPECT_EQ(Kvt("ScanOptions", "ScanDeviceType"), "1");
  EXPECT_EQ(Kvt("ScanOptions", "LPTID"), "2");
  EXPECT_EQ(Kvt("ScanOptions", "ScanParallelType"), "15");
  bool beeped = false;
  for (const auto& shown : ui().History()) {
    beeped |= shown.kind == platform::ScriptedUi::Shown::Kind::kBeep;
  }
  EXPECT_TRUE(beeped);
}

}  // namespace
}  // namespace dssetup

namespace dssetup {
namespace {

using testing::FlowTest;

// The program manager's failures are reported one by one and the setup goes on.
TEST_F(FlowTest, ProgramManagerThatDoesNotAnswerIsReportedForEachCommand) {
  Prepare();
  host_.host().faults().FailEvery(platform::fault_point::kShellDdeConnect);
  ExpectChoices(1);
  ui().ExpectMessageBox("KV-TWAIN Setup", "disk 2", IDOK);
  ui().ExpectDialog("PORT_SETUP", IDOK);
  ui().ExpectDialog("PORT_INFO_SCSI", IDOK);
  ui().ExpectMessageBox("Error", "SendShellCommand(Orvex Scanner) failed!", IDOK);
  ui().ExpectMessageBox("Error", "SendShellCommand(AddItem failed!)", IDOK);
  ui().ExpectMessageBox("Error", "SendShellCommand(ShowGroup failed!)", IDOK);
  ui().ExpectDialog("FinalDlg", IDOK);
  ASSERT_EQ(RunSetup(), 0);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  std::vector<std::string> errors;
  for (const auto& shown : ui().History()) {
    if (shown.key == "Error") errors.push_back(shown.text);
  }
  EXPECT_EQ(errors, (std::vector<std::string>{"SendShellCommand(Orvex Scanner) failed!",
                                              "SendShellCommand(AddItem failed!)",
                                              "SendShellCommand(ShowGroup failed!)"}));
  EXPECT_TRUE(platform::Shell::Of(host_.host()).programManager().groups().empty());
  EXPECT_FALSE(std::filesystem::exists(host_.root() / "menu" / "applications"));
  // The steps after the group still ran.
  EXPECT_EQ(Ini("C:\\WINDOWS\\CONTROL.INI", "MMCPL", "KVG_TWAIN32"), "C:\\WINDOWS\\Kvctrl32.cpl");
  EXPECT_EQ(Kvt("Options", "Language"), "ENG");
}

TEST_F(FlowTest, AddItemThatTimesOutIsReportedAndTheGroupIsStillShown) {
  Prepare();
  host_.host().faults().FailNth(platform::fault_point::kShellDde, 2);
  ExpectChoices(1);
  ui().ExpectMessageBox("KV-TWAIN Setup", "disk 2", IDOK);
  ui().ExpectDialog("PORT_SETUP", IDOK);
  ui().ExpectDialog("PORT_INFO_SCSI", IDOK);
  ui().ExpectMessageBox("Error", "SendShellCommand(AddItem failed!)", IDOK);
  ui().ExpectDialog("FinalDlg", IDOK);
  const uint64_t start = host_.clock().NowMs();
  ASSERT_EQ(RunSetup(), 0);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  // 14 targets searched, 300 ms before each, and the transaction's 1000 ms time-out.
  EXPECT_EQ(host_.clock().NowMs() - start, 14 * 300u + 1000u);
  const auto& groups = platform::Shell::Of(host_.host()).programManager().groups();
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups.begin()->second.name, "Orvex Scanner");
  EXPECT_TRUE(groups.begin()->second.items.empty());
  EXPECT_EQ(host_.host().faults().Checks(platform::fault_point::kShellDde), 3u);
}

// The scanner answers the search but its identity reply never comes, and the abort of that read
// stays pending: the read is given up on, the found port stands, the setup finishes.
TEST_F(FlowTest, IdentityReadWhoseAbortStaysPendingIsGivenUp) {
  Prepare();
  platform::DeviceFault never;
  never.kind = platform::DeviceFault::Kind::kNeverComplete;
  never.opcode = 0x08;  // READ: the identity reply
  host_.host().faults().Device("hba1", 6).Add(never);
  host_.host().faults().FailEvery(platform::fault_point::kAspiAbort);
  ExpectChoices(1);
  ui().ExpectMessageBox("KV-TWAIN Setup", "disk 2", IDOK);
  ui().ExpectDialog("PORT_SETUP", IDOK);
  ui().ExpectDialog("FinalDlg", IDOK);  // no PORT_INFO_SCSI: the identity is unknown
  const uint64_t start = host_.clock().NowMs();
  ASSERT_EQ(RunSetup(), 0);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  EXPECT_EQ(host_.clock().NowMs() - start, 14 * 300u + 2 * 20000u);
  EXPECT_EQ(Kvt("ScanOptions", "ScanDeviceType"), "0");
  EXPECT_EQ(Kvt("ScanOptions", "SCSIID"), "6");
  EXPECT_EQ(Kvt("ScanOptions", "SCSIHAID"), "1");
}

}  // namespace
}  // namespace dssetup

namespace dssetup {
namespace {

class NtScsiFlowTest : public testing::FlowTest {
 protected:
  NtScsiFlowTest() : FlowTest(testing::kScsiScannerMachine, "nt4") {}
};

// On NT the port is set up only with a layer there, old or new; the installer runs either way.
TEST_F(NtScsiFlowTest, OldLayerIsSearchedBeforeItIsReplaced) {
  Prepare(0x00040000, 969);
  ExpectChoices(1);
  ui().ExpectMessageBox("KV-TWAIN Setup", "disk 2", IDOK);
  ui().ExpectDialog("PORT_SETUP", IDOK);
  ui().ExpectDialog("PORT_INFO_SCSI", IDOK);
  ui().ExpectDialog("RebootDlg", 2);
  ASSERT_EQ(RunSetup(), 0);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  EXPECT_EQ(Kvt("ScanOptions", "SCSIHAID"), "1");
  EXPECT_EQ(platform::Shell::Of(host_.host()).Starts().size(), 1u);
}

TEST_F(NtScsiFlowTest, WithoutTheLayerThePortIsLeftAndTheInstallerRuns) {
  Prepare(0);
  ExpectChoices(1);
  ui().ExpectMessageBox("KV-TWAIN Setup", "disk 2", IDOK);
  ui().ExpectDialog("RebootDlg", 2);
  ASSERT_EQ(RunSetup(), 0);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  EXPECT_EQ(Kvt("ScanOptions", "SCSIID"), "2");  // the installed file's record, untouched
  EXPECT_EQ(platform::Shell::Of(host_.host()).Starts().size(), 1u);
}

}  // namespace
}  // namespace dssetup
