// Files packed by the packer come back through Unpack byte for byte, with their date and
// attributes, from empty files to 64 MB.
#include <string>

#include "codec/packed_header.h"
#include "testing/sample_data.h"
#include "unpack_fixture.h"

namespace dearc32 {
namespace {

TEST_F(UnpackTest, EveryKindAndSizeComesBackByteForByte) {
  struct Case {
    const char* kind;
    std::vector<uint8_t> data;
  };
  const Case cases[] = {
      {"empty", {}},
      {"one byte", {0x42}},
      {"text", testing::SampleText(65535)},
      {"binary", testing::SampleBinary(131070)},
      {"noise", testing::SampleNoise(200001)},
      {"runs", testing::SampleRuns(3 << 20)},
  };
  for (const Case& c : cases) {
    Pack(c.data, "C:\\DISK1\\DATA.BI_");
    EXPECT_EQ(Unpack("C:\\DISK1\\DATA.BI_", "C:\\WINDOWS\\DATA.BIN", 0, 0), kUnpackDone) << c.kind;
    EXPECT_TRUE(ReadBytes("C:\\WINDOWS\\DATA.BIN") == c.data) << c.kind;
  }
}

TEST_F(UnpackTest, SixtyFourMegabytesOfMixedData) {
  const auto data = testing::SampleMixed(64 << 20);
  Pack(data, "C:\\DISK1\\BIG.BI_");
  EXPECT_EQ(Unpack("C:\\DISK1\\BIG.BI_", "C:\\BIG.BIN", 0, 0), kUnpackDone);
  EXPECT_TRUE(ReadBytes("C:\\BIG.BIN") == data);
}

TEST_F(UnpackTest, CreationTimeIsTheStoredDosValueAsUtcAndAttributesAsStored) {
  Pack(testing::SampleText(5000), "C:\\DISK1\\README.TX_");
  auto packed = ReadBytes("C:\\DISK1\\README.TX_");
  HeaderBytes raw;
  std::copy(packed.begin(), packed.begin() + kHeaderSize, raw.begin());
  PackedHeader header = ParseHeader(raw);
  header.dosDate = (18 << 9) | (7 << 5) | 14;       // 1998-07-14
  header.dosTime = (23 << 11) | (59 << 5) | (58 / 2);  // 23:59:58, late enough to cross a day
  header.attributes = platform::kAttrReadOnly | platform::kAttrArchive;
  raw = SerializeHeader(header);
  std::copy(raw.begin(), raw.end(), packed.begin());
  WriteBytes("C:\\DISK1\\README.TX_", packed);

  ASSERT_EQ(Unpack("C:\\DISK1\\README.TX_", "C:\\README.TXT", 0, 0), kUnpackDone);
  const auto created = files().GetCreationTime("C:\\README.TXT");
  ASSERT_TRUE(created.has_value());
  EXPECT_EQ(platform::UnixFromFileTime(*created), 900460798);  // 1998-07-14 23:59:58 UTC
  EXPECT_EQ(files().GetAttributes("C:\\README.TXT") & 0xFF,
            platform::kAttrReadOnly | platform::kAttrArchive);
}

TEST_F(UnpackTest, PackerRecordsTheFilesDateAttributesAndName) {
  host_.WriteFile("C:\\SRC\\KVT32.INI", "[Scanner]\r\nPort=378\r\n");
  const platform::FileTime stamp = platform::FileTimeFromUnix(900460798);
  ASSERT_TRUE(files().SetWriteTime("C:\\SRC\\KVT32.INI", stamp));
  ASSERT_TRUE(files().SetAttributes("C:\\SRC\\KVT32.INI", platform::kAttrHidden));
  ASSERT_EQ(PackFile(files(), {"C:\\SRC\\KVT32.INI", "C:\\KVT32.IN_", {}}), PackResult::kDone);
  const auto packed = ReadBytes("C:\\KVT32.IN_");
  ASSERT_GT(packed.size(), kHeaderSize);
  HeaderBytes raw;
  std::copy(packed.begin(), packed.begin() + kHeaderSize, raw.begin());
  const PackedHeader header = ParseHeader(raw);
  EXPECT_EQ(header.expandedSize, 21u);
  EXPECT_EQ(platform::FileTimeFromDos(header.dosDate, header.dosTime), stamp);
  EXPECT_EQ(header.attributes & 0xFF, platform::kAttrHidden);
  EXPECT_EQ(std::string(packed.begin() + kHeaderSize, packed.begin() + kHeaderSize + 11),
            "KVT32.INI\r\n");
}

}  // namespace
}  // namespace dearc32
