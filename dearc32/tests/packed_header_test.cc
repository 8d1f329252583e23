// The container around the stream: header fields at their offsets, the name line's limits,
// and whole packed files read back from memory.
#include <gtest/gtest.h>

#include "codec/crc32.h"
#include "codec/memory_streams.h"
#include "codec/packed_member.h"
#include "codec/lzhuf_encoder.h"

namespace dearc32 {
namespace {

TEST(PackedHeader, FieldsSitAtTheirOffsetsLittleEndian) {
  PackedHeader h;
  h.signature = {'a', 'b', 'c'};
  h.expandedSize = 0x04030201;
  h.reserved = 0x08070605;
  h.dosDate = 0x0A09;
  h.dosTime = 0x0C0B;
  h.attributes = 0x0E0D;
  h.versionLs = 0x1211100F;
  h.versionMs = 0x16151413;
  h.crc = 0x1A191817;
  const HeaderBytes b = SerializeHeader(h);
  // Offsets 21..24 hold the most significant version word.
  EXPECT_EQ(b[3], 1);
  EXPECT_EQ(b[11], 9);
  EXPECT_EQ(b[15], 13);
  EXPECT_EQ(b[17], 15);
  EXPECT_EQ(b[21], 0x13);
  EXPECT_EQ(b[25], 0x17);
  EXPECT_EQ(b[28], 0x1A);
  const PackedHeader back = ParseHeader(b);
  EXPECT_EQ(back.expandedSize, h.expandedSize);
  EXPECT_EQ(back.versionMs, h.versionMs);
  EXPECT_EQ(back.crc, h.crc);
}

std::string NameOf(const std::string& line) {
  NameLineReader reader;
  for (char c : line) {
    if (!reader.Take(static_cast<uint8_t>(c))) break;
  }
  return reader.Name();
}

TEST(PackedHeader, NameLineEndsAtLineFeedOrAfter260Bytes) {
  EXPECT_EQ(NameOf("KVT32.DLL\r\nrest"), "KVT32.DLL");
  EXPECT_EQ(NameOf("\r\n"), "");
  // Without a line feed the 260th byte ends the line and it and the byte before are dropped.
  EXPECT_EQ(NameOf(std::string(300, 'n')), std::string(258, 'n'));
  ASSERT_TRUE(MakeNameLine(std::string(kMaxStoredName, 'n')).has_value());
  EXPECT_EQ(NameOf(*MakeNameLine(std::string(kMaxStoredName, 'n'))), std::string(258, 'n'));
  EXPECT_FALSE(MakeNameLine(std::string(kMaxStoredName + 1, 'n')).has_value());
  EXPECT_FALSE(MakeNameLine("two\nlines").has_value());
}

std::vector<uint8_t> PackInMemory(const std::vector<uint8_t>& data, const std::string& name) {
  PackedHeader h;
  h.expandedSize = static_cast<uint32_t>(data.size());
  h.crc = ComputeCrc32(data.data(), data.size());
  const HeaderBytes hb = SerializeHeader(h);
  std::vector<uint8_t> file(hb.begin(), hb.end());
  const std::string line = *MakeNameLine(name);
  file.insert(file.end(), line.begin(), line.end());
  const auto stream = EncodeLzhuf(data);
  file.insert(file.end(), stream.begin(), stream.end());
  return file;
}

ExpandOutcome ExpandInMemory(const std::vector<uint8_t>& file, MemorySink& sink,
                             std::string* name = nullptr) {
  MemorySource source(file);
  InputBuffer input(source);
  const auto info = ReadMemberInfo(source, input);
  if (!info) return {ExpandStatus::kTruncated, 0, 0};
  if (name) *name = info->name;
  OutputBuffer out(sink);
  return ExpandMember(info->header, input, out, nullptr);
}

TEST(PackedMember, WholeFileExpandsAndKeepsItsName) {
  const std::vector<uint8_t> data(70000, 'z');
  const auto file = PackInMemory(data, "TWAIN.DLL");
  MemorySink sink;
  std::string name;
  const ExpandOutcome r = ExpandInMemory(file, sink, &name);
  EXPECT_EQ(r.status, ExpandStatus::kGood);
  EXPECT_EQ(name, "TWAIN.DLL");
  EXPECT_TRUE(sink.bytes == data);
}

TEST(PackedMember, EmptyMemberNeedsACheckValueOfZero) {
  auto file = PackInMemory({}, "EMPTY.TXT");
  MemorySink sink;
  EXPECT_EQ(ExpandInMemory(file, sink).status, ExpandStatus::kGood);
  EXPECT_TRUE(sink.bytes.empty());
  file[25] = 1;
  EXPECT_EQ(ExpandInMemory(file, sink).status, ExpandStatus::kCrcMismatch);
}

TEST(PackedMember, ShortHeaderIsRefused) {
  const auto file = PackInMemory({1, 2, 3}, "X");
  for (size_t keep : {0u, 1u, 28u}) {
    const std::vector<uint8_t> cut(file.begin(), file.begin() + keep);
    MemorySource source(cut);
    InputBuffer input(source);
    EXPECT_FALSE(ReadMemberInfo(source, input).has_value()) << keep;
  }
}

TEST(PackedMember, FailedWriteIsReportedNotHidden) {
  const auto data = std::vector<uint8_t>(200000, 'w');
  const auto file = PackInMemory(data, "BIG.BIN");
  MemorySink sink(100000);
  const ExpandOutcome r = ExpandInMemory(file, sink);
  EXPECT_EQ(r.status, ExpandStatus::kWriteFailed);
  EXPECT_LE(r.produced, 2 * kBufferSize + kMaxMatch);
}

TEST(PackedMember, SizesThatFillTheOutputBufferExactlyAreWrittenWhole) {
  for (size_t size : {kBufferSize, 2 * kBufferSize}) {
    std::vector<uint8_t> data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 251);
    MemorySink sink;
    EXPECT_EQ(ExpandInMemory(PackInMemory(data, "F"), sink).status, ExpandStatus::kGood);
    EXPECT_EQ(sink.bytes.size(), size);
  }
}

}  // namespace
}  // namespace dearc32
