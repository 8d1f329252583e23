#include "data_source_config.h"

#include "platform/faults/faults.h"
#include "script_fixture.h"

namespace dssetup {
namespace {

class DataSourceConfigTest : public testing::ScriptTest {
 protected:
  std::string Kvt(const std::string& section, const std::string& key) {
    return Ini(paths_.DataSourceIni(), section, key);
  }
  DataSourceConfig Config() { return DataSourceConfig(host_.host().profiles(), paths_); }
};

TEST_F(DataSourceConfigTest, OneToneTableWritesNoTlut) {
  ChosenTables t;
  t.lutNames = {"\\R.LUT"};
  t.gammaRDisplay = {"\\G1.GAM,Normal", "\\G2.GAM,Hell"};
  Config().WriteColorComfort(t);
  EXPECT_EQ(Kvt("COLORCOMFORT", "RLUT"), "C:\\WINDOWS\\twain_32\\R.LUT");
  EXPECT_EQ(Kvt("COLORCOMFORT", "TLUT"), "<none>");
  EXPECT_EQ(Kvt("COLORCOMFORT", "RGAMMA"), "2");
  EXPECT_EQ(Kvt("COLORCOMFORT", "TGAMMA"), "0");
  EXPECT_EQ(Kvt("COLORCOMFORT", "RGamma2"), "C:\\WINDOWS\\twain_32\\G2.GAM,Hell");
  t.lutNames.push_back("\\T.LUT");
  Config().WriteColorComfort(t);
  EXPECT_EQ(Kvt("COLORCOMFORT", "TLUT"), "C:\\WINDOWS\\twain_32\\T.LUT");
}

TEST_F(DataSourceConfigTest, ModelSectionsNumberTheirLines) {
  WriteScript(
      "[A]\nNumOfLuts=0\nNumOfGammaR=1\nGammaR1=\\G.GAM \\KV \\TWAIN 1\nLangR1=,Normal\n"
      "NumOfGammaT=0\n"
      "[B]\nNumOfLuts=2\nLut1=\\R.LUT \\KV \\TWAIN 1\nLut2=\\T.LUT \\KV \\TWAIN 1\n"
      "NumOfGammaR=0\nNumOfGammaT=1\nGammaT1=\\F.GAM \\KV \\TWAIN 1\nLangT1=,Film\n");
  SetupScript script = Script();
  ASSERT_TRUE(script.CopyToWorkingCopy());
  Config().WriteModels(script, {"A", "B"});
  EXPECT_EQ(Kvt("A", "1"), "RLUT=");
  EXPECT_EQ(Kvt("A", "2"), "RGAMMA=1");
  EXPECT_EQ(Kvt("A", "3"), "RGAMMA1=C:\\WINDOWS\\twain_32\\G.GAM,Normal");
  EXPECT_EQ(Kvt("A", "4"), "TGAMMA=0");
  EXPECT_EQ(Kvt("A", "NumOfLines"), "4");
  EXPECT_EQ(Kvt("B", "1"), "RLUT=C:\\WINDOWS\\twain_32\\R.LUT");
  EXPECT_EQ(Kvt("B", "2"), "TLUT=C:\\WINDOWS\\twain_32\\T.LUT");
  EXPECT_EQ(Kvt("B", "5"), "TGAMMA1=C:\\WINDOWS\\twain_32\\F.GAM,Film");
  EXPECT_EQ(Kvt("B", "NumOfLines"), "5");
  EXPECT_EQ(Kvt("SCANNERMODELLS", "1"), "A");
  EXPECT_EQ(Kvt("SCANNERMODELLS", "2"), "B");
  EXPECT_EQ(Kvt("SCANNERMODELLS", "NumOfModells"), "2");
  EXPECT_EQ(Kvt("SCANNERMODELLS", "SelectedScanner"), "2");
}

TEST_F(DataSourceConfigTest, ModelWithMissingCountEndsTheModels) {
  WriteScript("[A]\nNumOfLuts=0\nNumOfGammaR=0\nNumOfGammaT=0\n"
              "[B]\nNumOfLuts=0\nNumOfGammaR=0\n"
              "[C]\nNumOfLuts=0\nNumOfGammaR=0\nNumOfGammaT=0\n");
  SetupScript script = Script();
  ASSERT_TRUE(script.CopyToWorkingCopy());
  Config().WriteModels(script, {"A", "B", "C"});
  EXPECT_EQ(Kvt("SCANNERMODELLS", "NumOfModells"), "1");
  EXPECT_EQ(Kvt("SCANNERMODELLS", "2"), "<none>");
  EXPECT_EQ(Kvt("C", "1"), "<none>");
}

TEST_F(DataSourceConfigTest, AppletIsRegisteredOnceOverTwoRuns) {
  host_.WriteFile("C:\\WINDOWS\\CONTROL.INI", "[MMCPL]\nNumApps=3\n");
  Config().RegisterControlPanelApplet();
  Config().RegisterControlPanelApplet();
  EXPECT_EQ(Ini(paths_.ControlIni(), "MMCPL", "NumApps"), "4");
  EXPECT_EQ(Ini(paths_.ControlIni(), "MMCPL", "KVG_TWAIN32"), "C:\\WINDOWS\\Kvctrl32.cpl");
  const std::string text = *host_.host().files().ReadFile("C:\\WINDOWS\\CONTROL.INI");
  EXPECT_EQ(text.find("KVG_TWAIN32"), text.rfind("KVG_TWAIN32"));
}

// A registration that fails at any file operation leaves the count as it was, so the next setup
// counts the applet once (it used to raise the count, fail to write the entry, and raise it again).
TEST_F(DataSourceConfigTest, AFailedRegistrationIsCountedOnceByTheNextRun) {
  platform::Faults& faults = host_.host().faults();
  for (int n = 1; n < 100; ++n) {
    host_.WriteFile("C:\\WINDOWS\\CONTROL.INI", "[MMCPL]\nNumApps=3\n");
    faults.FailNth("files", n);
    const uint64_t failedBefore = faults.Failures("files");
    Config().RegisterControlPanelApplet();
    const bool fired = faults.Failures("files") > failedBefore;
    faults.ClearAll();
    Config().RegisterControlPanelApplet();
    EXPECT_EQ(Ini(paths_.ControlIni(), "MMCPL", "NumApps"), "4") << n;
    if (!fired) return;
  }
  FAIL() << "the registration never got through";
}

TEST_F(DataSourceConfigTest, LanguageCodesOnlyForTheFirstThree) {
  Config().WriteLanguage(3);
  EXPECT_EQ(Kvt("Options", "Language"), "<none>");
  Config().WriteLanguage(2);
  EXPECT_EQ(Kvt("Options", "Language"), "FRA");
  Config().WriteLanguage(0);
  EXPECT_EQ(Kvt("Options", "Language"), "DEU");
}

TEST_F(DataSourceConfigTest, PortRecordIsCompleteOnlyWithAllSixKeys) {
  host_.WriteFile(paths_.DataSourceIni(),
                  "[ScanOptions]\nScanDeviceType=1\nScanParallelType=11\nLPTID=1\n"
                  "ScanSCSIType=7\nSCSIID=-1\n");
  bool complete = true;
  Config().ReadPortSettings(&complete);
  EXPECT_FALSE(complete);
  host_.host().profiles().WriteString("ScanOptions", "SCSIHAID", "0", paths_.DataSourceIni());
  PortSettings s = Config().ReadPortSettings(&complete);
  EXPECT_TRUE(complete);
  EXPECT_EQ(s.scanScsiType, 7);
  EXPECT_EQ(s.scsiId, -1);
  s.scanDeviceType = 0;
  s.scsiId = 6;
  Config().WritePortSettings(s);
  EXPECT_EQ(Kvt("ScanOptions", "ScanDeviceType"), "0");
  EXPECT_EQ(Kvt("ScanOptions", "SCSIID"), "6");
  EXPECT_EQ(Kvt("ScanOptions", "ScanSCSIType"), "7");
}

}  // namespace
}  // namespace dssetup
