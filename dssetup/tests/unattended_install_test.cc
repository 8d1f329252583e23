// The installed program unattended, as an administrator runs it: a fresh root, the medium put
// in drive A: by `scanhost insert`, the answers in a response file (SCANSUITE_ANSWERS), no
// code. Then what the install left behind is used as a person would: the restart it asked for
// is listed, and the program group's menu entry is run as the desktop runs it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <string>

#include "stand_ins.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

std::string Bin(const char* program) {
  const char* bin = std::getenv("SCANSUITE_BIN");
  return fs::absolute(fs::path(bin ? bin : "bin") / program).string();
}

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return in ? text.str() : "<missing>";
}

// Runs a shell command; its standard output and error together, and its exit status.
std::string Shell(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return "<popen failed>";
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int raw = pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

std::string StandIn(const std::string& folder, const std::string& name) {
  for (const auto& f : dssetup::medium::StandInFiles()) {
    if (f.folder == folder && f.name == name) return f.content;
  }
  return "<no stand-in>";
}

TEST(UnattendedInstallTest, FrenchFromAnAnswersFileWithTheAspiLayerMissing) {
  platform::testing::TempDir root;
  // The scanner on target 3; the machine has no wnaspi32.dll file, so the layer is installed.
  std::ofstream(root.path() / "machine.ini")
      << "[machine]\nadapters=hba0\n[hba0]\nkind=scsi\nidentifier=hba0 scsi\ntarget3=identity\n"
         "[identity]\ntype=identity\n";
  std::ofstream(root.path() / "answers.txt")
      << "# French, the first model, the scanner searched for, the restart accepted\n"
         "dialog SPRACHEDLG: select 1027 2; click 1\n"
         "dialog StartDlg: click 1\n"
         "dialog CHOOSESCANNER: selectmany 1007 0; click 1\n"
         "box \"KV-TWAIN Setup\" \"disquette 2\": OK\n"
         "dialog PORT_SETUP: click 1\n"
         "modeless SEARCH_SCAN_PORT\n"
         "dialog PORT_INFO_SCSI: click 1\n"
         "dialog RebootDlg: click 1\n";
  const std::string env = "SCANSUITE_ROOT='" + root.path().string() + "' ";
  int status = -1;
  std::string out = Shell(env + Bin("scanhost") + " insert dssetup", &status);
  ASSERT_EQ(status, 0) << out;

  out = Shell(env + "SCANSUITE_UI=scripted SCANSUITE_ANSWERS='" +
                (root.path() / "answers.txt").string() + "' " + Bin("dssetup") + " </dev/null",
            &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, "");  // no prompt the answers did not foresee, none left waiting

  const fs::path windows = root.path() / "drives" / "c" / "WINDOWS";
  EXPECT_EQ(Slurp(windows / "TWAIN_32" / "KVTWAIN.DS"), StandIn("KVTWAIN", "KVTWAIN.DS"));
  EXPECT_EQ(Slurp(windows / "TWAIN_32" / "README.TXT"), StandIn("KVTWAIN\\FRENCH", "README.TXT"));
  EXPECT_EQ(Slurp(windows / "KVCTRL32.CPL"), StandIn("KVTWAIN", "KVCTRL32.CPL"));
  const std::string kvt = Slurp(windows / "TWAIN_32" / "KVT32.INI");
  EXPECT_NE(kvt.find("SCSIID=3"), std::string::npos) << kvt;
  EXPECT_NE(kvt.find("Language=FRA"), std::string::npos) << kvt;
  EXPECT_NE(Slurp(windows / "CONTROL.INI").find("KVG_TWAIN32=C:\\WINDOWS\\Kvctrl32.cpl"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(windows / "SETUP.INI"));

  out = Shell(env + Bin("scanhost") + " show", &status);
  EXPECT_NE(out.find("restart requested by dssetup"), std::string::npos) << out;

  // The menu entry, run as the desktop runs its Exec line, opens the installed applet.
  const fs::path entry =
      root.path() / "menu" / "applications" / "scansuite-Orvex-Scanner-1.desktop";
  const std::string desktop = Slurp(entry);
  const size_t exec = desktop.find("\nExec=");
  ASSERT_NE(exec, std::string::npos) << desktop;
  const std::string line = desktop.substr(exec + 6, desktop.find('\n', exec + 6) - exec - 6);
  const std::string path = "PATH='" + fs::path(Bin("scanhost")).parent_path().string() + "':$PATH ";
  out = Shell(path + line + " </dev/null", &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Opened C:\\WINDOWS\\Kvctrl32.cpl (version 1.2.0.0)."), std::string::npos)
      << line << "\n" << out;
}

}  // namespace
