#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/clock/clock.h"
#include "platform/faults/faults.h"
#include "platform/shell/desktop_menu.h"
#include "platform/shell/shell.h"
#include "test_host.h"

namespace platform {
namespace {

std::string ReadText(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(ShellProgmanParseTest, CommandsArgumentsAndQuotes) {
  auto c = ParseProgmanCommands(
      " [CreateGroup(Orvex Scanner)] [AddItem(\"a,b.exe\" x, Name ,C:\\I.ICO)][ShowGroup(G,6)]");
  ASSERT_TRUE(c);
  ASSERT_EQ(c->size(), 3u);
  EXPECT_EQ((*c)[0].args, std::vector<std::string>{"Orvex Scanner"});
  EXPECT_EQ((*c)[1].args, (std::vector<std::string>{"a,b.exe x", "Name", "C:\\I.ICO"}));
  EXPECT_EQ((*c)[2].name, "ShowGroup");
  for (const char* bad : {"", "CreateGroup(x)", "[CreateGroup(x)", "[CreateGroup(x]",
                          "[(x)]", "[A(\"x)]", "[A(x)]junk", "[A(x(y))]"}) {
    EXPECT_FALSE(ParseProgmanCommands(bad)) << bad;
  }
}

class ShellProgramManagerTest : public ::testing::Test {
 protected:
  testing::TestHost host_;
  Shell& shell() { return Shell::Of(host_.host()); }
  std::filesystem::path Menu() { return host_.root() / "menu"; }
};

TEST_F(ShellProgramManagerTest, ItemsNeedAGroupAndBecomeDesktopEntries) {
  ProgramManager& pm = shell().programManager();
  EXPECT_FALSE(pm.Execute("[AddItem(notepad.exe,Editor)]"));
  EXPECT_TRUE(pm.Execute("[CreateGroup(Orvex Scanner)][AddItem(control.exe kvctrl32.cpl,"
                         "Orvex TWAIN 32 Setup,C:\\WINDOWS\\kvctrl32.cpl)]"));
  EXPECT_TRUE(pm.Execute("[ShowGroup(orvex scanner, 6)]"));
  EXPECT_FALSE(pm.Execute("[ShowGroup(Other, 6)]"));
  const std::string entry =
      ReadText(Menu() / "applications" / "scansuite-Orvex-Scanner-1.desktop");
  EXPECT_NE(entry.find("Name=Orvex TWAIN 32 Setup\n"), std::string::npos);
  EXPECT_NE(entry.find(" scanhost start control.exe kvctrl32.cpl\n"), std::string::npos);
  EXPECT_NE(entry.find("Categories=X-Scansuite-Orvex-Scanner;\n"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(
      Menu() / "menus" / "applications-merged" / "scansuite-Orvex-Scanner.menu"));
  EXPECT_TRUE(pm.Execute("[DeleteGroup(Orvex Scanner)]"));
  EXPECT_FALSE(std::filesystem::exists(
      Menu() / "applications" / "scansuite-Orvex-Scanner-1.desktop"));
}

// A menu file that cannot be put in place (a folder stands there) fails the write and leaves no
// half-made file beside it.
TEST_F(ShellProgramManagerTest, AFileThatCannotBePutInPlaceLeavesNothingBehind) {
  const DesktopMenu menu(Menu(), host_.root());
  const ProgramGroup group{"Blocked", {ProgramItem{"Editor", "notepad.exe", ""}}};
  std::filesystem::create_directories(menu.DesktopFile("Blocked", 0) / "in-the-way");
  EXPECT_FALSE(menu.WriteGroup(group));
  const auto folder = menu.DesktopFile("Blocked", 0).parent_path();
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    EXPECT_NE(e.path().extension(), ".tmp") << e.path();
  }
  EXPECT_TRUE(std::filesystem::exists(menu.DirectoryFile("Blocked")));
}

TEST_F(ShellProgramManagerTest, ExecQuotesBackslashesAndPercentSigns) {
  // Worked by hand from the desktop entry rules: quote the word, escape the backslash inside the
  // quotes, then escape every backslash again for the string value.
  EXPECT_EQ(DesktopMenu::ExecLine("A:\\X.EXE 50%", "/r"),
            "env SCANSUITE_ROOT=/r scanhost start \"A:\\\\X.EXE\" 50%%");
  EXPECT_EQ(DesktopMenu::EscapeString("\"A:\\\\X.EXE\""), "\"A:\\\\\\\\X.EXE\"");
}

TEST_F(ShellProgramManagerTest, AwkwardNamesPassDesktopFileValidate) {
  if (std::system("desktop-file-validate --help >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "desktop-file-validate is not installed (scripts/bootstrap)";
  }
  ProgramManager& pm = shell().programManager();
  ASSERT_TRUE(pm.Execute("[CreateGroup(\"Scan & Co <2>\")]"
                         "[AddItem(C:\\PROG FILES\\SCAN.EXE /a \"x\",100% \\ Scan,)]"
                         "[AddItem(notepad.exe $HOME `x`;y,Notes)]"));
  int files = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(Menu())) {
    const auto ext = e.path().extension();
    if (ext != ".desktop" && ext != ".directory") continue;
    ++files;
    const std::string command = "desktop-file-validate --no-hints '" + e.path().string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadText(e.path());
  }
  EXPECT_EQ(files, 3);
}

TEST_F(ShellProgramManagerTest, DdeReachesOnlyTheProgramManagerAndTimesOut) {
  const DdeInstance instance = shell().DdeInitialize();
  EXPECT_EQ(shell().DdeConnect(instance, "WINWORD", "PROGMAN"), 0u);
  EXPECT_EQ(shell().DdeConnect(instance + 100, "PROGMAN", "PROGMAN"), 0u);
  const DdeConversation c = shell().DdeConnect(instance, "progman", "PROGMAN");
  ASSERT_NE(c, 0u);
  EXPECT_TRUE(shell().DdeExecute(c, "[CreateGroup(G)]", 1000));
  host_.host().faults().FailNth("shell.dde", 1);
  const uint64_t before = host_.clock().NowMs();
  EXPECT_FALSE(shell().DdeExecute(c, "[ShowGroup(G,1)]", 1000));
  EXPECT_EQ(host_.clock().NowMs() - before, 1000u);
  EXPECT_TRUE(shell().DdeUninitialize(instance));
  EXPECT_FALSE(shell().DdeExecute(c, "[ShowGroup(G,1)]", 1000));
}

}  // namespace
}  // namespace platform
