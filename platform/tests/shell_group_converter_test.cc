#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/faults/faults.h"
#include "platform/files/files.h"
#include "platform/shell/group_converter.h"
#include "platform/shell/shell.h"
#include "platform/shell/shell_link.h"
#include "test_host.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A shell link read back by its published layout, independently of the writer: the 76-byte
// header, then the counted strings its flags announce.
struct ReadLink {
  uint32_t headerSize = 0, flags = 0, showCommand = 0;
  std::string classBytes;
  std::vector<std::string> strings;
  uint32_t terminal = 1;
};
uint32_t U32(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
ReadLink Parse(const std::string& b) {
  ReadLink link;
  if (b.size() < 80) return link;
  link.headerSize = U32(b, 0);
  link.classBytes = b.substr(4, 16);
  link.flags = U32(b, 20);
  link.showCommand = U32(b, 60);
  size_t at = 76;
  for (uint32_t bit = 0x04; bit <= 0x40; bit <<= 1) {
    if (!(link.flags & bit)) continue;
    const size_t n = static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
    link.strings.push_back(b.substr(at + 2, n));
    at += 2 + n;
  }
  link.terminal = at + 4 == b.size() ? U32(b, at) : 1;
  return link;
}

TEST(ShellLinkTest, HeaderAndStringsFollowThePublishedLayout) {
  const std::string bytes = ShellLinkBytes(
      {"SCSI Monitor", "C:\\WINDOWS\\SCSIMON.EXE", "C:\\WINDOWS", "/min", "", 1});
  const ReadLink link = Parse(bytes);
  EXPECT_EQ(link.headerSize, 0x4Cu);
  EXPECT_EQ(link.classBytes, std::string("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16));
  EXPECT_EQ(link.flags, 0x04u | 0x08u | 0x10u | 0x20u);  // name, path, folder, arguments; no icon
  EXPECT_EQ(link.showCommand, 1u);
  EXPECT_EQ(link.strings,
            (std::vector<std::string>{"SCSI Monitor", "C:\\WINDOWS\\SCSIMON.EXE", "C:\\WINDOWS", "/min"}));
  EXPECT_EQ(link.terminal, 0u);
  EXPECT_EQ(bytes.size(), 76u + 14 + 24 + 12 + 6 + 4);
  // A 16-bit count: 65535 characters is the most a string keeps.
  EXPECT_EQ(Parse(ShellLinkBytes({std::string(65535, 'a'), "x"})).strings[0].size(), 65535u);
  EXPECT_EQ(Parse(ShellLinkBytes({std::string(65536, 'a'), "x"})).strings[0].size(), 65535u);
}

TEST(GroupConverterFileTest, ItemLinesFieldsAndCommandLines) {
  EXPECT_EQ(SplitItemLine("\"SCSI Monitor\",\"C:\\W\\S.EXE /a\",,,,\"C:\\W\""),
            (std::vector<std::string>{"SCSI Monitor", "C:\\W\\S.EXE /a", "", "", "", "C:\\W"}));
  EXPECT_EQ(SplitItemLine(" \"a,b\" , c ,\"\""), (std::vector<std::string>{"a,b", "c", ""}));
  EXPECT_EQ(SplitItemLine("\"open"), (std::vector<std::string>{"open"}));
  EXPECT_EQ(SplitItemLine(""), (std::vector<std::string>{""}));
  std::string program, args;
  SplitCommandLine("  \"C:\\PROG FILES\\A.EXE\"  /x y", &program, &args);
  EXPECT_EQ(program, "C:\\PROG FILES\\A.EXE");
  EXPECT_EQ(args, "/x y");
  SplitCommandLine("C:\\A.EXE", &program, &args);
  EXPECT_EQ(program, "C:\\A.EXE");
  EXPECT_EQ(args, "");
}

TEST(GroupConverterFileTest, GroupsInListedOrderMergedByNameWithUnusableLinesLeftOut) {
  const auto groups = ParseGroupConverterFile(
      "[progman.groups]\r\ngroupX0=Tools\r\ngroupX1=Other\r\ngroupX2=TOOLS\r\nbroken\r\n"
      "groupX3=\r\ngroupX4=Missing\r\n"
      "[groupX0]\r\n\"A\",\"C:\\A.EXE\"\r\n;\"comment\",\"C:\\C.EXE\"\r\n\"NoCommand\",\r\n"
      "[groupx1]\r\n,\"C:\\DIR\\B.EXE /q\"\r\n"
      "[groupX2]\r\n\"C\",\"C:\\C.EXE\",C:\\C.ICO\r\n");
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[0].name, "Tools");
  ASSERT_EQ(groups[0].items.size(), 2u);
  EXPECT_EQ(groups[0].items[1].title, "C");
  EXPECT_EQ(groups[0].items[1].icon, "C:\\C.ICO");
  EXPECT_EQ(groups[1].name, "Other");
  ASSERT_EQ(groups[1].items.size(), 1u);
  EXPECT_EQ(groups[1].items[0].title, "B.EXE");  // no title: the program's file name
  EXPECT_EQ(groups[2].name, "Missing");
  EXPECT_TRUE(groups[2].items.empty());
  EXPECT_TRUE(ParseGroupConverterFile("[groupX0]\n\"A\",\"B\"\n").empty());
}

TEST(GroupConverterFileTest, NamesStayOneFileNamePart) {
  EXPECT_EQ(ShortcutFileName("..\\..\\Evil"), ".._.._Evil");
  EXPECT_EQ(ShortcutFileName("a/b:c*d?\"<>|\x01"), "a_b_c_d______");
  EXPECT_EQ(ShortcutFileName(".."), "__");
  EXPECT_EQ(ShortcutFileName("."), "_");
  EXPECT_EQ(ShortcutFileName("..x"), "..x");
  EXPECT_EQ(ShortcutFileName("Uninstall Korin Tools"), "Uninstall Korin Tools");
}

constexpr const char* kSetupIni =
    "[progman.groups]\r\ngroupX0=%STARTUP%\r\ngroupX1=Korin Tools\r\ngroupX2=korin tools\r\n"
    "groupX3=..\\..\\Evil\r\n"
    "[groupX0]\r\n\"SCSI Monitor\",\"C:\\WINDOWS\\SCSIMON.EXE\",,,,\"C:\\WINDOWS\"\r\n"
    "[groupX1]\r\n\"SCSI Monitor\",\"C:\\WINDOWS\\SCSIMON.EXE\",,,,\"C:\\WINDOWS\"\r\n"
    "[groupX2]\r\n\"Uninstall, all\",\"C:\\WINDOWS\\UNINST.EXE /a\",,,,\"C:\\WINDOWS\"\r\n"
    "[groupX3]\r\n\"../x\",\"C:\\WINDOWS\\X.EXE\"\r\n";

class GroupConverterRunTest : public ::testing::TestWithParam<const char*> {
 protected:
  GroupConverterRunTest() : host_(testing::TestHost::Settings{.version = GetParam()}) {}
  testing::TestHost host_;
  Shell& shell() { return Shell::Of(host_.host()); }
  bool Nt() const { return std::string(GetParam()) == "nt4"; }
  std::string Programs() const {
    return Nt() ? "C:\\WINDOWS\\Profiles\\Administrator\\Start Menu\\Programs"
                : "C:\\WINDOWS\\Start Menu\\Programs";
  }
  std::string StartupName() const { return Nt() ? "Startup" : "StartUp"; }
  void WriteSetupIni() {
    std::string text = kSetupIni;
    text.replace(text.find("%STARTUP%"), 9, StartupName());
    host_.WriteFile("C:\\WINDOWS\\SETUP.INI", text);
  }
};

TEST_P(GroupConverterRunTest, StartupBecomesAutostartOtherGroupsTheMenuAndShortcutsExist) {
  WriteSetupIni();
  ASSERT_EQ(shell().WinExec("grpconv -o", 4), 33u);  // no file needed: the shell's own program
  EXPECT_EQ(shell().Starts().back().program, "C:\\WINDOWS\\grpconv.EXE");
  EXPECT_EQ(shell().Starts().back().exitCode, 0);

  const fs::path menu = host_.root() / "menu";
  const std::string autostart = ReadText(menu / "autostart" / "scansuite-SCSI-Monitor.desktop");
  EXPECT_NE(autostart.find("Name=SCSI Monitor\n"), std::string::npos) << autostart;
  EXPECT_NE(autostart.find(" scanhost start \"C:\\\\\\\\WINDOWS\\\\\\\\SCSIMON.EXE\"\n"),
            std::string::npos) << autostart;
  EXPECT_FALSE(fs::exists(menu / "menus" / "applications-merged" /
                          ("scansuite-" + StartupName() + ".menu")));
  const std::string second = ReadText(menu / "applications" / "scansuite-Korin-Tools-2.desktop");
  EXPECT_NE(second.find("Name=Uninstall, all\n"), std::string::npos) << second;
  EXPECT_TRUE(fs::exists(menu / "applications" / "scansuite-Korin-Tools-1.desktop"));
  EXPECT_TRUE(fs::exists(menu / "applications" / "scansuite-------Evil-1.desktop"));

  FileSystem& files = host_.host().files();
  const ReadLink startup = Parse(
      files.ReadFile(Programs() + "\\" + StartupName() + "\\SCSI Monitor.LNK").value_or(""));
  EXPECT_EQ(startup.strings,
            (std::vector<std::string>{"SCSI Monitor", "C:\\WINDOWS\\SCSIMON.EXE", "C:\\WINDOWS"}));
  const ReadLink uninstall =
      Parse(files.ReadFile(Programs() + "\\Korin Tools\\Uninstall, all.LNK").value_or(""));
  EXPECT_EQ(uninstall.strings, (std::vector<std::string>{"Uninstall, all", "C:\\WINDOWS\\UNINST.EXE",
                                                         "C:\\WINDOWS", "/a"}));
  EXPECT_TRUE(files.Exists(Programs() + "\\Korin Tools\\SCSI Monitor.LNK"));
  EXPECT_TRUE(files.Exists(Programs() + "\\.._.._Evil\\.._x.LNK"));
  // Every shortcut is inside the Programs folder: the odd group name went nowhere else.
  int links = 0;
  for (const auto& e : fs::recursive_directory_iterator(host_.root())) {
    if (e.path().extension() != ".LNK") continue;
    ++links;
    const std::string path = files.ToWindowsPath(e.path());
    EXPECT_EQ(path.rfind(Programs() + "\\", 0), 0u) << path;
  }
  EXPECT_EQ(links, 4);

  if (std::system("desktop-file-validate --help >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "desktop-file-validate is not installed (scripts/bootstrap)";
  }
  for (const auto& e : fs::recursive_directory_iterator(menu)) {
    if (e.path().extension() != ".desktop" && e.path().extension() != ".directory") continue;
    const std::string command = "desktop-file-validate --no-hints '" + e.path().string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadText(e.path());
  }
}

TEST_P(GroupConverterRunTest, WithoutItsFileOrWithOtherArgumentsNothingIsMade) {
  ASSERT_EQ(shell().WinExec("grpconv -o", 4), 33u);
  EXPECT_EQ(shell().Starts().back().exitCode, 1);
  WriteSetupIni();
  ASSERT_EQ(shell().WinExec("grpconv", 4), 33u);
  EXPECT_EQ(shell().Starts().back().exitCode, 2);
  ASSERT_EQ(shell().WinExec("grpconv -o -x", 4), 33u);
  EXPECT_EQ(shell().Starts().back().exitCode, 2);
  EXPECT_FALSE(fs::exists(host_.root() / "menu"));
  // The shell's own program is only in the Windows folder.
  EXPECT_EQ(shell().WinExec("A:\\GRPCONV.EXE -o", 4), 2u);
}

// Failing each file operation of a conversion in turn: the exit code tells that something was not
// written, and whatever shortcut file exists is whole, with no temporary file left beside it.
TEST_P(GroupConverterRunTest, EveryFailedFileOperationIsReportedAndLeavesNoPartialShortcut) {
  for (uint64_t n = 1;; ++n) {
    testing::TestHost host(testing::TestHost::Settings{.version = GetParam()});
    std::string text = kSetupIni;
    text.replace(text.find("%STARTUP%"), 9, StartupName());
    host.WriteFile("C:\\WINDOWS\\SETUP.INI", text);
    Shell& shell = Shell::Of(host.host());
    host.host().faults().FailNth("files", n);
    ASSERT_EQ(shell.WinExec("grpconv -o", 4), 33u);
    const int code = shell.Starts().back().exitCode;
    const uint64_t failures = host.host().faults().Failures("files");
    host.host().faults().ClearAll();
    if (failures == 0) {
      EXPECT_EQ(code, 0);
      break;
    }
    EXPECT_TRUE(code == 1 || code == 3) << "failing file operation " << n << ": " << code;
    for (const auto& e : fs::recursive_directory_iterator(host.root())) {
      const std::string name = e.path().filename().string();
      EXPECT_EQ(name.find(".LNK.~"), std::string::npos) << n << ": " << name;
      if (e.path().extension() != ".LNK") continue;
      const ReadLink link = Parse(ReadText(e.path()));
      EXPECT_EQ(link.headerSize, 0x4Cu) << n << ": " << name;
      EXPECT_EQ(link.terminal, 0u) << n << ": " << name;
    }
    ASSERT_LT(n, 100u);
  }
}

INSTANTIATE_TEST_SUITE_P(Presets, GroupConverterRunTest, ::testing::Values("win98", "nt4"));

}  // namespace
}  // namespace platform
