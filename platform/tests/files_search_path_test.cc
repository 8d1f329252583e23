// SearchPath: the program's folder, the current directory, the system folder, the Windows folder.
#include <gtest/gtest.h>

#include "files_fixture.h"
#include "platform/files/search_path.h"
#include "platform/system/errors.h"
#include "platform/system/system.h"

namespace platform {
namespace {

using testing::DriveC;

TEST(SearchPath, FoldersInWindowsOrder) {
  DriveC c;
  SystemInfo system(WindowsVersion::kWin98, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM");
  c.Put(c.c() / "WINDOWS" / "Vevezu.ini", "w");
  EXPECT_EQ(SearchPath(c.fs(), system, "", "vevezu.ini"), "C:\\WINDOWS\\vevezu.ini");
  c.Put(c.c() / "WINDOWS" / "SYSTEM" / "Vevezu.ini", "s");
  EXPECT_EQ(SearchPath(c.fs(), system, "", "Vevezu.ini"), "C:\\WINDOWS\\SYSTEM\\Vevezu.ini");
  c.Put(c.c() / "Vevezu.ini", "current");
  EXPECT_EQ(SearchPath(c.fs(), system, "", "Vevezu.ini"), "C:\\Vevezu.ini");
  c.Put(c.c() / "APP" / "Vevezu.ini", "app");
  EXPECT_EQ(SearchPath(c.fs(), system, "C:\\APP", "Vevezu.ini"), "C:\\APP\\Vevezu.ini");
}

TEST(SearchPath, MissingNamesAndFoldersAreNotFound) {
  DriveC c;
  SystemInfo system(WindowsVersion::kNt4, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM32");
  std::filesystem::create_directories(c.c() / "WINDOWS" / "Vevezu.ini");  // a folder, not a file
  EXPECT_FALSE(SearchPath(c.fs(), system, "", "Vevezu.ini"));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_FALSE(SearchPath(c.fs(), system, "", ""));
  c.Put(c.c() / "X" / "f.ini", "x");
  EXPECT_EQ(SearchPath(c.fs(), system, "", "C:\\X\\f.ini"), "C:\\X\\f.ini");
  EXPECT_FALSE(SearchPath(c.fs(), system, "", "X\\missing.ini"));
}

}  // namespace
}  // namespace platform
