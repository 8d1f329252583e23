// The port-card utilities as an administrator runs them: `scanhost insert portcard`, portinst,
// then portuninst, on a fresh root of each Windows version, unattended through response files;
// and each once on the console of a pseudo-terminal. portuninst must leave the registry as it
// was before portinst ran (every value portinst wrote removed), and the scanner application's
// list in place.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "platform/profile/profile.h"
#include "platform/registry/registry.h"
#include "program_runner.h"

namespace {

namespace fs = std::filesystem;
using platform::kHkeyLocalMachine;
using platform::testing::FreshRoot;
using platform::testing::ReadHostFile;
using platform::testing::RootView;

constexpr const char* kRovozur = "SYSTEM\\CurrentControlSet\\Services\\Rovozur\\Parameters";
constexpr const char* kScanDev = "SYSTEM\\CurrentControlSet\\Services\\ScanDev\\Parameters";
constexpr const char* kVxd = "System\\CurrentControlSet\\Services\\VxD\\ROVOZUR";
constexpr const char* kChoose378 = "dialog 101: select 1001 1; click 1\nbox \"Reboot computer now\": No\n";
constexpr const char* kRemoveAndRestart =
    "box \"remove the Kelport card\": Yes\nbox \"Reboot computer now\": Yes\n";

std::string RegistryExport(const FreshRoot& root, const char* name) {
  const fs::path file = root.path() / name;
  const FreshRoot::Result run = root.Run("scanreg export '" + file.string() + "'");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  return ReadHostFile(file);
}

std::map<std::string, std::string> Section(RootView& view, const char* section, const char* file) {
  std::map<std::string, std::string> out;
  for (const std::string& key : view.profiles().GetKeys(section, file)) {
    out[key] = view.profiles().GetStringValue(section, key, "", file);
  }
  return out;
}

class PortCardEndToEndTest : public ::testing::TestWithParam<const char*> {};

TEST_P(PortCardEndToEndTest, PortuninstRemovesEveryValuePortinstWrote) {
  const std::string version = GetParam();
  const bool nt = version == "nt4" || version == "win2000";
  FreshRoot root(version.c_str());
  ASSERT_EQ(root.Run("scanhost insert portcard").exitCode, 0);
  {
    RootView view(root);
    if (nt) {
      view.CreateKey(kHkeyLocalMachine, kRovozur);
      view.CreateKey(kHkeyLocalMachine, kScanDev);
    } else if (version == "win95") {
      view.CreateKey(kHkeyLocalMachine, kVxd);
    }  // win98: no driver key, so System.ini
    view.files().WriteFileAtomic("C:\\WINDOWS\\Vevezu.ini", "[ScannerInfo]\r\n");
  }
  const std::string before = RegistryExport(root, "before.reg");

  const FreshRoot::Result install = root.Run("portinst", kChoose378);
  ASSERT_EQ(install.exitCode, 0) << install.output;
  {
    RootView view(root);
    if (nt) {
      EXPECT_EQ(view.Values(kHkeyLocalMachine, kRovozur),
                (std::map<std::string, std::string>{{"Chipset", "16"}, {"PortAddress", "888"}, {"PortMode", "0"}}));
      EXPECT_TRUE(view.Values(kHkeyLocalMachine, kScanDev).empty());
    } else if (version == "win95") {
      EXPECT_EQ(view.Values(kHkeyLocalMachine, kVxd),
                (std::map<std::string, std::string>{{"ChipSet", "16"}, {"IOBase", "888"}, {"PortMode", "0"}}));
    } else {
      EXPECT_EQ(Section(view, "ScannerParameters", "System.ini"),
                (std::map<std::string, std::string>{{"Vevezu_IO", "378"}, {"Port_ChipType", "16"}, {"Port_Mode", "0"}}));
    }
    EXPECT_EQ(Section(view, "ScannerInfo", "Vevezu.ini"),
              (std::map<std::string, std::string>{{"0", "278"}, {"1", "378"}, {"2", "3BC"}, {"3", "2E8"}}));
  }
  EXPECT_FALSE(fs::exists(root.path() / "restart.ini"));  // answered No

  const FreshRoot::Result uninstall = root.Run("portuninst", kRemoveAndRestart);
  ASSERT_EQ(uninstall.exitCode, 0) << uninstall.output;
  EXPECT_EQ(RegistryExport(root, "after.reg"), before);
  RootView view(root);
  EXPECT_TRUE(Section(view, "ScannerParameters", "System.ini").empty());
  EXPECT_EQ(Section(view, "ScannerInfo", "Vevezu.ini").size(), 4u);  // the application's list stays
  EXPECT_NE(ReadHostFile(root.path() / "restart.ini").find("program=portuninst\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Presets, PortCardEndToEndTest,
                         ::testing::Values("win95", "win98", "nt4", "win2000"));

TEST(PortCardConsoleTest, PortinstThenPortuninstOnTheConsoleOfAPseudoTerminal) {
  FreshRoot root("win98");
  ASSERT_EQ(root.Run("scanhost insert portcard").exitCode, 0);
  {
    platform::testing::ConsoleSession console(root, {"portinst"});
    ASSERT_TRUE(console.started());
    ASSERT_TRUE(console.Answer("<Cancel>", "1001 2")) << console.seen();
    ASSERT_TRUE(console.Answer("<Cancel>", "")) << console.seen();
    ASSERT_TRUE(console.Answer("Reboot computer now?", "y")) << console.seen();
    EXPECT_EQ(console.Wait(), 0) << console.seen();
  }
  {
    RootView view(root);
    EXPECT_EQ(view.profiles().GetStringValue("ScannerParameters", "Vevezu_IO", "", "System.ini"), "3BC");
  }
  EXPECT_NE(ReadHostFile(root.path() / "restart.ini").find("program=portinst\n"), std::string::npos);
  {
    platform::testing::ConsoleSession console(root, {"portuninst"});
    ASSERT_TRUE(console.started());
    ASSERT_TRUE(console.Answer("from this computer?", "y")) << console.seen();
    ASSERT_TRUE(console.Answer("Reboot computer now?", "n")) << console.seen();
    EXPECT_EQ(console.Wait(), 0) << console.seen();
  }
  RootView view(root);
  EXPECT_TRUE(Section(view, "ScannerParameters", "System.ini").empty());
}

}  // namespace
