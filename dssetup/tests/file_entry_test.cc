#include "file_entry.h"

#include <gtest/gtest.h>

namespace dssetup {
namespace {

const SetupPaths kPaths{"A:\\", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"};

TEST(FileEntryTest, RunsOfAnySeparatorSplitFourFields) {
  auto e = ParseFileEntry(" \\KVT32.INI,, \\KVTWAIN\t\t\\TWAIN_32 ,2");
  ASSERT_TRUE(e);
  EXPECT_EQ(e->name, "\\KVT32.INI");
  EXPECT_EQ(e->subdirectory, "\\KVTWAIN");
  EXPECT_EQ(e->destination, "\\TWAIN_32");
  EXPECT_EQ(e->disk, 2);
  EXPECT_FALSE(ParseFileEntry("\\A.DLL \\KVTWAIN \\WINDOWS"));
}

TEST(FileEntryTest, OnlyTheDisksFirstCharacterCountsAndMustBeOneToNine) {
  EXPECT_EQ(ParseFileEntry("\\A \\B \\WINDOWS 93")->disk, 9);
  EXPECT_EQ(ParseFileEntry("\\A \\B \\WINDOWS 1x")->disk, 1);
  EXPECT_EQ(ParseFileEntry("\\A \\B \\WINDOWS 0")->disk, 0);
  EXPECT_EQ(ParseFileEntry("\\A \\B \\WINDOWS X")->disk, 0);
}

TEST(FileEntryTest, EntriesAreCutAt126Characters) {
  // The disk digit sits at position 127: cut off, the entry has three fields.
  std::string entry = "\\A \\B \\WINDOWS " + std::string(111, ' ') + "1";
  ASSERT_EQ(entry.size(), 127u);
  EXPECT_FALSE(ParseFileEntry(entry));
  entry = "\\A \\B \\WINDOWS " + std::string(110, ' ') + "1";
  ASSERT_EQ(entry.size(), 126u);
  EXPECT_EQ(ParseFileEntry(entry)->disk, 1);
}

TEST(FileEntryTest, PackedPathReplacesTheLastCharacterOfTheName) {
  auto e = *ParseFileEntry("\\KVT32.INI \\KVTWAIN \\TWAIN_32 1");
  EXPECT_EQ(PackedSourcePath(kPaths, e), "A:\\KVTWAIN\\KVT32.IN_");
  SetupPaths disk{"D:\\SETUP\\DISK1\\", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"};
  EXPECT_EQ(PackedSourcePath(disk, e), "D:\\SETUP\\DISK1\\KVTWAIN\\KVT32.IN_");
}

TEST(FileEntryTest, DestinationsByKeywordAndUnknownOnesRefused) {
  auto twain = *ParseFileEntry("\\K.DS \\S \\twain_32 1");
  auto windows = *ParseFileEntry("\\K.DLL \\S \\WINDOWS 1");
  auto app = *ParseFileEntry("\\K.EXE \\S \\APPLICATION 1");
  auto other = *ParseFileEntry("\\K.EXE \\S \\SYSTEM 1");
  EXPECT_EQ(*DestinationPath(kPaths, twain, "C:\\"), "C:\\WINDOWS\\twain_32\\K.DS");
  EXPECT_EQ(*DestinationPath(kPaths, windows, "C:\\"), "C:\\WINDOWS\\K.DLL");
  EXPECT_EQ(*DestinationPath(kPaths, app, "C:\\"), "C:\\K.EXE");
  EXPECT_EQ(*DestinationPath(kPaths, app, "C:\\APPS"), "C:\\APPS\\K.EXE");
  EXPECT_FALSE(DestinationPath(kPaths, other, "C:\\"));
}

TEST(FileEntryTest, Twain32GoesAfterTheFirstTwainOnly) {
  EXPECT_EQ(InsertTwain32("\\R.LUT \\KV \\TWAIN 1"), "\\R.LUT \\KV \\TWAIN_32 1");
  EXPECT_EQ(InsertTwain32("\\TWAIN.LUT \\KV \\TWAIN 1"), "\\TWAIN_32.LUT \\KV \\TWAIN 1");
  EXPECT_EQ(InsertTwain32("\\R.LUT \\KV \\twain 1"), "\\R.LUT \\KV \\twain 1");
}

}  // namespace
}  // namespace dssetup
