#include <gtest/gtest.h>

#include <cstring>

#include "files_fixture.h"
#include "minimal_pe.h"
#include "platform/files/version_resource.h"

namespace platform {
namespace {

using testing::MinimalPe;

void Put32(std::string& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }

TEST(VersionResourceTest, ReadsFixedFileInfoOfAMinimalPe) {
  testing::DriveC drive;
  drive.Put(drive.c() / "WINDOWS" / "SYSTEM" / "DRIVER.DLL", MinimalPe(true));
  auto info = ReadFileVersion(drive.fs(), "C:\\windows\\system\\driver.dll");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->fileVersionMs, 0x00040001u);
  EXPECT_EQ(info->fileVersionLs, 0x00020003u);
  EXPECT_EQ(info->productVersionMs, 0x00040001u);
  EXPECT_EQ(info->fileOs, 0x00040004u);
  EXPECT_EQ(info->fileType, 2u);
}

TEST(VersionResourceTest, FilesWithoutOneReportThat) {
  EXPECT_FALSE(ReadFixedFileInfo(MinimalPe(false)));
  EXPECT_FALSE(ReadFixedFileInfo("plain text, not an image"));
  EXPECT_FALSE(ReadFixedFileInfo(""));
  testing::DriveC drive;
  EXPECT_FALSE(ReadFileVersion(drive.fs(), "C:\\missing.dll"));
}

TEST(VersionResourceTest, TruncatedOrCorruptImagesNeverReadOutside) {
  const std::string good = MinimalPe(true);
  for (size_t n = 0; n < good.size(); n += 7) {
    // Copy onto the heap so that the sanitizer sees any read past the end.
    std::string cut = good.substr(0, n);
    ReadFixedFileInfo(cut);
  }
  std::string bad = good;
  Put32(bad, 0x200 + 20, 0x80000000u | 0x7FFFFF00u);  // subdirectory far outside the file
  EXPECT_FALSE(ReadFixedFileInfo(bad));
  bad = good;
  Put32(bad, 0x200 + 0x48 + 4, 0xFFFFFFF0u);  // data size past the end
  EXPECT_FALSE(ReadFixedFileInfo(bad));
}

}  // namespace
}  // namespace platform
