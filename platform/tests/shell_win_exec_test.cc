#include <gtest/gtest.h>

#include "platform/files/files.h"
#include "platform/shell/shell.h"
#include "test_host.h"

namespace platform {
namespace {

class ShellWinExecTest : public ::testing::Test {
 protected:
  testing::TestHost host_;
  Shell& shell() { return Shell::Of(host_.host()); }
};

TEST_F(ShellWinExecTest, MissingFolderMissingFileAndNonProgramHaveTheirCodes) {
  host_.WriteFile("A:\\TOOLS\\README.EXE", "just text");
  EXPECT_EQ(shell().WinExec("A:\\NOWHERE\\SETUP /S", 1), 3u);
  EXPECT_EQ(shell().WinExec("A:\\TOOLS\\SETUP /S", 1), 2u);
  EXPECT_EQ(shell().WinExec("A:\\TOOLS\\README", 1), 11u);
  EXPECT_EQ(shell().WinExec("", 1), 2u);
  EXPECT_TRUE(shell().Starts().empty());
}

TEST_F(ShellWinExecTest, ProgramsAreRecordedWithTheFileThatWasFound) {
  host_.WriteFile("A:\\TOOLS\\SETUP.EXE", "MZ program");
  host_.WriteFile("C:\\WINDOWS\\NOTEPAD.EXE", "MZ editor");
  EXPECT_EQ(shell().WinExec("a:\\tools\\setup /SILENT", 1), 33u);
  EXPECT_EQ(shell().WinExec("notepad readme.txt", 3), 33u);
  ASSERT_EQ(shell().Starts().size(), 2u);
  EXPECT_EQ(shell().Starts()[0].commandLine, "a:\\tools\\setup /SILENT");
  EXPECT_EQ(shell().Starts()[0].program, "a:\\tools\\setup.EXE");
  EXPECT_EQ(shell().Starts()[1].program, "C:\\WINDOWS\\notepad.EXE");
  EXPECT_EQ(shell().Starts()[1].show, 3);
}

TEST_F(ShellWinExecTest, OurOwnProgramsRunWithTheirArguments) {
  host_.WriteFile("A:\\ASPIINST.EXE", "stand-in, not an image");
  std::vector<std::string> seen;
  shell().RegisterProgram("aspiinst.exe", [&](const std::vector<std::string>& args) {
    seen = args;
    return 7;
  });
  EXPECT_EQ(shell().WinExec("A:\\ASPIINST /SILENT  /Q", 1), 33u);
  EXPECT_EQ(seen, (std::vector<std::string>{"/SILENT", "/Q"}));
  EXPECT_EQ(shell().Starts().back().exitCode, 7);
}

TEST_F(ShellWinExecTest, RestartIsRecordedShownAndCleared) {
  EXPECT_FALSE(shell().PendingRestart());
  ASSERT_TRUE(shell().RecordRestart("dssetup"));
  auto pending = shell().PendingRestart();
  ASSERT_TRUE(pending);
  EXPECT_EQ(pending->program, "dssetup");
  EXPECT_EQ(pending->time.size(), 20u);  // 2026-12-08T15:00:00Z
  EXPECT_TRUE(shell().ClearRestart());
  EXPECT_FALSE(shell().PendingRestart());
  EXPECT_FALSE(shell().ClearRestart());
}

}  // namespace
}  // namespace platform
