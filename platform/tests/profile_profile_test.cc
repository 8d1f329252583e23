#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

#include "files_fixture.h"
#include "platform/profile/profile.h"

namespace platform {
namespace {

class ProfileTest : public ::testing::Test {
 protected:
  testing::DriveC drive;
  ProfileFiles profiles{drive.fs(), "C:\\WINDOWS"};
  std::filesystem::path ini = drive.c() / "WINDOWS" / "TEST.INI";

  std::string Get(const char* section, const char* key, const char* def = "dflt",
                  uint32_t size = 256) {
    std::string buffer(size, '\x7f');
    uint32_t n = profiles.GetString(section, key, def, buffer.data(), size, "test.ini");
    EXPECT_EQ(buffer[n], '\0');
    return buffer.substr(0, n);
  }

  // The file `entries` make of `original`, written all at once or one by one.
  std::string Written(const std::string& original, const std::vector<ProfileEntry>& entries,
                      bool atOnce) {
    std::filesystem::remove(ini);  // a new file each time, never one rewritten in place
    drive.Put(ini, original);
    if (atOnce) {
      EXPECT_TRUE(profiles.WriteStrings(entries, "test.ini"));
    } else {
      for (const ProfileEntry& e : entries) {
        EXPECT_TRUE(profiles.WriteString(e.section.c_str(), e.key.c_str(), e.value.c_str(), "test.ini"));
      }
    }
    return testing::DriveC::Slurp(ini);
  }
};

TEST_F(ProfileTest, MatchesWithoutCaseAndFirstDuplicateWins) {
  drive.Put(ini, "[Scanner]\nPort = 1\nport=2\n[SCANNER]\nport=3\nOther=x\n");
  EXPECT_EQ(Get("scanner", "PORT"), "1");
  EXPECT_EQ(Get("SCANNER", "other"), "dflt");  // only the first section of that name counts
  EXPECT_EQ(profiles.GetInt("sCaNnEr", "Port", 9, "TEST.INI"), 1);
}

TEST_F(ProfileTest, TrimsBlanksAndOnePairOfQuotes) {
  drive.Put(ini, "[s]\n  a  =   spaced value \t\nb=\"quoted\"\nc=\"\"twice\"\"\nd=\"half\ne=\n"
                 "f=\"\"\ng=\"\nh= \" x \" \n");
  EXPECT_EQ(Get("s", "a"), "spaced value");
  EXPECT_EQ(Get("s", "b"), "quoted");
  EXPECT_EQ(Get("s", "c"), "\"twice\"");
  EXPECT_EQ(Get("s", "d"), "\"half");
  EXPECT_EQ(Get("s", "e"), "");  // present but empty is not the default
  EXPECT_EQ(Get("s", "f"), "");  // a pair of quotes around nothing
  EXPECT_EQ(Get("s", "g"), "\"");  // one quote is not a pair
  EXPECT_EQ(Get("s", "h"), " x ");  // blanks trimmed outside the quotes only
}

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesDefault) {
  EXPECT_EQ(Get("s", "k", "fallback  "), "fallback");
  drive.Put(ini, "[s]\nk=v\n");
  EXPECT_EQ(Get("other", "k", "d"), "d");
  EXPECT_EQ(Get("s", "missing", nullptr), "");
}

TEST_F(ProfileTest, ValueLongerThanBufferIsCutToSizeMinusOne) {
  drive.Put(ini, "[s]\nk=0123456789\n");
  EXPECT_EQ(Get("s", "k", "", 5), "0123");
  EXPECT_EQ(Get("s", "k", "", 11), "0123456789");
  EXPECT_EQ(Get("s", "k", "", 10), "012345678");
}

TEST_F(ProfileTest, WholeSectionIsZeroSeparatedAndTruncatesToSizeMinusTwo) {
  drive.Put(ini, "[s]\n; comment\na = 1\nb=\"two\"\nflag\n[t]\nx=y\n");
  char buffer[64];
  uint32_t n = profiles.GetSection("S", buffer, sizeof buffer, "test.ini");
  EXPECT_EQ(std::string(buffer, n + 1), std::string("a=1\0b=two\0flag\0\0", 16));

  std::string big = "[big]\n";
  for (int i = 0; i < 300; ++i) big += "key" + std::to_string(i) + "=value\n";
  drive.Put(ini, big);
  std::vector<char> section(2048, 'x');
  EXPECT_EQ(profiles.GetSection("big", section.data(), 2048, "test.ini"), 2046u);
  EXPECT_EQ(section[2046], '\0');
  EXPECT_EQ(section[2047], '\0');
}

TEST_F(ProfileTest, ListOneByteTooLongForTheBufferIsCut) {
  // "a=1\0b=two\0flag\0" and the final zero: 16 bytes. A guard after the buffer must survive.
  drive.Put(ini, "[s]\na=1\nb=two\nflag\n");  // "flag" has no '=': in the section, not a key
  const std::string keys = "[s]\na=1\nb=two\nflag=\n";
  std::string buffer(16 + 4, 'x');
  EXPECT_EQ(profiles.GetSection("s", buffer.data(), 16, "test.ini"), 15u);
  EXPECT_EQ(buffer, std::string("a=1\0b=two\0flag\0\0xxxx", 20));
  buffer.assign(15 + 4, 'x');
  EXPECT_EQ(profiles.GetSection("s", buffer.data(), 15, "test.ini"), 13u);
  EXPECT_EQ(buffer, std::string("a=1\0b=two\0fla\0\0xxxx", 19));
  // The same for key names: "a\0b\0flag\0" and the final zero are 10 bytes.
  drive.Put(ini, keys);
  buffer.assign(10 + 4, 'x');
  EXPECT_EQ(profiles.GetString("s", nullptr, "", buffer.data(), 10, "test.ini"), 9u);
  EXPECT_EQ(buffer, std::string("a\0b\0flag\0\0xxxx", 14));
  buffer.assign(9 + 4, 'x');
  EXPECT_EQ(profiles.GetString("s", nullptr, "", buffer.data(), 9, "test.ini"), 7u);
  EXPECT_EQ(buffer, std::string("a\0b\0fla\0\0xxxx", 13));
}

TEST_F(ProfileTest, ListsSectionNamesAndKeys) {
  drive.Put(ini, "[one]\na=1\nb=2\n[two]\n");
  char buffer[32];
  uint32_t n = profiles.GetString(nullptr, nullptr, "", buffer, sizeof buffer, "test.ini");
  EXPECT_EQ(std::string(buffer, n + 1), std::string("one\0two\0\0", 9));
  n = profiles.GetString("one", nullptr, "", buffer, sizeof buffer, "test.ini");
  EXPECT_EQ(std::string(buffer, n + 1), std::string("a\0b\0\0", 5));
  n = profiles.GetSectionNames(buffer, 6, "test.ini");
  EXPECT_EQ(n, 4u);
  EXPECT_EQ(std::string(buffer, 6), std::string("one\0\0\0", 6));
}

TEST_F(ProfileTest, IntegersReadAsWindowsDoes) {
  drive.Put(ini, "[n]\na=42\nb=-17\nc=0x1F\nd=12abc\ne=abc\nf=\ng= 7 \nh=4294967295\n");
  EXPECT_EQ(profiles.GetInt("n", "a", 5, "test.ini"), 42);
  EXPECT_EQ(profiles.GetInt("n", "b", 5, "test.ini"), -17);
  EXPECT_EQ(profiles.GetInt("n", "c", 5, "test.ini"), 31);
  EXPECT_EQ(profiles.GetInt("n", "d", 5, "test.ini"), 12);
  EXPECT_EQ(profiles.GetInt("n", "e", 5, "test.ini"), 0);
  EXPECT_EQ(profiles.GetInt("n", "f", 5, "test.ini"), 5);
  EXPECT_EQ(profiles.GetInt("n", "g", 5, "test.ini"), 7);
  EXPECT_EQ(profiles.GetInt("n", "h", 5, "test.ini"), -1);
  EXPECT_EQ(profiles.GetInt("n", "missing", 5, "test.ini"), 5);
}

TEST_F(ProfileTest, WritingToMissingFileCreatesItInTheWindowsFolder) {
  ASSERT_TRUE(profiles.WriteString("Main", "Key", "Value", "new.ini"));
  EXPECT_EQ(testing::DriveC::Slurp(drive.c() / "WINDOWS" / "new.ini"), "[Main]\r\nKey=Value\r\n");
  ASSERT_TRUE(profiles.WriteString("Main", "Second", "2", "new.ini"));
  EXPECT_EQ(profiles.GetInt("main", "second", 0, "NEW.INI"), 2);
  EXPECT_FALSE(profiles.WriteString("s", "k", "v", "C:\\NOFOLDER\\x.ini"));
}

TEST_F(ProfileTest, EditsKeepEveryUnrelatedLineByteForByte) {
  const std::string original =
      "; header comment\r\n"
      "\r\n"
      "[First]\r\n"
      "  Alpha = 1   ; not a comment, part of the value\r\n"
      "Beta=2\r\n"
      "\r\n"
      "\r\n"
      "[Second]\n"
      "; mixed line endings survive\n"
      "gamma=3";
  drive.Put(ini, original);
  ASSERT_TRUE(profiles.WriteString("first", "BETA", "20", "test.ini"));
  ASSERT_TRUE(profiles.WriteString("First", "Delta", "4", "test.ini"));
  ASSERT_TRUE(profiles.WriteString("Second", "epsilon", "5", "test.ini"));
  EXPECT_EQ(testing::DriveC::Slurp(ini),
            "; header comment\r\n"
            "\r\n"
            "[First]\r\n"
            "  Alpha = 1   ; not a comment, part of the value\r\n"
            "Beta=20\r\n"
            "Delta=4\r\n"
            "\r\n"
            "\r\n"
            "[Second]\n"
            "; mixed line endings survive\n"
            "gamma=3\r\n"
            "epsilon=5\r\n");
}

TEST_F(ProfileTest, NullKeyDeletesSectionAndNullValueDeletesKey) {
  drive.Put(ini, "[a]\nx=1\ny=2\n[b]\nz=3\n[c]\nw=4\n");
  ASSERT_TRUE(profiles.WriteString("a", "X", nullptr, "test.ini"));
  ASSERT_TRUE(profiles.WriteString("B", nullptr, nullptr, "test.ini"));
  ASSERT_TRUE(profiles.WriteString("missing", nullptr, nullptr, "test.ini"));
  EXPECT_EQ(testing::DriveC::Slurp(ini), "[a]\ny=2\n[c]\nw=4\n");
}

TEST_F(ProfileTest, WriteSectionReplacesItsEntries) {
  drive.Put(ini, "[a]\nold=1\n\n[b]\nkeep=1\n");
  ASSERT_TRUE(profiles.WriteSection("a", "n1=x\0n2=y\0", "test.ini"));
  EXPECT_EQ(testing::DriveC::Slurp(ini), "[a]\nn1=x\nn2=y\n\n[b]\nkeep=1\n");
}

// Entries written at once give the file that writing them one by one gives: keys replaced in place,
// new keys after a section's last line, new sections at the end, a key given twice keeping the last.
TEST_F(ProfileTest, EntriesWrittenAtOnceGiveTheFileOfOneWriteEach) {
  const std::string original = "; c\r\n[a]\r\nx=1\r\n\r\n[b]\ny=2";
  const std::vector<ProfileEntry> entries = {
      {"A", "x", "10"}, {"b", "z", "3"}, {"new", "k", "v"}, {"a", "w", "4"}, {"new", "K", "w"}};
  const std::string oneByOne = Written(original, entries, false);
  EXPECT_EQ(Written(original, entries, true), oneByOne);
  EXPECT_EQ(oneByOne, "; c\r\n[a]\r\nx=10\r\nw=4\r\n\r\n[b]\ny=2\r\nz=3\r\n[new]\r\nk=w\r\n");
}

// Entries whose lines read otherwise than as their own key: a value carrying a line of another
// key, keys with blanks, an '=' or a bracket, a section name carrying a line ending.
TEST_F(ProfileTest, EntriesThatMakeOtherLinesAreWrittenAsOneByOne) {
  const std::string original = "[a]\r\nx=1\r\n[b]\r\ny=2\r\n";
  const std::vector<ProfileEntry> entries = {
      {"a", "w", "1\r\nq=injected\r\n[b]\r\nz=9"}, {"a", "q", "2"}, {"b", "z", "3"},
      {"a", " t ", "4"}, {"a", "t", "5"}, {"a", "k=j", "6"}, {"a", "k", "7"},
      {"a", "[c]", "8"}, {"c", "m", "9"}, {"d\r\nn=1", "e", "10"}, {"d", "n", "11"}};
  EXPECT_EQ(Written(original, entries, true), Written(original, entries, false));
}

TEST_F(ProfileTest, ManyValuesReadAtOnceAreThoseReadOneByOne) {
  drive.Put(ini, "[a]\nx = \"1\" \nX=dup\ny=\n[b]\nz=3\n");
  const std::vector<std::string> keys = {"X", "y", "z", "missing"};
  const std::vector<std::string> values = profiles.GetStringValues("A", keys, "none", "test.ini");
  ASSERT_EQ(values.size(), keys.size());
  for (size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(values[i], profiles.GetStringValue("A", keys[i], "none", "test.ini")) << keys[i];
  }
  EXPECT_EQ(values, (std::vector<std::string>{"1", "", "none", "none"}));
  EXPECT_EQ(profiles.GetStringValues("c", keys, "d", "test.ini"),
            (std::vector<std::string>{"d", "d", "d", "d"}));
}

TEST_F(ProfileTest, MalformedLinesHaveDefinedResults) {
  std::string text = "[unclosed\nk=1\n[ok]\nno equals here\n=empty key\nv=";
  text += "a\n[long]\nbig=" + std::string(100000, 'z') + "\n\xff\xfe=\xc3\x28\n";
  drive.Put(ini, text);
  EXPECT_EQ(Get("unclosed", "k"), "1");
  EXPECT_EQ(Get("ok", "no equals here"), "");
  EXPECT_EQ(Get("ok", "v", "", 8), "a");
  EXPECT_EQ(Get("long", "big", "", 100001).size(), 100000u);
  EXPECT_EQ(Get("long", "\xff\xfe"), "\xc3\x28");
}

// Parsed files are kept between reads and after this process's own writes; a change made behind
// them, in place or by a replacement, is still seen by the next read.
TEST_F(ProfileTest, ReadsSeeEveryChangeMadeBehindTheKeptFile) {
  drive.Put(ini, "");
  ASSERT_TRUE(profiles.WriteString("s", "k", "one", "test.ini"));
  EXPECT_EQ(Get("s", "k"), "one");
  // In place, the same size: only the modification time tells (set well apart from the write's).
  {
    std::fstream f(ini, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(7);  // "[s]\r\nk=" before the value
    f << "two";
  }
  struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, ini.c_str(), times, 0), 0);
  EXPECT_EQ(Get("s", "k"), "two");
  EXPECT_EQ(profiles.GetStringValue("S", "K", "", "C:\\windows\\Test.Ini"), "two");
  // Replaced by another writer after a write of ours.
  ASSERT_TRUE(profiles.WriteString("s", "k", "six", "test.ini"));
  drive.Put(ini.string() + ".new", "[s]\r\nk=ten\r\n");
  std::filesystem::rename(ini.string() + ".new", ini);
  EXPECT_EQ(Get("s", "k"), "ten");
  // A write builds on what the file holds now, not on what was kept.
  ASSERT_TRUE(profiles.WriteString("s", "other", "1", "test.ini"));
  EXPECT_EQ(testing::DriveC::Slurp(ini), "[s]\r\nk=ten\r\nother=1\r\n");
}

// A writer killed at any moment leaves either the old file or a complete new one.
TEST_F(ProfileTest, KilledWriterLeavesOldOrNewFile) {
  const std::string before = "[s]\nk=old\n";
  drive.Put(ini, before);
  const std::string big(200000, 'n');
  for (int round = 0; round < 10; ++round) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) profiles.WriteString("s", "k", big.c_str(), "test.ini");
    }
    usleep(1000 + round * 700);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    std::string after = testing::DriveC::Slurp(ini);
    EXPECT_TRUE(after == before || after == "[s]\nk=" + big + "\n") << after.size();
  }
}

}  // namespace
}  // namespace platform
