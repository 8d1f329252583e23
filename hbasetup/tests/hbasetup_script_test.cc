// SETUP32.INI as the setup reads it: Display fields, whole sections with comments, the
// placeholder, the 2048-byte buffer, and the one-character-key values.
#include <gtest/gtest.h>

#include "install_type.h"
#include "platform/system/system.h"
#include "platform/system/version_word.h"
#include "script.h"

namespace hbasetup {
namespace {

TEST(SetupScript, DisplayFieldsAndTheirDefaults) {
  SetupScript none("");
  EXPECT_EQ(none.display().bShow, "YES");
  EXPECT_EQ(none.display().groupName, "Korin Technology Corp");
  EXPECT_EQ(none.display().deviceId, "8002");
  EXPECT_EQ(none.display().title, "RQB482X");
  EXPECT_EQ(none.display().driver, "");
  EXPECT_TRUE(none.display().ShowsWelcome());

  SetupScript set("[display]\r\nbShow=NO\r\nGroupName=My Driver Tools\r\nDeviceID=8002,8010\r\n"
                  "Title=Mini\r\nDriver=mini.sys\r\n");
  EXPECT_EQ(set.display().groupName, "My Driver Tools");
  EXPECT_EQ(set.display().deviceId, "8002,8010");
  EXPECT_EQ(set.display().title, "Mini");
  EXPECT_EQ(set.display().driver, "mini.sys");
  EXPECT_FALSE(set.display().ShowsWelcome());
  // "YES" only exactly: case counts.
  EXPECT_FALSE(SetupScript("[Display]\nbShow=Yes\n").display().ShowsWelcome());
  EXPECT_TRUE(SetupScript("[Display]\nbShow=YES\n").display().ShowsWelcome());
}

TEST(SetupScript, SectionsKeepCommentsForTheReaderToTell) {
  SetupScript s("[UnInstall]\r\n;1=old.exe\r\n1=UNINST.EXE\r\n\r\n[Other]\r\nx=1\r\n");
  auto lines = s.Section("uninstall");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_TRUE(lines[0].IsComment());
  EXPECT_EQ(lines[1].text, "1=UNINST.EXE");
  EXPECT_EQ(s.Lines("UnInstall"), (std::vector<std::string>{"1=UNINST.EXE"}));
  EXPECT_TRUE(s.Lines("Missing").empty());
}

TEST(SetupScript, FirstSectionOfANameWins) {
  SetupScript s("[A]\n1=first\n[B]\n1=b\n[a]\n1=second\n");
  EXPECT_EQ(s.Lines("A"), (std::vector<std::string>{"1=first"}));
}

TEST(SetupScript, GroupPlaceholderInAnyCaseOtherAnglesStay) {
  SetupScript s("[Display]\nGroupName=Acme\n[S]\n1=<GROUP>\\a,<group>\\<b>\n2=x<GROUp\n");
  EXPECT_EQ(s.Lines("S"), (std::vector<std::string>{"1=Acme\\a,Acme\\<b>", "2=x<GROUp"}));
  SetupScript empty("[Display]\nGroupName=\n[S]\n1=<GROUp>\n");
  EXPECT_EQ(empty.Lines("S"), (std::vector<std::string>{"1=<GROUp>"}));
}

// The zero-separated lines of a section with `total` bytes: lines of 99 characters and their
// zeros, the last one making up the rest.
std::string SectionOf(size_t total) {
  std::string text = "[S]\n";
  while (total > 0) {
    size_t line = std::min<size_t>(total, 100);
    text += std::string(line - 1, 'x') + "\n";
    total -= line;
  }
  return text;
}

TEST(SetupScript, SectionsOf2046BytesOrMoreReadAsEmpty) {
  EXPECT_EQ(SetupScript(SectionOf(2045)).Lines("S").size(), 21u);
  EXPECT_TRUE(SetupScript(SectionOf(2046)).Lines("S").empty());
  EXPECT_TRUE(SetupScript(SectionOf(5000)).Lines("S").empty());
}

// Regression: the group name went in without a bound and could outgrow the 2048-byte buffer.
TEST(SetupScript, PlaceholderReplacementNeverOutgrowsTheBuffer) {
  const std::string group(300, 'G');
  std::string text = "[Display]\nGroupName=" + group + "\n[S]\n";
  for (int i = 0; i < 10; ++i) text += std::to_string(i) + "=<GROUp>\n";
  const auto lines = SetupScript(text).Lines("S");
  // Each line takes 302 bytes and its zero: six fit below 2048 with the final zero, seven not.
  ASSERT_EQ(lines.size(), 6u);
  size_t bytes = 1;
  for (const auto& l : lines) {
    EXPECT_EQ(l.size(), 302u);
    bytes += l.size() + 1;
  }
  EXPECT_LE(bytes, 2048u);
}

// Regression: values of lines shorter than their key and '=' were read past the line's end.
TEST(SetupScript, KeyedValueOfAShortLineIsEmpty) {
  EXPECT_EQ(KeyedValue(""), "");
  EXPECT_EQ(KeyedValue("1"), "");
  EXPECT_EQ(KeyedValue("1="), "");
  EXPECT_EQ(KeyedValue("1=a"), "a");
  EXPECT_EQ(KeyedValue("1=UNINST.EXE"), "UNINST.EXE");
}

TEST(InstallType, FromThePackedVersionWordOfEachPreset) {
  using platform::WindowsVersion;
  for (auto v : {WindowsVersion::kWin95, WindowsVersion::kWin95Osr2, WindowsVersion::kWin98}) {
    EXPECT_EQ(InstallTypeFor(platform::PackedVersionWord(platform::VersionRecordFor(v))),
              InstallType::kWin95);
  }
  for (auto v : {WindowsVersion::kNt4, WindowsVersion::kWin2000}) {
    EXPECT_EQ(InstallTypeFor(platform::PackedVersionWord(platform::VersionRecordFor(v))),
              InstallType::kNt);
  }
  // The top bit set with major version 3 (a 16-bit Windows with Win32s) and 4 on either side.
  EXPECT_EQ(InstallTypeFor(0x80000003u), InstallType::kOther);
  EXPECT_EQ(InstallTypeFor(0x80000004u), InstallType::kWin95);
  EXPECT_EQ(static_cast<int>(InstallType::kWin95), 11);
  EXPECT_EQ(static_cast<int>(InstallType::kNt), 12);
}

}  // namespace
}  // namespace hbasetup
