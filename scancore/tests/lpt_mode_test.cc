// The parallel port mode of the EPP adapter: the probe, the fixed mode, the names and ranks and
// the once-only warning when the mode gets slower.
#include <gtest/gtest.h>

#include "lpt_mode.h"
#include "platform/registry/registry.h"
#include "recording_transport.h"
#include "scan_session.h"

namespace scancore {
namespace {

using testing::OpenOnBus;
using testing::Request;
using testing::ScannerHost;

std::string EppMachine(const std::string& modes) {
  return "[machine]\nadapters=epp0\n[epp0]\nkind=epp\nidentifier=eppscsi\nbase=0x378\nmodes=" +
         modes + "\ntarget0=p\n[p]\nmodel=Color   FlatbedScanner_3\noptical=300\nadbits=8\n";
}

struct EppSession {
  explicit EppSession(const std::string& modes = "0x3F") : t("win98", EppMachine(modes)) {
    EXPECT_TRUE(OpenOnBus(core, kBusEppParallel, info));
  }
  void SetDword(const char* name, uint32_t value) {
    platform::RegKey key = 0;
    auto& registry = t.host().registry();
    ASSERT_EQ(registry.OpenKey(platform::kHkeyLocalMachine, "System\\CurrentControlSet\\Services\\EPPSCSIx", &key), 0);
    registry.SetDword(key, name, value);
    registry.CloseKey(key);
  }
  uint32_t GetDword(const char* name) {
    platform::RegKey key = 0;
    auto& registry = t.host().registry();
    uint32_t value = 0xDEAD;
    if (registry.OpenKey(platform::kHkeyLocalMachine, "System\\CurrentControlSet\\Services\\EPPSCSIx", &key) == 0) {
      registry.GetDword(key, name, &value);
      registry.CloseKey(key);
    }
    return value;
  }
  CEppInterface& epp() { return *const_cast<CEppInterface*>(dynamic_cast<const CEppInterface*>(core.GetTransport())); }
  ScannerHost t;
  CScanCore core{testing::kBase};
  CHWScannerInfo info;
};

TEST(LptModeTableTest, FlagsNamesRanksAndCodes) {
  struct Row { uint8_t flag; const char* name; uint8_t rank, code; };
  for (Row r : {Row{0x01, "BPP", 2, 0x12}, Row{0x02, "EPP", 3, 0x21}, Row{0x04, "SPP", 1, 0x32},
                Row{0x08, "ECP", 6, 0x41}, Row{0x10, "EPP", 4, 0x22}, Row{0x20, "EPP", 5, 0x23}}) {
    auto mode = LookUpLptMode(r.flag);
    ASSERT_TRUE(mode) << int(r.flag);
    EXPECT_EQ(mode->name, r.name);
    EXPECT_EQ(mode->rank, r.rank);
    EXPECT_EQ(LptSelectCode(r.flag), r.code);
  }
  EXPECT_FALSE(LookUpLptMode(0x40));
  EXPECT_FALSE(LookUpLptMode(0));
  EXPECT_EQ(LptSelectCode(0x40), 0x12);
  EXPECT_EQ(LptSelectCode(0x80), 0x32);
  EXPECT_EQ(LptFlagFromRegistry(1, 9), 0x01);
  EXPECT_EQ(LptFlagFromRegistry(2, 1), 0x02);
  EXPECT_EQ(LptFlagFromRegistry(2, 7), 0x02);
  EXPECT_EQ(LptFlagFromRegistry(2, 2), 0x10);
  EXPECT_EQ(LptFlagFromRegistry(2, 3), 0x20);
  EXPECT_EQ(LptFlagFromRegistry(3, 0), 0x04);
  EXPECT_EQ(LptFlagFromRegistry(4, 0), 0x08);
  EXPECT_EQ(LptFlagFromRegistry(9, 0), 0x04);
}

TEST(LptProbeTest, FastestPassingModeIsSelectedAndRecorded) {
  EppSession s("0x3F");
  EXPECT_EQ(s.epp().ProbeLptMode(), 0x24);
  EXPECT_EQ(s.GetDword("AvailableMode"), 0x24u);
  EXPECT_EQ(s.t.scanner("p").observed().portModeCode, 0x23);
  // ECP only: 20h and 10h fail the loopback, 08h passes; ECP is chosen over the EPP modes.
  EppSession e("0x08");
  EXPECT_EQ(e.epp().ProbeLptMode(), 0x0C);
  EXPECT_EQ(e.t.scanner("p").observed().portModeCode, 0x41);
}

TEST(LptProbeTest, NothingPassesLeavesTheStandardPort) {
  EppSession s("0x04");
  EXPECT_EQ(s.epp().ProbeLptMode(), 0x04);
  EXPECT_EQ(s.GetDword("AvailableMode"), 4u);
  EXPECT_EQ(s.t.scanner("p").observed().portModeCode, 0x32);
  EXPECT_EQ(s.t.scanner("p").observed().finishCount, 1);
}

TEST(LptProbeTest, ManualModeIsTakenWithoutALoopback) {
  EppSession s;
  s.SetDword("ManualModeOn", 1);
  s.SetDword("LptMode", 3);
  auto spy = testing::Record<CEppInterface>(s.t.host(), s.core);
  EXPECT_EQ(spy->ProbeLptMode(), 0x04);
  EXPECT_EQ(s.t.scanner("p").observed().finishCount, 1);
  EXPECT_TRUE(spy->Of(0x2A, 0x83).empty());
  EXPECT_TRUE(spy->Of(0x2A, 0x85).empty());
  EXPECT_EQ(s.GetDword("AvailableMode"), 0xDEADu);  // not written
}

TEST(LptWarningTest, SlowerModeWarnsOnceAndOnlyOnce) {
  EppSession s;
  EXPECT_EQ(s.core.GetLptXferMode(0), "EPP");  // LptMode 2, DataMode 3: rank 5, no warning
  EXPECT_EQ(ScanCoreTestPeer::LastLptRank(s.core), 5);
  s.SetDword("LptMode", 3);
  s.t.ui().ExpectMessageBox("Tovelink", "You may have problem with parallel device(s) connected",
                            platform::IDOK);
  EXPECT_EQ(s.core.GetLptXferMode(0), "SPP");
  ASSERT_FALSE(s.t.ui().History().empty());
  EXPECT_EQ(s.t.ui().History().back().type, platform::MB_OK | platform::MB_ICONEXCLAMATION);
  s.SetDword("LptMode", 2);
  EXPECT_EQ(s.core.GetLptXferMode(0), "EPP");
  s.SetDword("LptMode", 3);
  EXPECT_EQ(s.core.GetLptXferMode(0), "SPP");  // no second box (the scripted UI would fail)
  s.SetDword("LptMode", 7);
  s.SetDword("DataMode", 0);
  // Missing values: no name and no rank check.
  platform::RegKey key = 0;
  s.t.host().registry().OpenKey(platform::kHkeyLocalMachine, "System\\CurrentControlSet\\Services\\EPPSCSIx", &key);
  s.t.host().registry().DeleteValue(key, "DataMode");
  s.t.host().registry().CloseKey(key);
  EXPECT_EQ(s.core.GetLptXferMode(0), "");
  EXPECT_EQ(ScanCoreTestPeer::LastLptRank(s.core), 1);
}

// Every scan on the parallel bus probes the port while the warning may still come.
TEST(LptWarningTest, ScansProbeUntilWarned) {
  EppSession s;
  auto spy = testing::Record<CEppInterface>(s.t.host(), s.core);
  myIMAGEINFO image;
  ASSERT_EQ(s.core.SetScanParam(Request(kModeGray, 100, 300, 0, 0, 1, 1), image, 0), 1);
  EXPECT_FALSE(spy->Of(0x2A, 0x85).empty());
  EXPECT_EQ(s.core.AbortScan(), 1);
}

TEST(LptWarningTest, OtherBusesHaveNoPortMode) {
  ScannerHost t;
  CScanCore core(testing::kBase);
  CHWScannerInfo info;
  ASSERT_TRUE(OpenOnBus(core, kBusAspiScsi, info));
  EXPECT_EQ(core.GetLptXferMode(1), "");
}

}  // namespace
}  // namespace scancore
