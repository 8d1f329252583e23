// The setup under failing file operations: each file operation of a whole unattended install
// fails in turn, N = 1, 2, ... until the install gets through. Whatever fails, every installed
// file holds its old bytes or its new ones whole, the administrator's own SETUP.INI and the
// other lines of CONTROL.INI survive, and the next install puts everything right.
#include <map>

#include "flow_fixture.h"
#include "platform/faults/faults.h"

namespace dssetup {
namespace {

using platform::IDOK;

std::string StandIn(const std::string& name, const std::string& folder) {
  for (const auto& f : medium::StandInFiles()) {
    if (f.name == name && f.folder == folder) return f.content;
  }
  return "<no stand-in>";
}

// Installed path -> the stand-in it is expanded from.
std::map<std::string, std::string> Installed() {
  return {{"C:\\WINDOWS\\twain_32\\KVTWAIN.DS", StandIn("KVTWAIN.DS", "KVTWAIN")},
          {"C:\\WINDOWS\\KVCTRL32.CPL", StandIn("KVCTRL32.CPL", "KVTWAIN")},
          {"C:\\WINDOWS\\KVSCAN32.DLL", StandIn("KVSCAN32.DLL", "KVTWAIN")},
          {"C:\\WINDOWS\\twain_32\\README.TXT", StandIn("README.TXT", "KVTWAIN\\ENGLISH")},
          {"C:\\WINDOWS\\twain_32\\S6000T.LUT", StandIn("S6000T.LUT", "TABLES")}};
}

constexpr const char* kOwnScript = "[progman.groups]\r\n; the administrator's own\r\n";
constexpr const char* kControlIni = "[MMCPL]\r\nother=C:\\OTHER.CPL\r\n[drivers.desc]\r\nx=y\r\n";

// One install on a machine that had an older installation, the administrator's SETUP.INI in
// the Windows folder and a CONTROL.INI of its own.
class FaultRun : public testing::FlowTest {
 public:
  using testing::FlowTest::host_;
  using testing::FlowTest::ui;
  void TestBody() override {}

  void Provision() {
    Prepare();
    for (const auto& [path, content] : Installed()) host_.WriteFile(path, "old " + path);
    host_.WriteFile("C:\\WINDOWS\\SETUP.INI", kOwnScript);
    host_.WriteFile("C:\\WINDOWS\\CONTROL.INI", kControlIni);
  }

  // An English install of the first model, the scanner found on SCSI. `quiet`: boxes and
  // dialogs that only a failure brings get the scripted backend's safe answer without
  // failing the test.
  int Install(bool quiet) {
    if (quiet) ui().SetFailureHandler([](const std::string&) {});
    ExpectChoices(1, {0});
    ui().ExpectMessageBox("KV-TWAIN Setup", "insert disk 2 in drive A:", IDOK);
    ui().ExpectDialog("PORT_SETUP", IDOK);
    ui().ExpectDialog("PORT_INFO_SCSI", IDOK);
    ui().ExpectDialog("FinalDlg", IDOK);
    return RunSetup();
  }

  void ExpectNothingDamaged(uint64_t n) {
    for (const auto& [path, content] : Installed()) {
      const std::string now = Read(path);
      EXPECT_TRUE(now == "old " + path || now == content) << "failing file operation " << n << ": " << path;
    }
    // The administrator's script is in its place, or kept aside for the next run to put back.
    const bool inPlace = Read("C:\\WINDOWS\\SETUP.INI") == kOwnScript;
    const bool aside = Read("C:\\WINDOWS\\SETUP.INI.~ds") == kOwnScript;
    EXPECT_TRUE(inPlace || aside) << "failing file operation " << n;
    EXPECT_EQ(Ini("C:\\WINDOWS\\CONTROL.INI", "MMCPL", "other"), "C:\\OTHER.CPL") << n;
    EXPECT_EQ(Ini("C:\\WINDOWS\\CONTROL.INI", "drivers.desc", "x"), "y") << n;
  }

  void ExpectInstalled() {
    for (const auto& [path, content] : Installed()) EXPECT_EQ(Read(path), content) << path;
    EXPECT_EQ(Read("C:\\WINDOWS\\SETUP.INI"), kOwnScript);
    EXPECT_FALSE(host_.host().files().Exists("C:\\WINDOWS\\SETUP.INI.~ds"));
    EXPECT_EQ(Ini("C:\\WINDOWS\\CONTROL.INI", "MMCPL", "KVG_TWAIN32"), "C:\\WINDOWS\\Kvctrl32.cpl");
  }
};

TEST(SetupUnderFaults, EveryFileIsOldOrNewAndTheNextInstallPutsAllRight) {
  uint64_t n = 1;
  for (;; ++n) {
    ASSERT_LT(n, 2000u) << "the install never got through";
    FaultRun run;
    run.Provision();
    platform::Faults& faults = run.host_.host().faults();
    faults.FailNth("files", n);
    const int result = run.Install(true);
    const uint64_t fired = faults.Failures("files");
    faults.ClearAll();
    run.ExpectNothingDamaged(n);
    if (fired == 0) {
      EXPECT_EQ(result, 0);
      run.ExpectInstalled();
      break;
    }
    // A second install on the same machine, nothing failing, finishes the job.
    run.ui().Reset();
    ASSERT_EQ(run.Install(true), 0) << "after failing file operation " << n;
    run.ExpectInstalled();
    if (::testing::Test::HasFailure()) break;  // one failing N tells enough
  }
  EXPECT_GT(n, 10u);  // the install made file operations that were failed on the way
}

TEST(SetupUnderFaults, AScriptKeptAsideByAnInterruptedRunIsPutBack) {
  FaultRun run;
  run.Provision();
  // An earlier run was stopped with its working copy in place and the administrator's script
  // kept aside.
  run.host_.WriteFile("C:\\WINDOWS\\SETUP.INI.~ds", kOwnScript);
  run.host_.WriteFile("C:\\WINDOWS\\SETUP.INI", "[Language]\r\nNumOfLang=1\r\n");
  ASSERT_EQ(run.Install(false), 0);
  EXPECT_TRUE(run.ui().Unmet().empty()) << run.ui().Unmet().front();
  run.ExpectInstalled();
}

}  // namespace
}  // namespace dssetup
