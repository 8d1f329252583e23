// ReadBlockData block by block: the READs it sends, what each call delivers, the carried lines,
// progress and cancel, and what it refuses.
#include <gtest/gtest.h>

#include "platform/faults/faults.h"

#include <cstring>

#include "platform/ui/dialog_driver.h"
#include "platform/memory/memory.h"
#include "recompose.h"
#include "recording_transport.h"
#include "scan_session.h"

namespace scancore {
namespace {

using testing::Device;
using testing::Expected;
using testing::OneAdapter;
using testing::Record;
using testing::Request;
using testing::ScannerHost;

// Raw line L holds red bytes 3L, green 3L+1, blue 3L+2 (mod 256), so each recomposed byte names
// the raw line it came from.
std::vector<uint8_t> LabelledRaw(size_t lines, size_t p, size_t b) {
  std::vector<uint8_t> raw(lines * b, 0xEE);
  for (size_t l = 0; l < lines; ++l) {
    for (int ch = 0; ch < 3; ++ch) std::memset(&raw[l * b + ch * p], int(3 * l + ch) & 0xFF, p);
  }
  return raw;
}

TEST(RecomposeTest, RowsComeFromTheirDelayedLines) {
  const size_t p = 4, b = 16;
  // Green -2, blue +4: the first image line's red row is raw line 2, green 0, blue 6.
  auto raw = LabelledRaw(12, p, b);
  std::vector<uint8_t> buffer(b + raw.size());
  std::memcpy(buffer.data() + b, raw.data(), raw.size());
  RecomposeLines(buffer.data() + b, buffer.data(), 6, {p, b, -2, 4}, false);
  for (size_t i = 0; i < 6; ++i) {
    for (size_t x = 0; x < p; ++x) {
      EXPECT_EQ(buffer[i * b + 3 * x], 3 * (i + 2)) << i;
      EXPECT_EQ(buffer[i * b + 3 * x + 1], 3 * i + 1) << i;
      EXPECT_EQ(buffer[i * b + 3 * x + 2], 3 * (i + 6) + 2) << i;
    }
  }
  // Blue first: the same rows in the other order.
  std::memcpy(buffer.data() + b, raw.data(), raw.size());
  RecomposeLines(buffer.data() + b, buffer.data(), 1, {p, b, -2, 4}, true);
  EXPECT_EQ(buffer[0], 3 * 6 + 2);
  EXPECT_EQ(buffer[2], 3 * 2);
}

TEST(RecomposeTest, ReverseLinesSwapsAroundTheMiddle) {
  std::vector<uint8_t> lines = {0, 0, 1, 1, 2, 2, 3, 3, 4, 4};
  ReverseLines(lines.data(), 5, 2);
  EXPECT_EQ(lines, (std::vector<uint8_t>{4, 4, 3, 3, 2, 2, 1, 1, 0, 0}));
  ReverseLines(lines.data(), 1, 2);
  EXPECT_EQ(lines[0], 4);
}

// 100 pixels of colour at the optical 300 dpi: B = 300; delays 1 and 2 give D = 2.
const std::string kSmallColour = OneAdapter(
    "target2=s\n", Device("s", "Color   FlatbedScanner_4", 300, "adbits=8\ndelays=1,2\n"));

struct Session {
  explicit Session(const std::string& machine = kSmallColour) : t("win98", machine) {
    EXPECT_EQ(core.Initialize(info), 1);
  }
  ScannerHost t;
  CScanCore core{testing::kBase};
  CHWScannerInfo info;
};

TEST(ReadBlockTest, WorkedColourBlocks) {
  Session s;
  auto spy = Record(s.t.host(), s.core);
  myIMAGEINFO image;
  ASSERT_EQ(s.core.SetScanParam(Request(kModeColor, 300, 300, 0, 0, 1.0 / 3, 1), image, 0), 1);
  ASSERT_EQ(image.BytesPerLine, 300);
  ASSERT_EQ(image.Lines, 300);
  auto expected = Expected(s.t.scanner("s"), image);
  std::vector<uint8_t> buffer(3000);
  unsigned long got = 0;
  ASSERT_EQ(s.core.ReadBlockData(buffer.data(), 3000, 3000, got), 1);
  EXPECT_EQ(got, 2100u);
  EXPECT_EQ(spy->Lengths(0x28, 0x00), (std::vector<uint32_t>{2700}));
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 2100, expected.begin()));
  // Raw lines 7 and 8 are carried: they are what the second block's first lines need.
  ASSERT_EQ(s.core.ReadBlockData(buffer.data(), 3000, 3000, got), 1);
  EXPECT_EQ(got, 2100u);
  EXPECT_EQ(spy->Lengths(0x28, 0x00), (std::vector<uint32_t>{2700, 2100}));
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 2100, expected.begin() + 2100));
  EXPECT_EQ(s.core.AbortScan(), 1);
}

TEST(ReadBlockTest, ColourCarryMustFitTheBuffer) {
  Session s;
  myIMAGEINFO image;
  ASSERT_EQ(s.core.SetScanParam(Request(kModeColor, 300, 300, 0, 0, 1.0 / 3, 1), image, 0), 1);
  std::vector<uint8_t> buffer(1500);
  unsigned long got = 0;
  // 1 line asked for: the request grows by the 2 carried lines to 900 bytes, which fit.
  EXPECT_EQ(s.core.ReadBlockData(buffer.data(), 899, 300, got), 0);
  EXPECT_EQ(s.core.GetErrorCode(), kErrBufferTooSmall);
  EXPECT_EQ(s.core.ReadBlockData(buffer.data(), 900, 300, got), 1);
  EXPECT_EQ(got, 0u);  // the first block only fills the carried lines
  // Later blocks need the spare line, the carried lines and one more.
  EXPECT_EQ(s.core.ReadBlockData(buffer.data(), 900, 900, got), 0);
  EXPECT_EQ(s.core.GetErrorCode(), kErrBufferTooSmall);
  EXPECT_EQ(s.core.ReadBlockData(buffer.data(), 1200, 1200, got), 1);
  EXPECT_EQ(got, 300u);
}

// 1000-byte gray lines, 50 asked for: READs of 32 lines (the 8000h read size) and the 18 left,
// with progress after each.
TEST(ReadBlockTest, ReadSizeSplitsTheBlockAndTheRequestLowersIt) {
  Session s(OneAdapter("target2=s\n", Device("s", "Color   FlatbedScanner_4", 1000,
                                             "adbits=8\ndelays=0,0\n")));
  auto spy = Record(s.t.host(), s.core);
  static std::vector<unsigned> percents;
  percents.clear();
  s.core.SetProgressCallBack([](unsigned short kind, unsigned short value) {
    if (kind == 1) percents.push_back(value);
    return 1;
  });
  myIMAGEINFO image;
  ASSERT_EQ(s.core.SetScanParam(Request(kModeGray, 1000, 1000, 0, 0, 1, 0.2), image, 0), 1);
  ASSERT_EQ(image.BytesPerLine, 1000);
  ASSERT_EQ(image.Lines, 200);
  std::vector<uint8_t> buffer(50000);
  unsigned long got = 0;
  ASSERT_EQ(s.core.ReadBlockData(buffer.data(), 50000, 50000, got), 1);
  EXPECT_EQ(got, 50000u);
  EXPECT_EQ(spy->Lengths(0x28, 0x00), (std::vector<uint32_t>{32000, 18000}));
  EXPECT_EQ(percents, (std::vector<unsigned>{0, 16, 25}));
  // A smaller request lowers the read size for the rest of the scan.
  ASSERT_EQ(s.core.ReadBlockData(buffer.data(), 50000, 10000, got), 1);
  ASSERT_EQ(s.core.ReadBlockData(buffer.data(), 50000, 50000, got), 1);
  EXPECT_EQ(spy->Lengths(0x28, 0x00),
            (std::vector<uint32_t>{32000, 18000, 10000, 10000, 10000, 10000, 10000, 10000}));
}

TEST(ReadBlockTest, CancelDuringReading) {
  Session s;
  platform::Hwnd cancel = 0;
  s.t.ui().ExpectModeless("Progress", [&](platform::DialogDriver& d) {
    cancel = d.Control(platform::IDCANCEL);
  });
  myIMAGEINFO image;
  ASSERT_EQ(s.core.SetScanParam(Request(kModeGray, 300, 300, 0, 0, 1, 1), image, 1), 1);
  std::vector<uint8_t> buffer(3000);
  unsigned long got = 0;
  ASSERT_EQ(s.core.ReadBlockData(buffer.data(), 3000, 3000, got), 1);
  // Pressed in one call, released in the next: one click.
  s.t.host().ui().PostMessage(cancel, platform::WM_LBUTTONDOWN, 0, 0);
  ASSERT_EQ(s.core.ReadBlockData(buffer.data(), 3000, 3000, got), 1);
  s.t.host().ui().PostMessage(cancel, platform::WM_LBUTTONUP, 0, 0);
  EXPECT_EQ(s.core.ReadBlockData(buffer.data(), 3000, 3000, got), 0);
  EXPECT_EQ(s.core.GetErrorCode(), kErrUserCancelled);
  EXPECT_TRUE(s.t.scanner("s").observed().reserved);  // until AbortScan
  EXPECT_EQ(s.core.AbortScan(), 1);
  EXPECT_FALSE(s.t.scanner("s").observed().reserved);
}

// Calls that would read zero lines per READ read nothing and fail with a defined code.
TEST(ReadBlockFaultTest, NothingToReadIsRefused) {
  Session s;
  auto spy = Record(s.t.host(), s.core);
  myIMAGEINFO image;
  ASSERT_EQ(s.core.SetScanParam(Request(kModeGray, 300, 300, 0, 0, 1, 0.05), image, 0), 1);
  ASSERT_EQ(image.BytesPerLine, 300);
  std::vector<uint8_t> buffer(20000);
  unsigned long got = 77;
  EXPECT_EQ(s.core.ReadBlockData(buffer.data(), 20000, 299, got), 0);  // less than a line
  EXPECT_EQ(s.core.GetErrorCode(), kErrBufferTooSmall);
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(spy->Of(0x28).empty());
  EXPECT_TRUE(spy->Of(0x1B).empty());  // not even started
  ASSERT_EQ(s.core.ReadBlockData(buffer.data(), 20000, 20000, got), 1);
  EXPECT_EQ(got, 15u * 300);
  const size_t reads = spy->Of(0x28).size();
  EXPECT_EQ(s.core.ReadBlockData(buffer.data(), 20000, 20000, got), 0);  // every line delivered
  EXPECT_EQ(s.core.GetErrorCode(), kErrNoLinesLeft);
  EXPECT_EQ(spy->Of(0x28).size(), reads);
  // A read size below one line (the caller's own command read size, with host tables).
  s.core.SetCmdReadSize(200);
  SCANPARAM r = Request(kModeGray, 300, 300, 0, 0, 1, 0.05);
  r.HostTables = 1;
  ASSERT_EQ(s.core.SetScanParam(r, image, 0), 1);
  EXPECT_EQ(s.core.ReadBlockData(buffer.data(), 20000, 20000, got), 0);
  EXPECT_EQ(s.core.GetErrorCode(), kErrBufferTooSmall);
  EXPECT_EQ(spy->Of(0x28).size(), reads);
}

TEST(ReadBlockFaultTest, CarryBufferThatCannotBeHad) {
  Session s;
  myIMAGEINFO image;
  ASSERT_EQ(s.core.SetScanParam(Request(kModeColor, 300, 300, 0, 0, 1.0 / 3, 1), image, 0), 1);
  std::vector<uint8_t> buffer(70000);  // large enough for the transfer measurement
  s.t.host().faults().FailNth(platform::fault_point::kMemoryAllocate, 1);
  unsigned long got = 1;
  EXPECT_EQ(s.core.ReadBlockData(buffer.data(), buffer.size(), 3000, got), 0);
  EXPECT_EQ(s.core.GetErrorCode(), kErrNoMemory);
  EXPECT_EQ(got, 0u);
  // The scan had not begun delivering: the next call starts it afresh, with its carry.
  ASSERT_EQ(s.core.ReadBlockData(buffer.data(), buffer.size(), 3000, got), 1);
  ASSERT_EQ(got, 2100u);
  auto expected = Expected(s.t.scanner("s"), image);
  EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 2100, expected.begin()));
}

// A scanner whose inquiry describes lines or delays the data cannot have.
TEST(ReadBlockFaultTest, UntrustedGeometryIsRefused) {
  struct Case {
    const char* what;
    std::function<void(uint8_t*)> alter;
  };
  const Case cases[] = {
      {"no bytes per line", [](uint8_t* q) { q[44] = q[45] = 0; }},
      {"lines shorter than their pixels", [](uint8_t* q) { q[42] = 0x10, q[43] = 0; }},
      {"no lines", [](uint8_t* q) { q[46] = q[47] = 0; }},
      {"delays longer than the scan", [](uint8_t* q) { q[54] = 0x7F, q[55] = 0xFF; }},
  };
  for (const Case& c : cases) {
    Session s;
    auto spy = Record(s.t.host(), s.core);
    spy->alterInquiry = c.alter;
    myIMAGEINFO image;
    EXPECT_EQ(s.core.SetScanParam(Request(kModeColor, 300, 300, 0, 0, 1, 0.3), image, 0), 0) << c.what;
    EXPECT_EQ(s.core.GetErrorCode(), kErrBufferTooSmall) << c.what;
  }
}

// Delays of 127 lines each way on a long scan are usable, but only with a buffer that holds them.
TEST(ReadBlockFaultTest, LongDelaysNeedTheirRoomAndNothingIsWrittenPastTheBuffer) {
  Session s;
  auto spy = Record(s.t.host(), s.core);
  spy->alterInquiry = [](uint8_t* q) { q[54] = 0x7F, q[55] = 0xFF; };
  myIMAGEINFO image;
  ASSERT_EQ(s.core.SetScanParam(Request(kModeColor, 300, 300, 0, 0, 1.0 / 3, 2), image, 0), 1);
  EXPECT_EQ(image.Lines, 602 - 254);  // what the inquiry claims: 602 raw lines less 254
  std::vector<uint8_t> buffer(65536 + 64, 0xA5);
  unsigned long got = 0;
  EXPECT_EQ(s.core.ReadBlockData(buffer.data(), 65536, 65536, got), 0);
  EXPECT_EQ(s.core.GetErrorCode(), kErrBufferTooSmall);
  for (size_t i = 0; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xA5) << i;
}

}  // namespace
}  // namespace scancore
