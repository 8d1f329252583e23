// Every failing result is reachable, leaves no file open and no state behind: the next call
// with good input succeeds. Bad input never makes Unpack write without bound.
#include <filesystem>
#include <string>

#include "fault_loop.h"
#include "platform/faults/faults.h"
#include "testing/sample_data.h"
#include "unpack_fixture.h"

namespace dearc32 {
namespace {

size_t OpenDescriptors() {
  size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)entry;
    ++n;
  }
  return n;
}

class UnpackFailureTest : public UnpackTest {
 protected:
  void SetUp() override {
    good_ = testing::SampleMixed(150000);
    files().CreateDirectories("C:\\OUT");
    Pack(good_, "C:\\DISK1\\GOOD.BI_");
  }
  // The failure left nothing open, and a good call right after it works.
  void ExpectCleanAfterFailure(const std::string& what) {
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore_) << what;
    EXPECT_EQ(Unpack("C:\\DISK1\\GOOD.BI_", "C:\\OUT\\GOOD.BIN", 0, 0), kUnpackDone) << what;
    EXPECT_TRUE(ReadBytes("C:\\OUT\\GOOD.BIN") == good_) << what;
  }

  std::vector<uint8_t> good_;
  size_t descriptorsBefore_ = OpenDescriptors();
};

TEST_F(UnpackFailureTest, MissingOrOverlongSourceGives2) {
  EXPECT_EQ(Unpack("C:\\DISK1\\NONE.BI_", "C:\\OUT\\X", 0, 0), kUnpackNoSource);
  ExpectCleanAfterFailure("missing");
  // 260 characters: one more than fits. Cutting it would name another file.
  const std::string longPath = "C:\\" + std::string(251, 'D') + "\\A.BI_";
  ASSERT_EQ(longPath.size(), 260u);
  EXPECT_EQ(Unpack(longPath.c_str(), "C:\\OUT\\X", 0, 0), kUnpackNoSource);
  EXPECT_EQ(Unpack(nullptr, "C:\\OUT\\X", 0, 0), kUnpackNoSource);
  ExpectCleanAfterFailure("too long");
}

TEST_F(UnpackFailureTest, PathsOf259CharactersExpand) {
  // The longest paths taken: 259 characters and the terminating zero, source and destination.
  const std::string source = "C:\\" + std::string(250, 'D') + "\\A.BI_";
  const std::string destination = "C:\\OUT\\" + std::string(252, 'N');
  ASSERT_EQ(source.size(), 259u);
  ASSERT_EQ(destination.size(), 259u);
  Pack(good_, source);
  EXPECT_EQ(Unpack(source.c_str(), destination.c_str(), 0, 0), 1);
  EXPECT_TRUE(ReadBytes(destination) == good_);
}

TEST_F(UnpackFailureTest, UncreatableDestinationGives3) {
  EXPECT_EQ(Unpack("C:\\DISK1\\GOOD.BI_", "C:\\NO\\SUCH\\FOLDER\\X", 0, 0), kUnpackNoDestination);
  ExpectCleanAfterFailure("no folder");
  const std::string longPath = "C:\\OUT\\" + std::string(253, 'N');
  ASSERT_EQ(longPath.size(), 260u);
  EXPECT_EQ(Unpack("C:\\DISK1\\GOOD.BI_", longPath.c_str(), 0, 0), kUnpackNoDestination);
  EXPECT_FALSE(files().Exists(longPath.substr(0, 259)));
  ExpectCleanAfterFailure("too long");
}

TEST_F(UnpackFailureTest, DestinationThatIsTheSourceIsRefusedNotDestroyed) {
  const auto before = ReadBytes("C:\\DISK1\\GOOD.BI_");
  EXPECT_EQ(Unpack("C:\\DISK1\\GOOD.BI_", "c:\\disk1\\good.bi_", 0, 0), kUnpackNoDestination);
  EXPECT_TRUE(ReadBytes("C:\\DISK1\\GOOD.BI_") == before);
  ExpectCleanAfterFailure("same file");
}

TEST_F(UnpackFailureTest, WriteFailureGives3) {
  // A full disk: the write fails, and nothing is left under either name.
  host().faults().FailEvery(platform::fault_point::kFileSpace);
  EXPECT_EQ(Unpack("C:\\DISK1\\GOOD.BI_", "C:\\OUT\\FULL.BIN", 0, 0), kUnpackNoDestination);
  host().faults().ClearAll();
  EXPECT_FALSE(files().Exists("C:\\OUT\\FULL.BIN"));
  EXPECT_TRUE(files().FindFiles("C:\\OUT\\*").empty());
  // A device is never replaced by the expanded file.
  EXPECT_EQ(Unpack("C:\\DISK1\\GOOD.BI_", "/dev/null", 0, 0), kUnpackNoDestination);
  ExpectCleanAfterFailure("disk full");
}

TEST_F(UnpackFailureTest, FileShorterThanTheHeaderGives4AndWritesNothing) {
  for (size_t size : {0u, 1u, 28u}) {
    WriteBytes("C:\\DISK1\\SHORT.BI_", std::vector<uint8_t>(size, 0xFF));
    EXPECT_EQ(Unpack("C:\\DISK1\\SHORT.BI_", "C:\\OUT\\SHORT", 0, 0), kUnpackBadHeader) << size;
    EXPECT_FALSE(files().Exists("C:\\OUT\\SHORT")) << size;
  }
  ExpectCleanAfterFailure("short");
}

TEST_F(UnpackFailureTest, CorruptedByteGives5WithinOneMatchOfTheSize) {
  const auto packed = ReadBytes("C:\\DISK1\\GOOD.BI_");
  for (size_t at = 40; at < packed.size(); at += packed.size() / 7) {
    auto bad = packed;
    bad[at] ^= 0x10;
    WriteBytes("C:\\DISK1\\BAD.BI_", bad);
    EXPECT_EQ(Unpack("C:\\DISK1\\BAD.BI_", "C:\\OUT\\BAD", 0, 0), kUnpackCheckFailed) << at;
    EXPECT_LE(files().FileSize("C:\\OUT\\BAD").value_or(0), good_.size() + 59) << at;
  }
  ExpectCleanAfterFailure("corrupted");
}

TEST_F(UnpackFailureTest, CutStreamOrHugeStoredSizeGives5WithoutRunningOn) {
  auto packed = ReadBytes("C:\\DISK1\\GOOD.BI_");
  packed.resize(packed.size() / 2);
  WriteBytes("C:\\DISK1\\CUT.BI_", packed);
  EXPECT_EQ(Unpack("C:\\DISK1\\CUT.BI_", "C:\\OUT\\CUT", 0, 0), kUnpackCheckFailed);
  EXPECT_LT(files().FileSize("C:\\OUT\\CUT").value_or(0), good_.size());
  // A stored size of 4 GB over the same half stream.
  for (int i = 3; i < 7; ++i) packed[i] = 0xFF;
  WriteBytes("C:\\DISK1\\HUGE.BI_", packed);
  EXPECT_EQ(Unpack("C:\\DISK1\\HUGE.BI_", "C:\\OUT\\HUGE", 0, 0), kUnpackCheckFailed);
  EXPECT_LT(files().FileSize("C:\\OUT\\HUGE").value_or(0), good_.size());
  ExpectCleanAfterFailure("cut");
}

// A damaged or cut packed file never replaces the file it was meant to: the old file keeps its
// bytes and attributes, and no partial file is left beside it.
TEST_F(UnpackFailureTest, DamagedOrCutFileLeavesTheExistingDestinationAsItWas) {
  const std::vector<uint8_t> old(4876, 0x6F);
  WriteBytes("C:\\OUT\\GOOD.BIN", old);
  ASSERT_TRUE(files().SetAttributes("C:\\OUT\\GOOD.BIN", platform::kAttrArchive | platform::kAttrHidden));
  auto packed = ReadBytes("C:\\DISK1\\GOOD.BI_");
  auto damaged = packed;
  damaged[15] = static_cast<uint8_t>(platform::kAttrReadOnly);
  damaged[damaged.size() / 2] ^= 0x01;
  WriteBytes("C:\\DISK1\\RO.BI_", damaged);
  auto cut = packed;
  cut.resize(5000);
  WriteBytes("C:\\DISK1\\CUT.BI_", cut);
  for (const char* source : {"C:\\DISK1\\RO.BI_", "C:\\DISK1\\CUT.BI_"}) {
    EXPECT_EQ(Unpack(source, "C:\\OUT\\GOOD.BIN", 0, 0), kUnpackCheckFailed) << source;
    EXPECT_TRUE(ReadBytes("C:\\OUT\\GOOD.BIN") == old) << source;
    EXPECT_EQ(files().GetAttributes("C:\\OUT\\GOOD.BIN"), platform::kAttrArchive | platform::kAttrHidden)
        << source;
    EXPECT_EQ(files().FindFiles("C:\\OUT\\*").size(), 1u) << source;
  }
  ExpectCleanAfterFailure("damaged");
}

// A good expansion over an existing file replaces it whole, with the packed file's date and
// attributes, and leaves nothing else behind.
TEST_F(UnpackFailureTest, GoodFileReplacesTheExistingDestinationWhole) {
  WriteBytes("C:\\OUT\\GOOD.BIN", std::vector<uint8_t>(300000, 0x11));
  EXPECT_EQ(Unpack("C:\\DISK1\\GOOD.BI_", "C:\\OUT\\GOOD.BIN", 0, 0), kUnpackDone);
  EXPECT_TRUE(ReadBytes("C:\\OUT\\GOOD.BIN") == good_);
  EXPECT_EQ(files().FindFiles("C:\\OUT\\*").size(), 1u);
  // Read-only files are not replaced, as Windows would not open them for writing.
  ASSERT_TRUE(files().SetAttributes("C:\\OUT\\GOOD.BIN", platform::kAttrReadOnly));
  EXPECT_EQ(Unpack("C:\\DISK1\\GOOD.BI_", "C:\\OUT\\GOOD.BIN", 0, 0), kUnpackNoDestination);
  ASSERT_TRUE(files().SetAttributes("C:\\OUT\\GOOD.BIN", platform::kAttrNormal));
  ExpectCleanAfterFailure("replaced");
}

// Every file operation of an expansion over an existing file fails in turn: each failure gives the
// documented result, the destination keeps its old bytes, and nothing else is left in its folder.
TEST_F(UnpackFailureTest, EachFileOperationFailingInTurnLeavesTheDestinationAsItWas) {
  const std::vector<uint8_t> old(1000, 0x33);
  WriteBytes("C:\\OUT\\GOOD.BIN", old);
  uint16_t result = 0;
  const auto r = platform::testing::FailEachInTurn(
      host().faults(), "files",
      [&] {
        result = Unpack("C:\\DISK1\\GOOD.BI_", "C:\\OUT\\GOOD.BIN", 0, 0);
        return result == kUnpackDone;
      },
      [&](int n) {
        // A source that cannot be opened or read gives 2, or 4 where its header cannot be read.
        EXPECT_TRUE(result == kUnpackNoSource || result == kUnpackNoDestination ||
                    result == kUnpackBadHeader || result == kUnpackCheckFailed)
            << n << ": " << result;
        EXPECT_TRUE(ReadBytes("C:\\OUT\\GOOD.BIN") == old) << n;
        EXPECT_EQ(files().FindFiles("C:\\OUT\\*").size(), 1u) << n;
      });
  EXPECT_GT(r.completedAt, 2);
  EXPECT_EQ(r.spurious, 0);
  // The round that gets through may have had its fault hit the read past the end of the source,
  // which gives nothing either way: what counts is that the file is whole.
  EXPECT_LE(r.unreported, 1);
  EXPECT_TRUE(ReadBytes("C:\\OUT\\GOOD.BIN") == good_);
}

}  // namespace
}  // namespace dearc32
