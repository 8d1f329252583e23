// Short (8.3) names: valid short names kept, long names formed with their tails, numbering among
// rivals of the same folder, and whole paths.
#include <gtest/gtest.h>

#include "files_fixture.h"
#include "platform/files/short_name.h"

namespace platform {
namespace {

using testing::DriveC;

TEST(ShortName, ValidShortNamesAreOnlyCapitalised) {
  EXPECT_TRUE(IsShortName("CONFIG.SYS"));
  EXPECT_TRUE(IsShortName("abcdefgh.ijk"));
  EXPECT_FALSE(IsShortName("abcdefghi"));       // nine characters
  EXPECT_FALSE(IsShortName("abc.defg"));        // a four-character extension
  EXPECT_FALSE(IsShortName("a b.txt"));
  EXPECT_FALSE(IsShortName("a.b.c"));
  EXPECT_FALSE(IsShortName("a+b"));
  EXPECT_FALSE(IsShortName("a."));
  EXPECT_EQ(ShortNameAmong("readme.txt", {}), "README.TXT");
}

TEST(ShortName, LongNamesTakeSixCharactersAndATail) {
  // Worked figures of the rule: spaces and extra dots dropped, '+' becomes '_'.
  EXPECT_EQ(ShortNameAmong("Program Files", {}), "PROGRA~1");
  EXPECT_EQ(ShortNameAmong("Long Program", {}), "LONGPR~1");
  EXPECT_EQ(ShortNameAmong("monitor.html", {}), "MONITO~1.HTM");
  EXPECT_EQ(ShortNameAmong("my.setup.file.txt", {}), "MYSETU~1.TXT");
  EXPECT_EQ(ShortNameAmong("a+b c.d", {}), "A_BC~1.D");
  EXPECT_EQ(ShortNameAmong(".profile", {}), "PROFIL~1");
}

TEST(ShortName, RivalsAreNumberedInNameOrderSkippingTakenShortNames) {
  const std::vector<std::string> folder = {"Program Files", "Programming Notes", "PROGRA~2",
                                           "Program Data"};
  // Name order: "Program Data", "Program Files", "Programming Notes"; ~2 is taken.
  EXPECT_EQ(ShortNameAmong("Program Data", folder), "PROGRA~1");
  EXPECT_EQ(ShortNameAmong("Program Files", folder), "PROGRA~3");
  EXPECT_EQ(ShortNameAmong("Programming Notes", folder), "PROGRA~4");
}

TEST(ShortName, TailsPastNineTakeABaseCharacter) {
  std::vector<std::string> folder;
  for (int i = 0; i < 12; ++i) folder.push_back("Document number " + std::to_string(100 + i));
  EXPECT_EQ(ShortNameAmong(folder[8], folder), "DOCUME~9");
  EXPECT_EQ(ShortNameAmong(folder[9], folder), "DOCUM~10");
  EXPECT_EQ(ShortNameAmong(folder[11], folder), "DOCUM~12");
}

TEST(ShortName, WholePathsOfExistingFilesAndTheSameFormOnEveryCall) {
  DriveC c;
  c.Put(c.c() / "WINDOWS" / "Start Menu" / "Programs" / "Long Program" / "monitor.exe", "x");
  c.Put(c.c() / "WINDOWS" / "Start Menu" / "Programs" / "Long Programs Too" / "a.txt", "x");
  auto first = GetShortPathName(c.fs(), "C:\\windows\\start menu\\programs\\long program\\MONITOR.EXE");
  ASSERT_TRUE(first);
  EXPECT_EQ(*first, "C:\\WINDOWS\\STARTM~1\\PROGRAMS\\LONGPR~1\\MONITOR.EXE");
  EXPECT_EQ(GetShortPathName(c.fs(), "C:\\WINDOWS\\Start Menu\\Programs\\Long Programs Too\\a.txt"),
            "C:\\WINDOWS\\STARTM~1\\PROGRAMS\\LONGPR~2\\A.TXT");
  EXPECT_EQ(GetShortPathName(c.fs(), "C:\\windows\\start menu\\programs\\long program\\MONITOR.EXE"),
            first);
  EXPECT_FALSE(GetShortPathName(c.fs(), "C:\\WINDOWS\\missing.exe"));
}

}  // namespace
}  // namespace platform
