// The program's course: the welcome dialog (Start, Exit, About), the install run's steps in
// order on Windows 95 and NT, the closing dialog, the reboot question, and the run without the
// welcome dialog.
#include "hbasetup_test_support.h"
#include "platform/ui/ui.h"
#include "setup_app.h"

namespace hbasetup {
namespace {

using platform::DialogDriver;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using testing::SetupHost;

constexpr const char* kReboot = "Install OK !!!\n\n You must reboot the system";

// A script with every section a medium carries.
std::string Script(std::string_view show) {
  return "[Display]\r\nbShow=" + std::string(show) +
         "\r\nGroupName=My Driver Tools\r\nDeviceID=8002,8010\r\nTitle=Mini\r\nDriver=mini.sys\r\n"
         "[Win95 Driver Files]\r\n1=.\\MINI.MPD,.\\SYSTEM\\IOSUBSYS\\MINI.MPD\r\n"
         "[Win95 Inf File]\r\n1=.\\MINI.INF,.\\INF\\MINI.INF\r\n"
         "[NT Driver Files]\r\n1=.\\MINI.SYS,.\\SYSTEM32\\DRIVERS\\MINI.SYS\r\n"
         "[NT WinASPI32]\r\n1=.\\WNASPI32.DLL,.\\SYSTEM32\\WNASPI32.DLL\r\n"
         "[Win95 UnInstall Extra File]\r\n1=SYSTEM\\IOSUBSYS\\MINI.PDR\r\n"
         "[NT UnInstall Extra File]\r\n1=SYSTEM32\\MINI.LOG\r\n"
         "[ShortCut]\r\n1=SCSIMON.EXE,Startup,SCSI Monitor\r\n2=UNINST.EXE,<GROUp>,Uninstall\r\n"
         "[Win95 Execute]\r\n1=ASPIINST.EXE\r\n[NT Execute]\r\n1=ASPIINST.EXE\r\n"
         "[UnInstall]\r\n1=UNINST.EXE\r\n"
         "[Modify]\r\n1=C:\\SCSI\\OLDMINI.SYS\r\n";
}

constexpr std::string_view kConfig =
    "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nDEVICE=C:\\SCSI\\oldmini.sys /V\r\nFILES=40\r\nBUFFERS=30";

void PutMedium(SetupHost& h) {
  for (const char* name : {"MINI.MPD", "MINI.INF", "MINI.SYS", "WNASPI32.DLL"}) {
    h.Write(std::string("A:\\") + name, std::string("image of ") + name);
  }
  h.Write("C:\\CONFIG.SYS", kConfig);
}

// Start in the welcome dialog, watching the copy and closing dialogs come and go.
void ExpectWelcomeRun(SetupHost& h, int rebootAnswer) {
  h.ui().ExpectDialog(102, [](DialogDriver& d) {
    EXPECT_EQ(d.Caption(), "Korin System Setup");
    d.Click(1);
  });
  h.ui().ExpectModeless(130);
  h.ui().ExpectModeless(103);
  h.ui().ExpectMessageBox(kReboot, rebootAnswer);
}

TEST(SetupApp, Windows95RunFromTheWelcomeDialog) {
  SetupHost h("win95");
  PutMedium(h);
  h.Write("C:\\WINDOWS\\MyDriver.GRP", "old group file");
  h.CreateKey(kHkeyLocalMachine, "Enum\\PCI\\VEN_1191&DEV_8010\\BUS_00");
  ExpectWelcomeRun(h, platform::IDYES);
  SetupApp app(h.context(), SetupScript(Script("YES")));
  EXPECT_EQ(app.Run(), kExitInstalled);

  EXPECT_EQ(h.Read("C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\MINI.MPD"), "image of MINI.MPD");
  EXPECT_EQ(h.Read("C:\\WINDOWS\\INF\\MINI.INF"), "image of MINI.INF");
  EXPECT_FALSE(h.files().Exists("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\MINI.SYS"));
  const std::string record = "software\\My Driver Tools";
  for (const char* path : {"C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\MINI.MPD", "C:\\WINDOWS\\INF\\MINI.INF",
                           "C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\MINI.PDR",
                           "C:\\WINDOWS\\Start Menu\\Programs\\StartUp\\SCSI Monitor.LNK",
                           "C:\\WINDOWS\\Start Menu\\Programs\\My Driver Tools\\Uninstall.LNK",
                           "C:\\WINDOWS\\Start Menu\\Programs\\My Driver Tools"}) {
    EXPECT_EQ(h.String(kHkeyCurrentUser, record, path), path);
  }
  EXPECT_EQ(h.shell().started, (std::vector<std::string>{"grpconv -o", "A:\\ASPIINST.EXE A:\\ASPIINST.EXE"}));
  EXPECT_EQ(h.String(kHkeyLocalMachine,
                     "Software\\Microsoft\\Windows\\CurrentVersion\\UnInstall\\My Driver Tools",
                     "UnInstallString"),
            "C:\\WINDOWS\\UNINST.EXE C:\\WINDOWS");
  EXPECT_FALSE(h.files().Exists("C:\\WINDOWS\\MyDriver.GRP"));
  EXPECT_EQ(h.Read("C:\\CONFIG.SYS"), "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nFILES=40\r\nBUFFERS=30");
  EXPECT_FALSE(h.KeyExists(kHkeyLocalMachine, "Enum\\PCI\\VEN_1191&DEV_8010"));
  EXPECT_FALSE(h.KeyExists(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Mini"));
  EXPECT_EQ(h.shell().restarts, 1);
  // 300 ms per copied item, 500 ms before the closing dialog and its 3000 ms.
  EXPECT_EQ(h.now(), 2 * 300u + 500u + 3000u);
}

TEST(SetupApp, NtRunWithoutTheWelcomeDialog) {
  SetupHost h("nt4");
  PutMedium(h);
  SetupApp app(h.context(), SetupScript(Script("NO")));
  EXPECT_EQ(app.Run(), kExitInstalled);  // no dialog, no question: the scripted host says so
  EXPECT_EQ(h.Read("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\MINI.SYS"), "image of MINI.SYS");
  EXPECT_EQ(h.Read("C:\\WINDOWS\\SYSTEM32\\WNASPI32.DLL"), "image of WNASPI32.DLL");
  EXPECT_EQ(h.String(kHkeyCurrentUser, "software\\My Driver Tools", "C:\\WINDOWS\\SYSTEM32\\MINI.LOG"),
            "C:\\WINDOWS\\SYSTEM32\\MINI.LOG");
  EXPECT_EQ(h.String(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Mini", "ImagePath"),
            "System32\\drivers\\mini.sys");
  EXPECT_EQ(h.Dword("SYSTEM\\CurrentControlSet\\Services\\Scsiscan", "Start"), 4u);
  EXPECT_EQ(h.Read("C:\\CONFIG.SYS"), "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nFILES=40\r\nBUFFERS=30");
  EXPECT_EQ(h.shell().restarts, 0);
  EXPECT_EQ(h.now(), 2 * 300u);
}

TEST(SetupApp, UnattendedRunSkipsAFileItCannotCopyAndSaysSo) {
  SetupHost h("nt4");
  PutMedium(h);
  h.files().DeleteFile("A:\\WNASPI32.DLL");
  // Nobody answers the retry question: the scripted backend's safe answer is No.
  h.ui().ExpectMessageBox("can't be copied !", platform::IDNO);
  SetupApp app(h.context(), SetupScript(Script("NO")));
  EXPECT_EQ(app.Run(), kExitFileSkipped);
  EXPECT_EQ(h.Dword("SYSTEM\\CurrentControlSet\\Services\\Mini", "Start"), 0u);
}

TEST(SetupApp, CancelYesStillMakesTheSystemChanges) {
  SetupHost h("nt4");
  PutMedium(h);
  h.ui().ExpectDialog(102, 1);
  h.ui().ExpectModeless(130, [](DialogDriver& d) { d.Click(1005); });
  h.ui().ExpectMessageBox("Abort", "The setup process is not completed!", platform::IDYES);
  h.ui().ExpectModeless(103);
  h.ui().ExpectMessageBox(kReboot, platform::IDNO);
  SetupApp app(h.context(), SetupScript(Script("YES")));
  EXPECT_EQ(app.Run(), kExitInstalled);
  EXPECT_FALSE(h.files().Exists("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\MINI.SYS"));
  EXPECT_EQ(h.Dword("SYSTEM\\CurrentControlSet\\Services\\Mini", "Type"), 1u);
  EXPECT_EQ(h.Read("C:\\CONFIG.SYS"), "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nFILES=40\r\nBUFFERS=30");
  EXPECT_EQ(h.shell().restarts, 0);
}

TEST(SetupApp, ExitAsksAndLeavesOnlyOnYes) {
  SetupHost h("win98");
  PutMedium(h);
  h.ui().ExpectDialog(102, [](DialogDriver& d) {
    d.Click(2);
    EXPECT_TRUE(d.IsOpen());  // answered No
    d.Click(2);
  });
  h.ui().ExpectMessageBox("Exit Setup", "Do you want to exit this program?", platform::IDNO);
  h.ui().ExpectMessageBox("Exit Setup", "Do you want to exit this program?", platform::IDYES);
  SetupApp app(h.context(), SetupScript(Script("YES")));
  EXPECT_EQ(app.Run(), kExitLeft);
  EXPECT_EQ(h.Read("C:\\CONFIG.SYS"), std::string(kConfig));
  EXPECT_FALSE(h.files().Exists("C:\\WINDOWS\\INF\\MINI.INF"));
}

TEST(SetupApp, TheAboutEntryOpensDialog100) {
  SetupHost h("win98");
  h.ui().ExpectDialog(102, [](DialogDriver& d) {
    d.ui().SendMessage(d.dialog(), platform::WM_SYSCOMMAND, kIdmAboutBox, 0);
    d.Click(2);
  });
  h.ui().ExpectDialog(100, 1);
  h.ui().ExpectMessageBox("Exit Setup", "exit this program?", platform::IDYES);
  SetupApp app(h.context(), SetupScript(Script("YES")));
  EXPECT_EQ(app.Run(), kExitLeft);
  // The entry's text is string 101.
  EXPECT_EQ(*h.context().resources.String(101), "&About Korin System Setup...");
}

}  // namespace
}  // namespace hbasetup

namespace hbasetup {
namespace {

// Every preset installs for its family: 98 as Windows 95, 2000 as NT.
class SetupOnEachPreset : public ::testing::TestWithParam<const char*> {};

TEST_P(SetupOnEachPreset, InstallsTheFamilysFilesAndEntries) {
  testing::SetupHost h(GetParam());
  for (const char* name : {"MINI.MPD", "MINI.INF", "MINI.SYS", "WNASPI32.DLL"}) {
    h.Write(std::string("A:\\") + name, name);
  }
  SetupApp app(h.context(), SetupScript("[Display]\nbShow=no\nTitle=Mini\nDriver=mini.sys\n"
                                        "[Win95 Driver Files]\n1=.\\MINI.MPD,.\\SYSTEM\\IOSUBSYS\\MINI.MPD\n"
                                        "[NT Driver Files]\n1=.\\MINI.SYS,.\\SYSTEM32\\DRIVERS\\MINI.SYS\n"
                                        "[Modify]\n1=old.sys\n"));
  EXPECT_EQ(app.Run(), kExitInstalled);
  const bool nt = h.host().system().IsNt();
  EXPECT_EQ(app.last().type, nt ? InstallType::kNt : InstallType::kWin95);
  EXPECT_EQ(h.files().Exists("C:\\WINDOWS\\SYSTEM32\\DRIVERS\\MINI.SYS"), nt);
  EXPECT_EQ(h.files().Exists("C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\MINI.MPD"), !nt);
  EXPECT_EQ(h.KeyExists(platform::kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Mini"), nt);
  EXPECT_EQ(app.last().config, ConfigEdit::kEdited);
}

INSTANTIATE_TEST_SUITE_P(Presets, SetupOnEachPreset,
                         ::testing::Values("win95", "win95-osr2", "win98", "nt4", "win2000"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (c == '-') c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace hbasetup
