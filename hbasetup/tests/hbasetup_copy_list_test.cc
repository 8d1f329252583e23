// Copy lines, their parse results and messages, and the copy list of each platform.
#include <gtest/gtest.h>

#include "copy_list.h"
#include "script.h"

namespace hbasetup {
namespace {

const CopyPaths kRoot{"A:\\", "C:\\WINDOWS"};
const CopyPaths kFolder{"C:\\DISK1", "C:\\WINNT"};

TEST(CopyLine, RelativePathsFromARootAndFromAFolder) {
  CopyItem item;
  ASSERT_EQ(ParseCopyLine("1=.\\mini.sys,.\\SYSTEM32\\drivers\\mini.sys", kRoot, &item),
            CopyLineResult::kAccepted);
  EXPECT_EQ(item.source, "A:\\mini.sys");
  EXPECT_EQ(item.destination, "C:\\WINDOWS\\SYSTEM32\\drivers\\mini.sys");
  ASSERT_EQ(ParseCopyLine("x=.\\a.dll,.\\b.dll", kFolder, &item), CopyLineResult::kAccepted);
  EXPECT_EQ(item.source, "C:\\DISK1\\a.dll");
  EXPECT_EQ(item.destination, "C:\\WINNT\\b.dll");
}

TEST(CopyLine, OtherPathsAreUsedAsWritten) {
  CopyItem item;
  ASSERT_EQ(ParseCopyLine("k=D:\\x.sys,C:\\y\\z,w.sys", kRoot, &item), CopyLineResult::kAccepted);
  EXPECT_EQ(item.source, "D:\\x.sys");
  EXPECT_EQ(item.destination, "C:\\y\\z,w.sys");  // everything after the first ','
  ASSERT_EQ(ParseCopyLine("k=a=b,.x", kRoot, &item), CopyLineResult::kAccepted);
  EXPECT_EQ(item.source, "a=b");
  EXPECT_EQ(item.destination, ".x");
}

TEST(CopyLine, RejectedLinesAndTheirMessages) {
  CopyItem item;
  EXPECT_EQ(ParseCopyLine("no equals, here", kRoot, &item), CopyLineResult::kNoEquals);
  EXPECT_EQ(ParseCopyLine("1=.\\only.sys", kRoot, &item), CopyLineResult::kNoComma);
  EXPECT_EQ(ParseCopyLine("a,b=c", kRoot, &item), CopyLineResult::kCommaFirst);
  EXPECT_EQ(MessageFor(101).text, "Cannot find the source path !");
  EXPECT_EQ(MessageFor(102).text, "Cannot find the destination path !");
  EXPECT_EQ(MessageFor(103).text, "Format error !");
  EXPECT_EQ(MessageFor(103).caption, "AddSectionFilesToCopyList");
  EXPECT_EQ(MessageFor(104).caption, "Error");
  EXPECT_EQ(MessageFor(104).text, "Error no. 104");
}

TEST(CopyList, PlatformSectionsInOrderRejectedLinesReportedAndDropped) {
  SetupScript script(
      "[Win95 Inf File]\n1=.\\mini.inf,.\\INF\\mini.inf\n"
      "[NT WinASPI32]\n1=.\\wnaspi32.dll,.\\SYSTEM32\\wnaspi32.dll\n"
      "[Win95 Driver Files]\n1=.\\mini.mpd,.\\SYSTEM\\IOSUBSYS\\mini.mpd\n2=.\\bad\n;3=a,b\n4=x,y=z\n"
      "[NT Driver Files]\n1=.\\mini.sys,.\\SYSTEM32\\drivers\\mini.sys\n");
  std::vector<int> codes;
  auto report = [&](const CopyListMessage& m) { codes.push_back(m.code); };
  auto win95 = BuildCopyList(script, InstallType::kWin95, kRoot, report);
  ASSERT_EQ(win95.size(), 3u);
  EXPECT_EQ(win95[0].destination, "C:\\WINDOWS\\SYSTEM\\IOSUBSYS\\mini.mpd");
  EXPECT_EQ(win95[1].source, "x");  // "4=x,y=z": between the first "=" and the first ","
  EXPECT_EQ(win95[1].destination, "y=z");
  EXPECT_EQ(win95[2].destination, "C:\\WINDOWS\\INF\\mini.inf");
  EXPECT_EQ(codes, (std::vector<int>{102}));

  codes.clear();
  auto nt = BuildCopyList(script, InstallType::kNt, kRoot, report);
  ASSERT_EQ(nt.size(), 2u);
  EXPECT_EQ(nt[0].source, "A:\\mini.sys");
  EXPECT_EQ(nt[1].source, "A:\\wnaspi32.dll");
  EXPECT_TRUE(codes.empty());
  EXPECT_TRUE(BuildCopyList(script, InstallType::kOther, kRoot, report).empty());
}

TEST(CopyList, CommaBeforeEqualsIsAFormatError) {
  std::vector<int> codes;
  SetupScript script("[NT Driver Files]\nmini,sys=x\n");
  EXPECT_TRUE(BuildCopyList(script, InstallType::kNt, kRoot,
                            [&](const CopyListMessage& m) { codes.push_back(m.code); })
                  .empty());
  EXPECT_EQ(codes, (std::vector<int>{103}));
}

}  // namespace
}  // namespace hbasetup
