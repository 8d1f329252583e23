#include "flow_fixture.h"
#include "platform/shell/shell.h"

namespace dssetup {
namespace {

using testing::FlowTest;
using platform::DialogDriver;
using platform::IDOK;

std::string StandIn(const std::string& name, const std::string& folder = "KVTWAIN") {
  for (const auto& f : medium::StandInFiles()) {
    if (f.name == name && f.folder == folder) return f.content;
  }
  return "<no stand-in>";
}

TEST_F(FlowTest, ScsiInstallInEnglishEndsWithFinalDialog) {
  Prepare();
  ExpectChoices(1, {0});
  ui().ExpectMessageBox("KV-TWAIN Setup", "insert disk 2 in drive A:", IDOK);
  ui().ExpectDialog("PORT_SETUP", IDOK);
  ui().ExpectDialog("PORT_INFO_SCSI", [](DialogDriver& d) {
    EXPECT_EQ(d.Text(1003), "WINASPI");
    EXPECT_EQ(d.Text(1004), "1");
    EXPECT_EQ(d.Text(1005), "6");
    d.Click(IDOK);
  });
  ui().ExpectDialog("FinalDlg", IDOK);
  ASSERT_EQ(RunSetup(), 0);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();

  EXPECT_EQ(Read("C:\\WINDOWS\\twain_32\\KVTWAIN.DS"), StandIn("KVTWAIN.DS"));
  EXPECT_EQ(Read("C:\\WINDOWS\\KVCTRL32.CPL"), StandIn("KVCTRL32.CPL"));
  EXPECT_EQ(Read("C:\\WINDOWS\\KVSCAN32.DLL"), StandIn("KVSCAN32.DLL"));
  EXPECT_EQ(Read("C:\\WINDOWS\\twain_32\\README.TXT"), StandIn("README.TXT", "KVTWAIN\\ENGLISH"));
  EXPECT_EQ(Read("C:\\WINDOWS\\twain_32\\S6000T.LUT"), StandIn("S6000T.LUT", "TABLES"));
  EXPECT_EQ(Read("C:\\WINDOWS\\twain_32\\FILM.GAM"), StandIn("FILM.GAM", "TABLES"));

  EXPECT_EQ(Kvt("ScanOptions", "ScanDeviceType"), "0");
  EXPECT_EQ(Kvt("ScanOptions", "SCSIID"), "6");
  EXPECT_EQ(Kvt("ScanOptions", "SCSIHAID"), "1");
  EXPECT_EQ(Kvt("COLORCOMFORT", "RLUT"), "C:\\WINDOWS\\twain_32\\S6000R.LUT");
  EXPECT_EQ(Kvt("COLORCOMFORT", "TLUT"), "C:\\WINDOWS\\twain_32\\S6000T.LUT");
  EXPECT_EQ(Kvt("COLORCOMFORT", "RGamma2"), "C:\\WINDOWS\\twain_32\\BRIGHT.GAM,Bright");
  EXPECT_EQ(Kvt("SCANNERMODELLS", "1"), "Orvex 6000");
  EXPECT_EQ(Kvt("Orvex 6000", "NumOfLines"), "7");
  EXPECT_EQ(Kvt("Options", "Language"), "ENG");
  EXPECT_EQ(Ini("C:\\WINDOWS\\CONTROL.INI", "MMCPL", "KVG_TWAIN32"), "C:\\WINDOWS\\Kvctrl32.cpl");
  EXPECT_FALSE(host_.host().files().Exists("C:\\WINDOWS\\SETUP.INI"));
  // A newer ASPI layer is there: no installer, no restart.
  EXPECT_TRUE(platform::Shell::Of(host_.host()).Starts().empty());
  EXPECT_FALSE(host_.host().system().RestartRequested());

  // The program group's one item opens the applet that was installed and registered.
  platform::Shell& shell = platform::Shell::Of(host_.host());
  ASSERT_EQ(shell.programManager().groups().size(), 1u);
  const platform::ProgramGroup& group = shell.programManager().groups().begin()->second;
  ASSERT_EQ(group.items.size(), 1u);
  EXPECT_EQ(group.items[0].commandLine, "control.exe kvctrl32.cpl");
  ui().ExpectMessageBox("Control Panel", "Opened C:\\WINDOWS\\Kvctrl32.cpl (version 1.2.0.0)",
                        IDOK);
  EXPECT_EQ(shell.WinExec(group.items[0].commandLine, platform::SW_SHOWNORMAL), 33u);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  EXPECT_EQ(shell.Starts().back().exitCode, 0);
}

TEST_F(FlowTest, MissingAspiLayerStartsTheCheckedInstallerAndOffersARestart) {
  Prepare(0);
  ExpectChoices(0, {1});
  ui().ExpectMessageBox("KV-TWAIN Setup", "Diskette 2 in Laufwerk A:", IDOK);
  ui().ExpectDialog("PORT_SETUP", IDOK);
  ui().ExpectDialog("PORT_INFO_SCSI", IDOK);
  ui().ExpectDialog("RebootDlg", 1);
  ASSERT_EQ(RunSetup(), 0);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  // The layer's module answers (the machine has it) though its file is missing.
  EXPECT_EQ(Kvt("ScanOptions", "SCSIID"), "6");
  auto& starts = platform::Shell::Of(host_.host()).Starts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].commandLine, "A:\\KVTWAIN\\COMMON\\WINASPI\\ASPIINST /SILENT");
  EXPECT_EQ(starts[0].program, "A:\\KVTWAIN\\COMMON\\WINASPI\\ASPIINST.EXE");
  EXPECT_TRUE(host_.host().system().RestartRequested());
  EXPECT_TRUE(platform::Shell::Of(host_.host()).PendingRestart().has_value());
  EXPECT_EQ(Kvt("Options", "Language"), "DEU");
}

TEST_F(FlowTest, OlderAspiLayerBuildNeedsInstalling) {
  Prepare(0x00040000, 969);
  ExpectChoices(1);
  ui().ExpectMessageBox("KV-TWAIN Setup", "disk 2", IDOK);
  ui().ExpectDialog("PORT_SETUP", IDOK);
  ui().ExpectDialog("PORT_INFO_SCSI", IDOK);
  ui().ExpectDialog("RebootDlg", 2);
  ASSERT_EQ(RunSetup(), 0);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  EXPECT_EQ(platform::Shell::Of(host_.host()).Starts().size(), 1u);
  EXPECT_FALSE(host_.host().system().RestartRequested());
}

TEST_F(FlowTest, FromAHardDiskTheFolderDigitFollowsTheDisk) {
  // The medium copied into C:\SETUP\DISK1 and C:\SETUP\DISK2.
  Prepare(0x00040000, 970, "C:\\SETUP\\DISK1\\");
  std::filesystem::create_directories(host_.HostPath("C:\\SETUP\\DISK2\\"));
  std::filesystem::copy(testing::MediumFolder(), host_.HostPath("C:\\SETUP\\DISK2\\"),
                        std::filesystem::copy_options::recursive);
  host_.WriteFile("C:\\SETUP\\DISK2\\KVTWAIN\\KVSCAN32.DL_", "not packed");
  ExpectChoices(1);
  ui().ExpectDialog("ReadHeaderError", [](DialogDriver& d) {
    EXPECT_EQ(d.Text(1019), "KVSCAN32.DL_");
    d.Click(IDOK);
  });
  ui().ExpectDialog("ExitDlg", 2);
  EXPECT_EQ(RunSetup(), 1);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  // No disk prompt was shown (a surprise box would have failed the test).
  EXPECT_FALSE(host_.host().files().Exists("C:\\WINDOWS\\SETUP.INI"));
}

TEST_F(FlowTest, NewerInstalledFileIsKeptUnlessConfirmed) {
  Prepare();
  const std::string newer = platform::PeWithVersion(0x00030000, 0, "newer data source");
  host_.WriteFile("C:\\WINDOWS\\twain_32\\KVTWAIN.DS", newer);
  host_.WriteFile("C:\\WINDOWS\\KVSCAN32.DLL", "no version resource");
  ExpectChoices(1);
  ui().ExpectDialog("VersionDlg", [](DialogDriver& d) {
    EXPECT_EQ(d.Text(1014), "C:\\WINDOWS\\twain_32\\KVTWAIN.DS");
    EXPECT_EQ(d.Text(1015), "A:\\KVTWAIN\\KVTWAIN.D_");
    EXPECT_EQ(d.Text(1016), "Version: 3.0.0.0");
    EXPECT_EQ(d.Text(1017), "Version: 2.1.0.7");
    platform::UserInterface& windows = d.ui();
    const platform::Hwnd setupWindow = windows.GetParent(d.dialog());
    EXPECT_TRUE(windows.IsWindowVisible(setupWindow));
    windows.ShowWindow(setupWindow, platform::SW_HIDE);  // put away while the question waits
    d.Click(2);
    // Closing hides the question itself and brings the setup window back.
    EXPECT_FALSE(windows.IsWindowVisible(d.dialog()));
    EXPECT_TRUE(windows.IsWindowVisible(setupWindow));
  });
  ui().ExpectMessageBox("KV-TWAIN Setup", "disk 2", IDOK);
  ui().ExpectDialog("PORT_SETUP", IDOK);
  ui().ExpectDialog("PORT_INFO_SCSI", IDOK);
  ui().ExpectDialog("FinalDlg", IDOK);
  ASSERT_EQ(RunSetup(), 0);
  EXPECT_EQ(Read("C:\\WINDOWS\\twain_32\\KVTWAIN.DS"), newer);
  EXPECT_EQ(Read("C:\\WINDOWS\\KVSCAN32.DLL"), StandIn("KVSCAN32.DLL"));
}

TEST_F(FlowTest, UnpackFailuresEndWithTheirDialogAndNoWorkingScript) {
  struct Case {
    const char* damage;  // what becomes of KVTWAIN\KVT32.IN_
    const char* dialog;
    const char* shown;   // text 1019
  };
  for (const Case& c : {Case{"", "FileNotFound", "KVT32.IN_"},
                        Case{"short", "ReadHeaderError", "KVT32.IN_"},
                        Case{"crc", "CRC_Error", "KVT32.IN_"}}) {
    SCOPED_TRACE(c.dialog);
    Prepare();
    const std::string packed = "A:\\KVTWAIN\\KVT32.IN_";
    std::string bytes = Read(packed);
    if (std::string(c.damage).empty()) host_.host().files().DeleteFile(packed);
    if (std::string(c.damage) == "short") host_.WriteFile(packed, bytes.substr(0, 10));
    if (std::string(c.damage) == "crc") {
      bytes[bytes.size() - 1] ^= 0x55;
      host_.WriteFile(packed, bytes);
    }
    ExpectChoices(1);
    ui().ExpectDialog(c.dialog, [&](DialogDriver& d) {
      EXPECT_EQ(d.Text(1019), c.shown);
      d.Click(IDOK);
    });
    ui().ExpectDialog("ExitDlg", 2);
    EXPECT_EQ(RunSetup(), 1);
    EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
    EXPECT_FALSE(host_.host().files().Exists("C:\\WINDOWS\\SETUP.INI"));
    ui().Reset();
  }
}

TEST_F(FlowTest, ReadOnlyDestinationIsAFileNotFoundForTheDestination) {
  Prepare();
  host_.WriteFile("C:\\WINDOWS\\KVCTRL32.CPL", "old applet");
  host_.host().files().SetAttributes("C:\\WINDOWS\\KVCTRL32.CPL", platform::kAttrReadOnly);
  ExpectChoices(1);
  ui().ExpectDialog("FileNotFound", [](DialogDriver& d) {
    EXPECT_EQ(d.Text(1019), "KVCTRL32.CPL");
    d.Click(IDOK);
  });
  ui().ExpectDialog("ExitDlg", 2);
  EXPECT_EQ(RunSetup(), 1);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  EXPECT_FALSE(host_.host().files().Exists("C:\\WINDOWS\\SETUP.INI"));
  EXPECT_EQ(Read("C:\\WINDOWS\\KVCTRL32.CPL"), "old applet");
}

TEST_F(FlowTest, CancelOnWelcomeAsksAndGoesBackOrLeaves) {
  Prepare();
  ui().ExpectDialog("SPRACHEDLG", IDOK);
  ui().ExpectDialog("StartDlg", platform::IDCANCEL);
  ui().ExpectDialog("ExitDlg", 1);
  ui().ExpectDialog("StartDlg", platform::IDCANCEL);
  ui().ExpectDialog("ExitDlg", 2);
  EXPECT_EQ(RunSetup(), 1);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  EXPECT_FALSE(host_.host().files().Exists("C:\\WINDOWS\\twain_32\\KVTWAIN.DS"));
}

TEST_F(FlowTest, OneLanguageSkipsTheLanguageDialogAndBadIndexCannotLoad) {
  Prepare();
  host_.host().profiles().WriteString("Language", "NumOfLang", "1", "A:\\SETUP.INI");
  host_.host().profiles().WriteString("Language", "Lang", "2", "A:\\SETUP.INI");
  ui().ExpectDialog("StartDlg", platform::IDCANCEL);
  ui().ExpectDialog("ExitDlg", [](DialogDriver& d) {
    EXPECT_EQ(d.Caption(), "Quitter");  // the French library
    d.Click(2);
  });
  EXPECT_EQ(RunSetup(), 1);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();

  host_.host().profiles().WriteString("Language", "Lang", "5", "A:\\SETUP.INI");
  ui().ExpectDialog("LOADDLLERROR", IDOK);
  EXPECT_EQ(RunSetup(), 1);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
}

}  // namespace
}  // namespace dssetup

namespace dssetup {
namespace {

// Each language on a fresh machine: its own library's texts, its own readme, its option code.
class EveryLanguageTest : public testing::FlowTest, public ::testing::WithParamInterface<int> {};

TEST_P(EveryLanguageTest, InstallsUnattendedWithItsOwnFiles) {
  const int language = GetParam();
  const char* prompts[] = {"Diskette 2 in Laufwerk A:", "disk 2 in drive A:",
                           "disquette 2 dans le lecteur A:", "disco 2 nell'unita A:",
                           "disco 2 en la unidad A:"};
  const char* folders[] = {"DEUTSCH", "ENGLISH", "FRENCH", "ITALIAN", "SPANISH"};
  const char* codes[] = {"DEU", "ENG", "FRA", "<none>", "<none>"};
  Prepare();
  ExpectChoices(language, {2});
  ui().ExpectMessageBox("KV-TWAIN Setup", prompts[language], platform::IDOK);
  ui().ExpectDialog("PORT_SETUP", platform::IDOK);
  ui().ExpectDialog("PORT_INFO_SCSI", platform::IDOK);
  ui().ExpectDialog("FinalDlg", platform::IDOK);
  ASSERT_EQ(RunSetup(), 0);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
  EXPECT_EQ(Read("C:\\WINDOWS\\twain_32\\README.TXT"),
            StandIn("README.TXT", std::string("KVTWAIN\\") + folders[language]));
  EXPECT_EQ(Kvt("Options", "Language"), codes[language]);
  // The film scanner has no tone table: "RLUT=" and no TLUT, its one film gamma table.
  EXPECT_EQ(Kvt("Orvex FilmScan", "1"), "RLUT=");
  EXPECT_EQ(Kvt("Orvex FilmScan", "2"), "RGAMMA=0");
  EXPECT_EQ(Kvt("Orvex FilmScan", "3"), "TGAMMA=1");
  EXPECT_EQ(Kvt("COLORCOMFORT", "TLUT"), "<none>");
  EXPECT_EQ(Ini("C:\\WINDOWS\\CONTROL.INI", "MMCPL", "NumApps"), "1");
  // The menu entry for the applet, on this machine's root.
  const auto entry = host_.root() / "menu" / "applications" / "scansuite-Orvex-Scanner-1.desktop";
  EXPECT_TRUE(std::filesystem::exists(entry));
  if (std::system("desktop-file-validate --help >/dev/null 2>&1") == 0) {
    const std::string check = "desktop-file-validate --no-hints '" + entry.string() + "'";
    EXPECT_EQ(std::system(check.c_str()), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, EveryLanguageTest, ::testing::Values(0, 1, 2, 3, 4));

}  // namespace
}  // namespace dssetup

namespace dssetup {
namespace {

TEST_F(FlowTest, PackedFileTooShortForAVersionIsCopiedAndUnpackReportsIt) {
  Prepare();
  // An installed data source with a newer version, and a packed one of 12 bytes: without a
  // version to compare there is no VersionDlg; Unpack finds the header short.
  host_.WriteFile("C:\\WINDOWS\\twain_32\\KVTWAIN.DS", platform::PeWithVersion(0x00090000, 0, "x"));
  host_.WriteFile("A:\\KVTWAIN\\KVTWAIN.D_", "SSZ shortone");
  ExpectChoices(1);
  ui().ExpectDialog("ReadHeaderError", [](DialogDriver& d) {
    EXPECT_EQ(d.Text(1019), "KVTWAIN.D_");
    d.Click(IDOK);
  });
  ui().ExpectDialog("ExitDlg", 2);
  EXPECT_EQ(RunSetup(), 1);
  EXPECT_TRUE(ui().Unmet().empty()) << ui().Unmet().front();
}

}  // namespace
}  // namespace dssetup
