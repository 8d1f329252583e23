// The adapter setup as an administrator runs it: `scanhost insert hbasetup`, then the program on a
// fresh root of each Windows version, unattended (bShow other than "YES", or "YES" answered by a
// response file) and once on the console of a pseudo-terminal. What it leaves is read back
// through a host on the same root.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/files/files.h"
#include "platform/host/host.h"
#include "platform/registry/registry.h"
#include "platform/system/errors.h"
#include "platform/ui/scripted_ui.h"
#include "platform/ui/ui.h"
#include "program_runner.h"

namespace {

namespace fs = std::filesystem;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using platform::testing::FreshRoot;
using platform::testing::ReadHostFile;
using platform::testing::RootView;

// CONFIG.SYS as an old adapter's drivers left it: the provisioned DOS lines, lines naming the two
// old drivers in any case (one of them past column 255), a line with only part of a name, an
// LF-only line end and a last line without one. `kept` gets the text the edit must leave.
std::string OldConfigSys(const std::string& provisioned, std::string* kept) {
  const std::vector<std::pair<std::string, bool>> lines = {
      {"DEVICE=C:\\SCSI\\RQBDOS.SYS /D:1\r\n", false},
      {"devicehigh=c:\\scsi\\rqbcd.sys /v\r\n", false},
      {"REM " + std::string(300, 'x') + " Rqbdos.Sys\r\n", false},
      {"REM rqbdos.sy is not the driver\n", true},
      {"LASTDRIVE=Z", true},
  };
  std::string text = provisioned;
  *kept = provisioned;
  for (const auto& [line, keep] : lines) {
    text += line;
    if (keep) *kept += line;
  }
  return text;
}

struct Preset {
  const char* version;
  bool nt;
  const char* programs;  // the user's Programs folder of the preset
  const char* startup;   // the Startup folder's name the setup uses
};

void PrintTo(const Preset& preset, std::ostream* out) { *out << preset.version; }

constexpr Preset kPresets[] = {
    {"win95", false, "C:\\WINDOWS\\Start Menu\\Programs", "StartUp"},
    {"win98", false, "C:\\WINDOWS\\Start Menu\\Programs", "StartUp"},
    {"nt4", true, "C:\\WINDOWS\\Profiles\\Administrator\\Start Menu\\Programs", "Startup"},
    {"win2000", true, "C:\\Documents and Settings\\Administrator\\Start Menu\\Programs", "Startup"},
};

const char* kPci8002 = "Enum\\PCI\\VEN_1191&DEV_8002";
const char* kPci8010 = "Enum\\PCI\\VEN_1191&DEV_8010";
const char* kService = "SYSTEM\\CurrentControlSet\\Services\\RQB482X";

class HbasetupEndToEndTest : public ::testing::TestWithParam<std::tuple<Preset, bool>> {
 protected:
  HbasetupEndToEndTest() : root_(preset().version) {}
  const Preset& preset() const { return std::get<0>(GetParam()); }
  bool showsWelcome() const { return std::get<1>(GetParam()); }

  // The medium in drive A:, and what an earlier adapter left on the machine.
  void Prepare() {
    ASSERT_EQ(root_.Run("scanhost insert hbasetup").exitCode, 0);
    if (!showsWelcome()) {
      const fs::path script = root_.Drive('A') / "SETUP32.INI";
      std::string text = ReadHostFile(script);
      text.replace(text.find("bShow=YES"), 9, "bShow=NO");
      std::ofstream(script, std::ios::binary) << text;
    }
    const fs::path config = root_.Drive('C') / "CONFIG.SYS";
    const std::string old = OldConfigSys(ReadHostFile(config), &keptConfig_);
    std::ofstream(config, std::ios::binary) << old;
    RootView view(root_);
    view.files().WriteFileAtomic("C:\\WINDOWS\\KorinSCS.GRP", "group file");
    if (preset().nt) {
      view.CreateKey(kHkeyLocalMachine, kService);
      platform::RegKey key = 0;
      ASSERT_EQ(view.reg().OpenKey(kHkeyLocalMachine, kService, &key), platform::kErrorSuccess);
      view.reg().SetDword(key, "PlugPlayServiceType", 3);
      view.reg().SetString(key, "DisplayName", "kept");
      view.reg().CloseKey(key);
    } else {
      view.CreateKey(kHkeyLocalMachine, std::string(kPci8002) + "\\0000");
      view.CreateKey(kHkeyLocalMachine, kPci8010);
      view.files().WriteFileAtomic("C:\\WINDOWS\\INF\\DRVIDX.BIN", "cache");
      view.files().WriteFileAtomic("C:\\WINDOWS\\INF\\DRVDATA.BIN", "cache");
    }
  }

  std::vector<std::string> ExpectedRecord() const {
    const std::string p = preset().programs;
    std::vector<std::string> paths =
        preset().nt ? std::vector<std::string>{"C:\\WINDOWS\\SYSTEM32\\DRIVERS\\RQB482X.SYS",
                                               "C:\\WINDOWS\\SCSIMON.EXE", "C:\\WINDOWS\\UNINST.EXE",
                                               "C:\\WINDOWS\\SYSTEM32\\WNASPI32.DLL",
                                               "C:\\WINDOWS\\SYSTEM32\\DRIVERS\\RQB482X.LOG"}
                    : std::vector<std::string>{"C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\RQB482X.MPD",
                                               "C:\\WINDOWS\\SCSIMON.EXE", "C:\\WINDOWS\\UNINST.EXE",
                                               "C:\\WINDOWS\\INF\\RQB482X.INF",
                                               "C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\RQB482X.PDR"};
    paths.push_back(p + "\\" + preset().startup + "\\SCSI Monitor.LNK");
    paths.push_back(p + "\\Korin SCSI Tools\\SCSI Monitor.LNK");
    paths.push_back(p + "\\Korin SCSI Tools\\Uninstall Korin SCSI Tools.LNK");
    paths.push_back(p + "\\Korin SCSI Tools");
    return paths;
  }

  FreshRoot root_;
  std::string keptConfig_;
};

TEST_P(HbasetupEndToEndTest, InstallsRecordsAndRegistersEverythingOnAFreshRoot) {
  Prepare();
  if (HasFatalFailure()) return;
  const FreshRoot::Result run =
      showsWelcome() ? root_.Run("hbasetup", "dialog 102: click 1\nbox \"Reboot Now\": Yes\n")
                     : root_.Run("hbasetup");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(run.output.find("unexpected"), std::string::npos) << run.output;

  RootView view(root_);
  // The uninstaller's record: every path once, name and data alike; each exists but the extra
  // file, which the driver makes when it first runs.
  const auto record = view.Values(kHkeyCurrentUser, "software\\Korin SCSI Tools");
  std::map<std::string, std::string> expected{{"", ""}};
  for (const std::string& path : ExpectedRecord()) expected[path] = path;
  EXPECT_EQ(record, expected);
  for (const std::string& path : ExpectedRecord()) {
    if (path.ends_with(".PDR") || path.ends_with(".LOG")) continue;
    EXPECT_TRUE(view.files().Exists(path)) << path;
  }
  EXPECT_EQ(view.files().ReadFile("C:\\WINDOWS\\SCSIMON.EXE"),
            ReadHostFile(root_.Drive('A') / "SCSIMON.EXE"));
  EXPECT_EQ(view.Values(kHkeyLocalMachine,
                        "Software\\Microsoft\\Windows\\CurrentVersion\\UnInstall\\Korin SCSI Tools"),
            (std::map<std::string, std::string>{
                {"DisplayName", "Korin SCSI Tools"},
                {"UnInstallString", "C:\\WINDOWS\\UNINST.EXE C:\\WINDOWS"}}));
  EXPECT_FALSE(view.files().Exists("C:\\WINDOWS\\KorinSCS.GRP"));
  EXPECT_EQ(ReadHostFile(root_.Drive('C') / "CONFIG.SYS"), keptConfig_);

  if (preset().nt) {
    EXPECT_EQ(view.Values(kHkeyLocalMachine, kService),
              (std::map<std::string, std::string>{{"DisplayName", "kept"},
                                                  {"ErrorControl", "1"},
                                                  {"Start", "0"},
                                                  {"Type", "1"},
                                                  {"Group", "SCSI Miniport"},
                                                  {"ImagePath", "System32\\drivers\\RQB482X.SYS"}}));
    EXPECT_EQ(view.Values(kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Services\\Scsiscan"),
              (std::map<std::string, std::string>{{"Start", "4"}}));
  } else {
    EXPECT_FALSE(view.KeyExists(kHkeyLocalMachine, kPci8002));
    EXPECT_FALSE(view.KeyExists(kHkeyLocalMachine, kPci8010));
    EXPECT_FALSE(view.files().Exists("C:\\WINDOWS\\INF\\DRVIDX.BIN"));
    EXPECT_FALSE(view.files().Exists("C:\\WINDOWS\\INF\\DRVDATA.BIN"));
  }

  // The menu group with its two items, the Startup item as an autostart entry; all valid.
  const fs::path menu = root_.path() / "menu";
  const std::string monitor = ReadHostFile(menu / "applications" / "scansuite-Korin-SCSI-Tools-1.desktop");
  EXPECT_NE(monitor.find("Name=SCSI Monitor\n"), std::string::npos) << monitor;
  EXPECT_NE(monitor.find("scanhost start \"C:\\\\\\\\WINDOWS\\\\\\\\SCSIMON.EXE\"\n"), std::string::npos) << monitor;
  const std::string uninstall = ReadHostFile(menu / "applications" / "scansuite-Korin-SCSI-Tools-2.desktop");
  EXPECT_NE(uninstall.find("Name=Uninstall Korin SCSI Tools\n"), std::string::npos) << uninstall;
  const std::string autostart = ReadHostFile(menu / "autostart" / "scansuite-SCSI-Monitor.desktop");
  EXPECT_NE(autostart.find("scanhost start \"C:\\\\\\\\WINDOWS\\\\\\\\SCSIMON.EXE\"\n"), std::string::npos) << autostart;
  int entries = 0;
  const bool validator = std::system("desktop-file-validate --help >/dev/null 2>&1") == 0;
  for (const auto& e : fs::recursive_directory_iterator(menu)) {
    if (e.path().extension() != ".desktop" && e.path().extension() != ".directory") continue;
    ++entries;
    if (!validator) continue;
    const std::string command = "desktop-file-validate --no-hints '" + e.path().string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadHostFile(e.path());
  }
  EXPECT_EQ(entries, 4);

  // The restart: recorded only when the question came and was answered Yes.
  const fs::path restart = root_.path() / "restart.ini";
  EXPECT_EQ(fs::exists(restart), showsWelcome());
  if (showsWelcome()) {
    EXPECT_NE(ReadHostFile(restart).find("program=hbasetup\n"), std::string::npos);
    const FreshRoot::Result show = root_.Run("scanhost show");
    EXPECT_NE(show.output.find("restart requested by hbasetup"), std::string::npos) << show.output;
  }
}

std::string Name(const ::testing::TestParamInfo<std::tuple<Preset, bool>>& info) {
  return std::string(std::get<0>(info.param).version) + (std::get<1>(info.param) ? "Welcome" : "AtOnce");
}

INSTANTIATE_TEST_SUITE_P(Presets, HbasetupEndToEndTest,
                         ::testing::Combine(::testing::ValuesIn(kPresets), ::testing::Bool()), Name);

TEST(HbasetupConsoleTest, InstallsOnTheConsoleOfAPseudoTerminal) {
  FreshRoot root("nt4");
  ASSERT_EQ(root.Run("scanhost insert hbasetup").exitCode, 0);
  platform::testing::ConsoleSession console(root, {"hbasetup"});
  ASSERT_TRUE(console.started());
  ASSERT_TRUE(console.Answer("<Start>", "")) << console.seen();
  ASSERT_TRUE(console.Answer("Reboot Now ?", "n")) << console.seen();
  EXPECT_EQ(console.Wait(), 0) << console.seen();
  EXPECT_NE(console.seen().find("To: C:\\WINDOWS\\SYSTEM32\\DRIVERS\\RQB482X.SYS"), std::string::npos)
      << console.seen();
  EXPECT_TRUE(fs::exists(root.Drive('C') / "WINDOWS" / "SYSTEM32" / "DRIVERS" / "RQB482X.SYS"));
  EXPECT_FALSE(fs::exists(root.path() / "restart.ini"));
}

}  // namespace
