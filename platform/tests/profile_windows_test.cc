// Profile files read and written as Windows reads and writes them, in the corners real files
// reach: zero bytes, lone CR line ends, lines without '=', buffers that fit exactly.
#include <gtest/gtest.h>

#include <string>

#include "files_fixture.h"
#include "platform/profile/profile.h"

namespace platform {
namespace {

class ProfileWindowsTest : public ::testing::Test {
 protected:
  testing::DriveC drive;
  ProfileFiles profiles{drive.fs(), "C:\\WINDOWS"};
  std::filesystem::path ini = drive.c() / "WINDOWS" / "TEST.INI";

  // The bytes a call left in a buffer of `size`, up to the count it returned plus its zeros.
  std::string List(const char* section, uint32_t size, uint32_t* returned) {
    std::string buffer(size, '\x7f');
    *returned = profiles.GetString(section, nullptr, "", buffer.data(), size, "test.ini");
    return buffer;
  }
};

TEST_F(ProfileWindowsTest, AZeroByteEndsTheTextAndWhatFollowsItIsKept) {
  const std::string tail("\0\0\0[Ghost]\r\nx=1\r\n", 17);
  drive.Put(ini, "[S]\r\na=1\r\n" + tail);
  char buffer[64] = {};
  EXPECT_EQ(profiles.GetSection("S", buffer, sizeof buffer, "test.ini"), 4u);  // "a=1\0" only
  EXPECT_EQ(std::string(buffer, 5), std::string("a=1\0\0", 5));
  EXPECT_EQ(profiles.GetSections("test.ini"), std::vector<std::string>{"S"});
  EXPECT_EQ(profiles.GetStringValue("Ghost", "x", "none", "test.ini"), "none");
  // A write goes before the zero bytes, which stay as they were.
  ASSERT_TRUE(profiles.WriteString("S", "b", "2", "test.ini"));
  EXPECT_EQ(drive.Slurp(ini), "[S]\r\na=1\r\nb=2\r\n" + tail);
}

TEST_F(ProfileWindowsTest, ALoneCrEndsALineAndNewLinesFollowTheFile) {
  drive.Put(ini, "[Old]\rno\ra=1\r");
  EXPECT_EQ(profiles.GetStringValue("Old", "a", "", "test.ini"), "1");
  ASSERT_TRUE(profiles.WriteString("New", "key", "value", "test.ini"));
  EXPECT_EQ(profiles.GetStringValue("New", "key", "", "test.ini"), "value");
  EXPECT_EQ(drive.Slurp(ini), "[Old]\rno\ra=1\r[New]\rkey=value\r");
  // CR LF is one line end, not a lone CR and then an empty line.
  drive.Put(ini, "[S]\r\nk=v\r\n");
  ASSERT_TRUE(profiles.WriteString("S", "k2", "w", "test.ini"));
  EXPECT_EQ(drive.Slurp(ini), "[S]\r\nk=v\r\nk2=w\r\n");
}

TEST_F(ProfileWindowsTest, LinesWithoutEqualsAreLeftOutOfKeyListsOnly) {
  drive.Put(ini, "[S]\r\nflag\r\nk=v\r\n");
  EXPECT_EQ(profiles.GetKeys("S", "test.ini"), std::vector<std::string>{"k"});
  uint32_t n = 0;
  EXPECT_EQ(List("S", 16, &n).substr(0, 3), std::string("k\0\0", 3));
  EXPECT_EQ(n, 2u);
  char buffer[32] = {};
  // A whole-section read returns every line.
  EXPECT_EQ(profiles.GetSection("S", buffer, sizeof buffer, "test.ini"), 9u);
  EXPECT_EQ(std::string(buffer, 10), std::string("flag\0k=v\0\0", 10));
}

// "ab\0cd\0" and its final zero take 7 bytes: 7 fits, 6 is cut to size-2 with two zeros.
TEST_F(ProfileWindowsTest, ListReadsFitExactlyOrEndInTwoZerosAtSizeMinusTwo) {
  drive.Put(ini, "[S]\r\nab=1\r\ncd=2\r\n[T]\r\n");
  uint32_t n = 0;
  std::string fits = List("S", 7, &n);
  EXPECT_EQ(n, 6u);
  EXPECT_EQ(fits, std::string("ab\0cd\0\0", 7));
  std::string cut = List("S", 6, &n);
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(cut, std::string("ab\0c\0\0", 6));
  // Section names: "S\0T\0" and the final zero.
  std::string names(5, '\x7f');
  EXPECT_EQ(profiles.GetString(nullptr, nullptr, "", names.data(), 5, "test.ini"), 4u);
  EXPECT_EQ(names, std::string("S\0T\0\0", 5));
  EXPECT_EQ(profiles.GetString(nullptr, nullptr, "", names.data(), 4, "test.ini"), 2u);
  EXPECT_EQ(names.substr(0, 4), std::string("S\0\0\0", 4));
  // A single value: "abc" fits a buffer of 4 and is cut to 2 characters in a buffer of 3.
  drive.Put(ini, "[S]\r\nk=abc\r\n");
  char value[4];
  EXPECT_EQ(profiles.GetString("S", "k", "", value, 4, "test.ini"), 3u);
  EXPECT_STREQ(value, "abc");
  EXPECT_EQ(profiles.GetString("S", "k", "", value, 3, "test.ini"), 2u);
  EXPECT_STREQ(value, "ab");
}

}  // namespace
}  // namespace platform
