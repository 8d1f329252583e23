#include <gtest/gtest.h>

#include "platform/files/files.h"
#include "platform/system/errors.h"
#include "test_host.h"

namespace platform {
namespace {

class FilesInUseTest : public ::testing::Test {
 protected:
  testing::TestHost host_;
  FileSystem& files() { return host_.host().files(); }
  void SetUp() override {
    host_.WriteFile("C:\\WINDOWS\\SCSIMON.EXE", "MZ old");
    host_.WriteFile("A:\\SCSIMON.EXE", "MZ new");
  }
};

TEST_F(FilesInUseTest, AHeldFileRefusesEveryChangeWithTheWindowsError) {
  ASSERT_TRUE(files().HoldInUse("c:\\windows\\scsimon.exe"));  // any case names the same file
  EXPECT_TRUE(files().InUse("C:\\WINDOWS\\SCSIMON.EXE"));
  const char* held = "C:\\WINDOWS\\SCSIMON.EXE";

  EXPECT_FALSE(files().CopyFile("A:\\SCSIMON.EXE", held, false));
  EXPECT_EQ(GetLastError(), 32u);  // ERROR_SHARING_VIOLATION
  EXPECT_FALSE(files().WriteFileAtomic(held, "MZ x"));
  EXPECT_EQ(GetLastError(), 32u);
  EXPECT_FALSE(File::Open(files(), held, File::Mode::kWrite));
  EXPECT_EQ(GetLastError(), 32u);
  EXPECT_FALSE(File::Open(files(), held, File::Mode::kAppend));
  EXPECT_EQ(GetLastError(), 32u);
  EXPECT_FALSE(files().ReplaceFile("A:\\SCSIMON.EXE", held));
  EXPECT_EQ(GetLastError(), 32u);
  EXPECT_FALSE(files().DeleteFile(held));
  EXPECT_EQ(GetLastError(), 5u);  // ERROR_ACCESS_DENIED
  EXPECT_FALSE(files().MoveFile(held, "C:\\WINDOWS\\OLD.EXE"));
  EXPECT_EQ(GetLastError(), 5u);
  EXPECT_EQ(files().ReadFile(held), "MZ old");

  // Reading and copying it elsewhere go on as usual.
  EXPECT_TRUE(File::Open(files(), held, File::Mode::kRead));
  EXPECT_TRUE(files().CopyFile(held, "C:\\COPY.EXE", false));
  EXPECT_EQ(files().ReadFile("C:\\COPY.EXE"), "MZ old");
}

TEST_F(FilesInUseTest, HoldsAreCountedAndOnlyTheHeldFileIsRefused) {
  ASSERT_TRUE(files().HoldInUse("C:\\WINDOWS\\SCSIMON.EXE"));
  ASSERT_TRUE(files().HoldInUse("C:\\WINDOWS\\SCSIMON.EXE"));
  EXPECT_TRUE(files().WriteFileAtomic("C:\\WINDOWS\\OTHER.EXE", "MZ"));
  files().ReleaseInUse("C:\\WINDOWS\\SCSIMON.EXE");
  EXPECT_FALSE(files().CopyFile("A:\\SCSIMON.EXE", "C:\\WINDOWS\\SCSIMON.EXE", false));
  files().ReleaseInUse("C:\\WINDOWS\\SCSIMON.EXE");
  EXPECT_FALSE(files().InUse("C:\\WINDOWS\\SCSIMON.EXE"));
  EXPECT_TRUE(files().CopyFile("A:\\SCSIMON.EXE", "C:\\WINDOWS\\SCSIMON.EXE", false));
  EXPECT_EQ(files().ReadFile("C:\\WINDOWS\\SCSIMON.EXE"), "MZ new");
  files().ReleaseInUse("C:\\WINDOWS\\SCSIMON.EXE");  // one release too many changes nothing
  EXPECT_FALSE(files().InUse("C:\\WINDOWS\\SCSIMON.EXE"));
}

TEST_F(FilesInUseTest, OnlyAnExistingFileCanBeHeld) {
  EXPECT_FALSE(files().HoldInUse("C:\\WINDOWS\\MISSING.EXE"));
  EXPECT_EQ(GetLastError(), 2u);
  EXPECT_FALSE(files().HoldInUse("C:\\WINDOWS"));
  EXPECT_FALSE(files().HoldInUse("Q:\\X.EXE"));
  EXPECT_FALSE(files().InUse("C:\\WINDOWS"));
}

}  // namespace
}  // namespace platform
