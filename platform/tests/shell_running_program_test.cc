#include <gtest/gtest.h>

#include "platform/files/files.h"
#include "platform/shell/shell.h"
#include "platform/system/errors.h"
#include "test_host.h"

namespace platform {
namespace {

class ShellRunningProgramTest : public ::testing::Test {
 protected:
  testing::TestHost host_;
  Shell& shell() { return Shell::Of(host_.host()); }
  FileSystem& files() { return host_.host().files(); }
};

TEST_F(ShellRunningProgramTest, AStartedProgramHoldsItsFileAndWindowUntilAskedToClose) {
  host_.WriteFile("C:\\WINDOWS\\ScsiMon.exe", "MZ monitor");
  host_.WriteFile("A:\\SCSIMON.EXE", "MZ newer monitor");
  EXPECT_EQ(shell().FindWindow("SCSIMON"), 0u);
  ASSERT_EQ(shell().WinExec("C:\\WINDOWS\\SCSIMON.EXE C:\\WINDOWS\\SCSIMON.EXE", 1), 33u);

  // The window's title is the file's name as it is on disk, found in any case.
  const Hwnd window = shell().FindWindow("scsimon");
  ASSERT_NE(window, 0u);
  EXPECT_GE(window, 0x40000000u);
  ASSERT_EQ(shell().Running().size(), 1u);
  EXPECT_EQ(shell().Running()[0].title, "ScsiMon");
  EXPECT_EQ(shell().FindWindow("SCSIMON.EXE"), 0u);
  EXPECT_EQ(shell().FindWindow("SCSIMO"), 0u);

  EXPECT_FALSE(files().CopyFile("A:\\SCSIMON.EXE", "C:\\WINDOWS\\SCSIMON.EXE", false));
  EXPECT_EQ(GetLastError(), 32u);

  EXPECT_FALSE(shell().RequestClose(window + 1));
  EXPECT_TRUE(shell().RequestClose(window));
  EXPECT_EQ(shell().FindWindow("SCSIMON"), 0u);
  EXPECT_FALSE(shell().RequestClose(window));
  EXPECT_TRUE(files().CopyFile("A:\\SCSIMON.EXE", "C:\\WINDOWS\\SCSIMON.EXE", false));
}

TEST_F(ShellRunningProgramTest, TwoInstancesHaveTwoWindowsAndTheFileStaysHeldUntilBothEnd) {
  host_.WriteFile("C:\\WINDOWS\\SCSIMON.EXE", "MZ monitor");
  ASSERT_EQ(shell().WinExec("SCSIMON", 1), 33u);
  ASSERT_EQ(shell().WinExec("SCSIMON", 1), 33u);
  ASSERT_EQ(shell().Running().size(), 2u);
  EXPECT_NE(shell().Running()[0].window, shell().Running()[1].window);
  EXPECT_TRUE(shell().RequestClose(shell().FindWindow("SCSIMON")));
  EXPECT_TRUE(files().InUse("C:\\WINDOWS\\SCSIMON.EXE"));
  EXPECT_TRUE(shell().RequestClose(shell().FindWindow("SCSIMON")));
  EXPECT_FALSE(files().InUse("C:\\WINDOWS\\SCSIMON.EXE"));
}

TEST_F(ShellRunningProgramTest, ProgramsOfOursAndFailedStartsLeaveNothingRunning) {
  host_.WriteFile("A:\\ASPIINST.EXE", "stand-in");
  host_.WriteFile("A:\\README.EXE", "text");
  shell().RegisterProgram("ASPIINST.EXE", [](const std::vector<std::string>&) { return 0; });
  EXPECT_EQ(shell().WinExec("A:\\ASPIINST.EXE", 1), 33u);
  EXPECT_EQ(shell().WinExec("A:\\README.EXE", 1), 11u);
  EXPECT_EQ(shell().WinExec("A:\\MISSING.EXE", 1), 2u);
  EXPECT_TRUE(shell().Running().empty());
  EXPECT_FALSE(files().InUse("A:\\ASPIINST.EXE"));
}

}  // namespace
}  // namespace platform
