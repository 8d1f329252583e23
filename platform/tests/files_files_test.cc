#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "files_fixture.h"
#include "platform/system/errors.h"
#include "platform/files/winpath.h"

namespace platform {
namespace {

using testing::DriveC;

TEST(FilesTest, ResolvesWindowsPathsWithoutRegardToCase) {
  DriveC drive;
  std::filesystem::remove_all(drive.c() / "WINDOWS");
  drive.Put(drive.c() / "windows" / "TWAIN_32" / "KVT32.INI", "x");
  auto path = drive.fs().Resolve("C:\\WINDOWS\\Twain_32\\kvt32.ini");
  ASSERT_TRUE(path);
  EXPECT_EQ(*path, drive.c() / "windows" / "TWAIN_32" / "KVT32.INI");
  EXPECT_TRUE(drive.fs().Exists("c:/windows/twain_32/KVT32.ini"));
  // A new file in an existing folder keeps the folder's existing case and its own spelling.
  EXPECT_EQ(*drive.fs().Resolve("C:\\Windows\\twain_32\\New.Ini"),
            drive.c() / "windows" / "TWAIN_32" / "New.Ini");
  EXPECT_EQ(*drive.fs().Resolve("C:\\WINDOWS\\..\\windows\\.\\twain_32"),
            drive.c() / "windows" / "TWAIN_32");
}

TEST(FilesTest, AnExactSpellingWinsAtEveryLevelElseTheFirstByNameOfTheOtherCases) {
  DriveC drive;
  std::filesystem::remove_all(drive.c() / "WINDOWS");
  drive.Put(drive.c() / "WINDOWS" / "a.ini", "upper");
  drive.Put(drive.c() / "windows" / "a.ini", "lower");
  drive.Put(drive.c() / "windows" / "B.INI", "b");
  EXPECT_EQ(*drive.fs().Resolve("C:\\windows\\a.ini"), drive.c() / "windows" / "a.ini");
  EXPECT_EQ(*drive.fs().Resolve("C:\\WINDOWS\\a.ini"), drive.c() / "WINDOWS" / "a.ini");
  EXPECT_EQ(*drive.fs().Resolve("C:\\WINDOWS\\A.INI"), drive.c() / "WINDOWS" / "a.ini");
  EXPECT_EQ(*drive.fs().Resolve("C:\\Windows\\a.ini"), drive.c() / "WINDOWS" / "a.ini");
  // Only the other folder holds it: the first folder by name is still the one taken.
  EXPECT_EQ(*drive.fs().Resolve("C:\\Windows\\b.ini"), drive.c() / "WINDOWS" / "b.ini");
  EXPECT_EQ(*drive.fs().Resolve("C:\\windows\\b.ini"), drive.c() / "windows" / "B.INI");
}

TEST(FilesTest, HostPathsComeBackNormal) {
  DriveC drive;
  EXPECT_EQ(drive.fs().Resolve("/srv/scan/INI")->string(), "/srv/scan/INI");
  EXPECT_EQ(drive.fs().Resolve("/srv/.hidden/x.ini")->string(), "/srv/.hidden/x.ini");
  EXPECT_EQ(drive.fs().Resolve("/srv/./a/../b//c.ini")->string(), "/srv/b/c.ini");
  EXPECT_EQ(drive.fs().Resolve("/srv/a/..")->string(), "/srv/");
}

TEST(FilesTest, HostPathsAndDriveZ) {
  DriveC drive;
  drive.Put(drive.c() / "f.txt", "hello");
  std::string host = (drive.c() / "f.txt").string();
  EXPECT_EQ(*drive.fs().ReadFile(host), "hello");
  std::string viaZ = "Z:" + host;
  for (char& ch : viaZ) ch = ch == '/' ? '\\' : ch;
  EXPECT_EQ(*drive.fs().ReadFile(viaZ), "hello");
  EXPECT_EQ(drive.fs().ToWindowsPath(drive.c() / "f.txt"), "C:\\f.txt");
}

TEST(FilesTest, BadPathsFailWithWin32Errors) {
  DriveC drive;
  EXPECT_FALSE(drive.fs().Resolve("Q:\\x"));
  EXPECT_EQ(GetLastError(), kErrorInvalidDrive);
  EXPECT_FALSE(drive.fs().Resolve("C:\\a|b"));
  EXPECT_EQ(GetLastError(), kErrorInvalidName);
  EXPECT_FALSE(drive.fs().Resolve("C:\\" + std::string(300, 'a')));
  EXPECT_EQ(GetLastError(), kErrorFilenameExcedRange);
  EXPECT_FALSE(drive.fs().ReadFile("C:\\missing.txt"));
  EXPECT_EQ(GetLastError(), kErrorFileNotFound);
  EXPECT_FALSE(drive.fs().Resolve("\\\\.\\SCSI0:"));
}

TEST(FilesTest, SplitsPathsIntoDriveDirectoryNameAndExtension) {
  SplitPath p = SplitWindowsPath("C:\\WINDOWS\\TWAIN_32\\kvt32.ini");
  EXPECT_EQ(p.drive, "C:");
  EXPECT_EQ(p.directory, "\\WINDOWS\\TWAIN_32\\");
  EXPECT_EQ(p.name, "kvt32");
  EXPECT_EQ(p.extension, ".ini");
  EXPECT_EQ(MakeWindowsPath(p), "C:\\WINDOWS\\TWAIN_32\\kvt32.ini");
  SplitPath q = SplitWindowsPath("archive.tar.gz");
  EXPECT_EQ(q.drive + q.directory, "");
  EXPECT_EQ(q.name, "archive.tar");
  EXPECT_EQ(q.extension, ".gz");
  SplitPath r = SplitWindowsPath("A:\\SETUP");
  EXPECT_EQ(r.directory, "\\");
  EXPECT_EQ(r.name, "SETUP");
  EXPECT_EQ(r.extension, "");
  EXPECT_EQ(JoinWindowsPath("C:\\", "x"), "C:\\x");
  EXPECT_EQ(JoinWindowsPath("C:\\WINDOWS\\", "\\x"), "C:\\WINDOWS\\x");
}

TEST(FilesTest, WildcardsMatchAsFindFirstFileDoes) {
  EXPECT_TRUE(MatchesWildcard("*.INI", "kvt32.ini"));
  EXPECT_TRUE(MatchesWildcard("*.*", "README"));
  EXPECT_TRUE(MatchesWildcard("K?T*", "kvt32.ini"));
  EXPECT_FALSE(MatchesWildcard("*.dll", "kvt32.ini"));
  EXPECT_TRUE(MatchesWildcard("*a*a*a*a*b", std::string(200, 'a') + "b"));
  DriveC drive;
  drive.Put(drive.c() / "d" / "B.ini", "1");
  drive.Put(drive.c() / "d" / "a.INI", "22");
  drive.Put(drive.c() / "d" / "c.txt", "3");
  auto found = drive.fs().FindFiles("C:\\D\\*.ini");
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].name, "a.INI");
  EXPECT_EQ(found[0].size, 2u);
  EXPECT_EQ(found[1].name, "B.ini");
}

// Attributes and creation time are seen by another process, with extended attributes and
// with the fallback store alike.
void CheckMetadataAcrossProcesses(bool fallback) {
  DriveC drive;
  drive.Put(drive.c() / "f.bin", "data");
  const FileTime created = FileTimeFromDos(0x2A21, 0x6000);  // 2001-01-01 12:00:00
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    DriveTable drives;
    drives.Map('C', drive.c());
    FileSystem other(std::move(drives), drive.root() / "attributes.db");
    if (fallback) other.ForceFallbackAttributeStore();
    bool ok = other.SetAttributes("C:\\F.BIN", kAttrReadOnly | kAttrHidden | kAttrArchive);
    ok = ok && other.SetCreationTime("c:\\f.bin", created);
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  if (fallback) drive.fs().ForceFallbackAttributeStore();
  EXPECT_EQ(drive.fs().GetAttributes("C:\\f.bin"), kAttrReadOnly | kAttrHidden | kAttrArchive);
  EXPECT_EQ(drive.fs().GetCreationTime("C:\\f.bin"), created);
  // A read-only file is protected as on Windows; clearing the bit lifts that.
  EXPECT_FALSE(drive.fs().DeleteFile("C:\\f.bin"));
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  EXPECT_FALSE(File::Open(drive.fs(), "C:\\f.bin", File::Mode::kWrite));
  ASSERT_TRUE(drive.fs().SetAttributes("C:\\f.bin", kAttrNormal));
  EXPECT_EQ(drive.fs().GetAttributes("C:\\f.bin"), kAttrNormal);
  EXPECT_TRUE(drive.fs().DeleteFile("C:\\f.bin"));
}

TEST(FilesTest, MetadataIsSharedBetweenProcesses) {
  CheckMetadataAcrossProcesses(false);
  CheckMetadataAcrossProcesses(true);
}

TEST(FilesTest, FallbackStoreKeepsMetadataThroughRenames) {
  testing::TempDir dir;
  std::filesystem::create_directories(dir.path() / "c");
  DriveTable drives;
  drives.Map('C', dir.path() / "c");
  FileSystem fs(drives, dir.path() / "attributes.db");
  fs.ForceFallbackAttributeStore();
  ASSERT_TRUE(fs.WriteFileAtomic("C:\\a.txt", "1"));
  ASSERT_TRUE(fs.SetAttributes("C:\\a.txt", kAttrHidden));
  ASSERT_TRUE(fs.SetCreationTime("C:\\a.txt", 123456789ULL * 10000000ULL));
  ASSERT_TRUE(fs.MoveFile("C:\\a.txt", "C:\\b.txt"));
  FileSystem reopened(drives, dir.path() / "attributes.db");
  reopened.ForceFallbackAttributeStore();
  EXPECT_EQ(reopened.GetAttributes("C:\\B.TXT"), kAttrHidden);
  EXPECT_EQ(reopened.GetCreationTime("C:\\b.txt"), 123456789ULL * 10000000ULL);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "attributes.db"));
}

TEST(FilesTest, AtomicReplaceKeepsAttributesAndCreationTime) {
  DriveC drive;
  ASSERT_TRUE(drive.fs().WriteFileAtomic("C:\\k.ini", "one"));
  ASSERT_TRUE(drive.fs().SetAttributes("C:\\k.ini", kAttrHidden | kAttrArchive));
  ASSERT_TRUE(drive.fs().SetCreationTime("C:\\k.ini", FileTimeFromUnix(1000000000)));
  ASSERT_TRUE(drive.fs().WriteFileAtomic("C:\\k.ini", "two"));
  EXPECT_EQ(*drive.fs().ReadFile("C:\\k.ini"), "two");
  EXPECT_EQ(drive.fs().GetAttributes("C:\\k.ini"), kAttrHidden | kAttrArchive);
  EXPECT_EQ(drive.fs().GetCreationTime("C:\\k.ini"), FileTimeFromUnix(1000000000));
}

// The identity a write reports is the file's as it stands after the rename; a lookup that saw the
// file reports the same, whichever way the path was spelled.
TEST(FilesTest, WriteAndLookupReportTheFilesIdentity) {
  DriveC drive;
  ASSERT_TRUE(drive.fs().WriteFileAtomic("C:\\WINDOWS\\k.ini", "one"));
  FileIdentity written;
  ASSERT_TRUE(drive.fs().WriteFileAtomic("C:\\WINDOWS\\k.ini", "longer", &written));
  struct stat st {};
  ASSERT_EQ(::stat((drive.c() / "WINDOWS" / "k.ini").c_str(), &st), 0);
  const FileIdentity now{st.st_ino, static_cast<uint64_t>(st.st_size), st.st_mtim.tv_sec,
                         static_cast<uint32_t>(st.st_mtim.tv_nsec)};
  EXPECT_EQ(written, now);
  for (const char* spelling : {"C:\\WINDOWS\\k.ini", "c:\\windows\\K.INI", "C:\\WINDOWS\\.\\k.ini"}) {
    std::optional<FileIdentity> found;
    auto host = drive.fs().HostPath(spelling, &found);
    ASSERT_TRUE(host) << spelling;
    EXPECT_EQ(*host, (drive.c() / "WINDOWS" / "k.ini").string()) << spelling;
    // Found by the lookup itself, or left for the caller to look at: never another file's.
    if (found) {
      EXPECT_EQ(*found, now) << spelling;
    }
  }
  std::optional<FileIdentity> found = FileIdentity{};
  EXPECT_TRUE(drive.fs().HostPath("C:\\WINDOWS\\missing.ini", &found));
  EXPECT_FALSE(found);
  EXPECT_TRUE(drive.fs().Exists("c:\\windows\\K.INI"));
  EXPECT_FALSE(drive.fs().Exists("C:\\WINDOWS\\missing.ini"));
}

TEST(FilesTest, DosTimesConvertBothWays) {
  FileTime t = FileTimeFromDos(0x2A21, 0x6000);
  EXPECT_EQ(UnixFromFileTime(t), 978350400);  // 2001-01-01 12:00:00 UTC
  uint16_t date = 0, time = 0;
  DosFromFileTime(t, &date, &time);
  EXPECT_EQ(date, 0x2A21);
  EXPECT_EQ(time, 0x6000);
  // Damaged fields are clamped, never wrapped into another year.
  EXPECT_EQ(UnixFromFileTime(FileTimeFromDos(0x0000, 0)), 315532800);  // 1980-01-01
}

TEST(FilesTest, FileReadsWritesAndSeeks) {
  DriveC drive;
  auto f = File::Open(drive.fs(), "C:\\data.bin", File::Mode::kWrite);
  ASSERT_TRUE(f);
  ASSERT_TRUE(f->Write("abcdef", 6));
  f.reset();
  EXPECT_FALSE(File::Open(drive.fs(), "C:\\data.bin", File::Mode::kCreateNew));
  EXPECT_EQ(GetLastError(), kErrorFileExists);
  auto r = File::Open(drive.fs(), "c:\\DATA.BIN", File::Mode::kRead);
  ASSERT_TRUE(r);
  char buffer[4] = {};
  ASSERT_TRUE(r->Seek(2));
  EXPECT_EQ(r->Read(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "cdef");
  EXPECT_EQ(r->Read(buffer, 4), 0u);
  EXPECT_EQ(*r->Size(), 6u);
  EXPECT_FALSE(File::Open(drive.fs(), "C:\\nodir\\x", File::Mode::kWrite));
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
}

TEST(FilesTest, DirectoriesAndMoves) {
  DriveC drive;
  auto& fs = drive.fs();
  EXPECT_TRUE(fs.CreateDirectory("C:\\New"));
  EXPECT_FALSE(fs.CreateDirectory("C:\\NEW"));
  EXPECT_EQ(GetLastError(), kErrorAlreadyExists);
  EXPECT_FALSE(fs.CreateDirectory("C:\\a\\b"));
  EXPECT_EQ(GetLastError(), kErrorPathNotFound);
  EXPECT_TRUE(fs.CreateDirectories("C:\\a\\b\\c"));
  EXPECT_TRUE(fs.WriteFileAtomic("C:\\new\\x.txt", "x"));
  EXPECT_FALSE(fs.RemoveDirectory("C:\\new"));
  EXPECT_EQ(GetLastError(), kErrorDirNotEmpty);
  EXPECT_TRUE(fs.CopyFile("C:\\new\\x.txt", "C:\\a\\y.txt", true));
  EXPECT_FALSE(fs.CopyFile("C:\\new\\x.txt", "C:\\a\\y.txt", true));
  EXPECT_FALSE(fs.MoveFile("C:\\new\\x.txt", "C:\\a\\y.txt"));
  EXPECT_TRUE(fs.DeleteFile("C:\\a\\y.txt"));
  EXPECT_TRUE(fs.MoveFile("C:\\new\\x.txt", "C:\\a\\y.txt"));
  EXPECT_TRUE(fs.RemoveDirectory("C:\\new"));
  EXPECT_TRUE(fs.SetCurrentDirectory("C:\\A"));
  EXPECT_EQ(*fs.ReadFile("y.txt"), "x");
  EXPECT_EQ(*fs.ReadFile("\\a\\y.txt"), "x");
}

}  // namespace
}  // namespace platform
