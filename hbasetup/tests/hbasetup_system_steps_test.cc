// The system changes: shortcuts through the group converter, uninstall records and entry,
// program starts, PCI clean-up, the service entries and the restart.
#include "hbasetup_test_support.h"
#include "platform/registry/windows_keys.h"
#include "platform/system/token.h"
#include "script.h"
#include "shortcuts.h"
#include "system_steps.h"
#include "uninstall_record.h"

namespace hbasetup {
namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using testing::SetupHost;

TEST(Shortcuts, StartupFieldForms) {
  for (const char* field : {"", "S", "Start", "startup", "STARTUP", "Startup"}) {
    EXPECT_TRUE(IsStartupField(field)) << field;
  }
  for (const char* field : {"startup menu", "Startups", "tart", "My Group"}) {
    EXPECT_FALSE(IsStartupField(field)) << field;
  }
}

TEST(Shortcuts, GroupFileNamesAndSafeNames) {
  EXPECT_EQ(GroupFilePath("C:\\WINDOWS", "My Driver Tools"), "C:\\WINDOWS\\MyDriver.GRP");
  EXPECT_EQ(GroupFilePath("C:\\WINDOWS", "A B"), "C:\\WINDOWS\\AB.GRP");
  // Whatever the script holds, the name stays one component of its folder.
  EXPECT_EQ(GroupFilePath("C:\\WINDOWS", "..\\..\\x"), "C:\\WINDOWS\\.._.._x.GRP");
  EXPECT_EQ(SafeName("a/b:c*d?\"<>|"), "a_b_c_d_____");
  EXPECT_EQ(SafeName(".."), "__");
  EXPECT_EQ(SafeName("My Tools"), "My Tools");
}

TEST(Shortcuts, GroupConverterFileWithShortTargets) {
  std::vector<Shortcut> s = {{"A.EXE", "My Tools", "Tool", false}, {"B.EXE", "StartUp", "Mon", true}};
  EXPECT_EQ(GroupConverterText(s, {"C:\\WINDOWS\\A.EXE", "C:\\WINDOWS\\LONGPR~1\\B.EXE"}),
            "[progman.groups]\r\ngroupX0=My Tools\r\ngroupX1=StartUp\r\n"
            "[groupX0]\r\n\"Tool\",\"C:\\WINDOWS\\A.EXE\",,,,\"C:\\WINDOWS\"\r\n"
            "[groupX1]\r\n\"Mon\",\"C:\\WINDOWS\\LONGPR~1\\B.EXE\",,,,\"C:\\WINDOWS\\LONGPR~1\"\r\n");
}

constexpr std::string_view kPrograms = "C:\\WINDOWS\\Start Menu\\Programs";

TEST(Shortcuts, WholeStepOnWindows95) {
  SetupHost h("win95");
  h.Write("C:\\WINDOWS\\Long Program\\monitor.exe", "x");
  SetupScript script(
      "[Display]\nGroupName=My Driver Tools\n"
      "[ShortCut]\n1=Long Program\\monitor.exe,Start,Monitor\n2=tool.exe,<GROUp>,Tool\n"
      "3=x.exe,startup menu,X\n");
  UninstallRecord record(h.reg(), "My Driver Tools");
  auto groupFiles = MakeShortcuts(h.context(), script, InstallType::kWin95, record);
  EXPECT_EQ(groupFiles, (std::vector<std::string>{"C:\\WINDOWS\\MyDriver.GRP", "C:\\WINDOWS\\startupm.GRP"}));
  EXPECT_EQ(h.shell().started, (std::vector<std::string>{"grpconv -o"}));
  EXPECT_EQ(h.shell().shows, (std::vector<int>{4}));
  const auto ini = h.Read("C:\\WINDOWS\\SETUP.INI");
  ASSERT_TRUE(ini);
  EXPECT_NE(ini->find("groupX0=StartUp\r\ngroupX1=My Driver Tools\r\ngroupX2=startup menu\r\n"),
            std::string::npos);
  EXPECT_NE(ini->find("\"Monitor\",\"C:\\WINDOWS\\LONGPR~1\\MONITOR.EXE\",,,,\"C:\\WINDOWS\\LONGPR~1\""),
            std::string::npos);
  const std::string p(kPrograms);
  EXPECT_EQ(record.recorded(),
            (std::vector<std::string>{p + "\\StartUp\\Monitor.LNK", p + "\\My Driver Tools\\Tool.LNK",
                                      p + "\\startup menu\\X.LNK", p + "\\My Driver Tools",
                                      p + "\\startup menu"}));
  EXPECT_EQ(h.String(kHkeyCurrentUser, "software\\My Driver Tools", p + "\\startup menu"),
            p + "\\startup menu");
  EXPECT_EQ(h.String(kHkeyCurrentUser, "software\\My Driver Tools", ""), "");
}

TEST(Shortcuts, NtTakesTheCommonStartupFolder) {
  SetupHost h("nt4");
  SetupScript script("[ShortCut]\n1=m.exe,,M\n");
  UninstallRecord record(h.reg(), "G");
  MakeShortcuts(h.context(), script, InstallType::kNt, record);
  const auto ini = h.Read("C:\\WINDOWS\\SETUP.INI");
  ASSERT_TRUE(ini);
  EXPECT_NE(ini->find("groupX0=Startup\r\n"), std::string::npos);
}

TEST(Shortcuts, MissingShellFoldersLeaveEmptyParts) {
  SetupHost h("win98");
  h.reg().DeleteTree(kHkeyCurrentUser, platform::kShellFoldersKey);
  UninstallRecord record(h.reg(), "G");
  MakeShortcuts(h.context(), SetupScript("[ShortCut]\n1=m.exe,Startup,M\n"), InstallType::kWin95, record);
  EXPECT_EQ(record.recorded(), (std::vector<std::string>{"\\\\M.LNK"}));
}

// Regression: lines past the 40 shortcuts and 40 group files overran their tables.
TEST(Shortcuts, LinesPastFortyAreIgnored) {
  SetupHost h("win98");
  std::string text = "[ShortCut]\n";
  for (int i = 0; i < 45; ++i) text += std::to_string(i) + "=a.exe,G" + std::to_string(i) + ",T\n";
  UninstallRecord record(h.reg(), "G");
  auto groupFiles = MakeShortcuts(h.context(), SetupScript(text), InstallType::kWin95, record);
  EXPECT_EQ(groupFiles.size(), 40u);
  const auto ini = h.Read("C:\\WINDOWS\\SETUP.INI");
  EXPECT_NE(ini->find("[groupX39]"), std::string::npos);
  EXPECT_EQ(ini->find("[groupX40]"), std::string::npos);
}

TEST(ProgramStarts, FromTheSetupDirectoryWithTheirOwnPathAndAtMostTen) {
  SetupHost h("win98", "A:\\");
  std::string text = "[Win95 Execute]\n1=ASPIINST.EXE\n2\n";
  for (int i = 3; i <= 12; ++i) text += std::to_string(i % 10) + "=P" + std::to_string(i) + ".EXE\n";
  EXPECT_EQ(StartPrograms(h.context(), SetupScript(text), InstallType::kWin95), 10u);
  ASSERT_EQ(h.shell().started.size(), 10u);
  EXPECT_EQ(h.shell().started[0], "A:\\ASPIINST.EXE A:\\ASPIINST.EXE");
  EXPECT_EQ(h.shell().started[1], "A:\\ A:\\");  // "2": shorter than its key and '='
  EXPECT_EQ(h.shell().started[9], "A:\\P10.EXE A:\\P10.EXE");

  SetupHost nt("nt4", "C:\\DISK1");
  StartPrograms(nt.context(), SetupScript("[NT Execute]\n1=x.exe\n[Win95 Execute]\n1=y.exe\n"),
                InstallType::kNt);
  EXPECT_EQ(nt.shell().started, (std::vector<std::string>{"C:\\DISK1\\x.exe C:\\DISK1\\x.exe"}));
}

TEST(UninstallEntry, FirstLineOnlyAndNotAComment) {
  EXPECT_EQ(UninstallString("C:\\WINDOWS\\UNINST.EXE"), "C:\\WINDOWS\\UNINST.EXE C:\\WINDOWS");
  const std::string key = "Software\\Microsoft\\Windows\\CurrentVersion\\UnInstall\\Acme";
  SetupHost h("win98");
  WriteUninstallEntry(h.context(), SetupScript("[Display]\nGroupName=Acme\n[UnInstall]\n1=UNINST.EXE\n2=OTHER.EXE\n"));
  EXPECT_EQ(h.String(kHkeyLocalMachine, key, "DisplayName"), "Acme");
  EXPECT_EQ(h.String(kHkeyLocalMachine, key, "UnInstallString"), "C:\\WINDOWS\\UNINST.EXE C:\\WINDOWS");

  SetupHost c("win98");
  WriteUninstallEntry(c.context(), SetupScript("[Display]\nGroupName=Acme\n[UnInstall]\n;1=UNINST.EXE\n2=OTHER.EXE\n"));
  EXPECT_FALSE(c.KeyExists(kHkeyLocalMachine, key));
}

TEST(ExtraFiles, RecordedBelowTheWindowsDirectory) {
  SetupHost h("nt4");
  UninstallRecord record(h.reg(), "G");
  RecordExtraFiles(h.context(), SetupScript("[NT UnInstall Extra File]\n1=SYSTEM32\\a.dll\n2\n"
                                            "[Win95 UnInstall Extra File]\n1=b.dll\n"),
                   InstallType::kNt, record);
  EXPECT_EQ(record.recorded(), (std::vector<std::string>{"C:\\WINDOWS\\SYSTEM32\\a.dll", "C:\\WINDOWS\\"}));
}

TEST(PciCleanUp, EveryDeviceKeyWithItsSubkeysAndTheCachesPerId) {
  SetupHost h("win95");
  h.CreateKey(kHkeyLocalMachine, "Enum\\PCI\\VEN_1191&DEV_8002\\BUS_00&DEV_0B&FUNC_00");
  h.CreateKey(kHkeyLocalMachine, "Enum\\PCI\\VEN_1191&DEV_8010\\BUS_00&DEV_0C&FUNC_00");
  h.CreateKey(kHkeyLocalMachine, "Enum\\PCI\\VEN_1191&DEV_8020");
  h.Write("C:\\WINDOWS\\inf\\DRVIDX.BIN", "x");
  h.Write("C:\\WINDOWS\\inf\\DRVDATA.BIN", "x");
  ClearPciEntries(h.context(), SetupScript("[Display]\nDeviceID=8002,8010\n"));
  EXPECT_FALSE(h.KeyExists(kHkeyLocalMachine, "Enum\\PCI\\VEN_1191&DEV_8002"));
  EXPECT_FALSE(h.KeyExists(kHkeyLocalMachine, "Enum\\PCI\\VEN_1191&DEV_8010"));
  EXPECT_TRUE(h.KeyExists(kHkeyLocalMachine, "Enum\\PCI\\VEN_1191&DEV_8020"));
  EXPECT_FALSE(h.files().Exists("C:\\WINDOWS\\inf\\DRVIDX.BIN"));
  EXPECT_FALSE(h.files().Exists("C:\\WINDOWS\\inf\\DRVDATA.BIN"));
  // Twice per ID: the first deletes, the second finds nothing.
  EXPECT_GE(h.host().faults().Checks("files.delete"), 4u);
}

TEST(Service, AnExistingKeyKeepsItsOtherValuesAndLosesPlugPlayServiceType) {
  SetupHost h("nt4");
  const std::string key = "SYSTEM\\CurrentControlSet\\Services\\Mini";
  h.CreateKey(kHkeyLocalMachine, key);
  platform::RegKey k = 0;
  ASSERT_EQ(h.reg().OpenKey(kHkeyLocalMachine, key, &k), 0);
  h.reg().SetDword(k, "PlugPlayServiceType", 3);
  h.reg().SetString(k, "Tag", "kept");
  h.reg().CloseKey(k);
  RegisterService(h.context(), SetupScript("[Display]\nTitle=Mini\nDriver=mini.sys\n"));
  EXPECT_EQ(h.Dword(key, "PlugPlayServiceType"), std::nullopt);
  EXPECT_EQ(h.String(kHkeyLocalMachine, key, "Tag"), "kept");
  EXPECT_EQ(h.Dword(key, "ErrorControl"), 1u);
  EXPECT_EQ(h.Dword(key, "Start"), 0u);
  EXPECT_EQ(h.Dword(key, "Type"), 1u);
  EXPECT_EQ(h.String(kHkeyLocalMachine, key, "Group"), "SCSI Miniport");
  EXPECT_EQ(h.String(kHkeyLocalMachine, key, "ImagePath"), "System32\\drivers\\mini.sys");
  EXPECT_EQ(h.Dword("SYSTEM\\CurrentControlSet\\Services\\Scsiscan", "Start"), 4u);
  // The strings carry one terminating zero, no more.
  for (const auto& v : h.Values(kHkeyLocalMachine, key)) {
    if (v.name == "Group") {
      EXPECT_EQ(v.data.size(), 14u);
    }
  }
}

TEST(Restart, NtNeedsTheShutdownPrivilege) {
  SetupHost h("nt4");
  EXPECT_TRUE(Restart(h.context(), InstallType::kNt));
  EXPECT_EQ(h.shell().restarts, 1);
  const auto& requests = h.host().system().Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].detail, "enable SeShutdownPrivilege");
  EXPECT_EQ(requests[1].detail, "disable SeShutdownPrivilege");

  SetupHost refused("nt4");
  refused.host().faults().FailEvery(platform::fault_point::kSystemPrivilege);
  EXPECT_FALSE(Restart(refused.context(), InstallType::kNt));
  EXPECT_EQ(refused.shell().restarts, 0);

  SetupHost nine("win95");
  nine.host().faults().FailEvery(platform::fault_point::kSystemToken);
  EXPECT_TRUE(Restart(nine.context(), InstallType::kWin95));
  EXPECT_EQ(nine.shell().restarts, 1);
}

}  // namespace
}  // namespace hbasetup
