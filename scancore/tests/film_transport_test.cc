// The film holder, the transport commands, the focus scan and the stored film settings.
#include <gtest/gtest.h>

#include "recording_transport.h"
#include "scan_session.h"

namespace scancore {
namespace {

using testing::Device;
using testing::OneAdapter;
using testing::Record;
using testing::Request;
using testing::ScannerHost;

const std::string kFilm = OneAdapter(
    "target5=f\n", Device("f", "Color   FlatbedScanner_9", 1200, "adbits=12\nholder=2,0x11,0x22,0x33\n"));

struct FilmSession {
  FilmSession() : t("win98", kFilm) { EXPECT_EQ(core.Initialize(info), 1); }
  emulator::ScsiScanner& scanner() { return t.scanner("f"); }
  ScannerHost t;
  CScanCore core{testing::kBase};
  CHWScannerInfo info;
};

TEST(FilmTest, HolderTypeAndDetails) {
  FilmSession s;
  s.core.CheckHolderType(s.info);
  EXPECT_EQ(s.info.GetHolderType(), 2);
  EXPECT_EQ(s.info.GetHolderInfo(), 0x33220011u);
  // A failing inquiry changes nothing and leaves no error.
  platform::DeviceFault fault;
  fault.kind = platform::DeviceFault::Kind::kSense;
  fault.opcode = 0x12;
  fault.senseKey = 0x4;
  s.t.faults("f").Add(fault);
  CHWScannerInfo other;
  s.core.CheckHolderType(other);
  EXPECT_EQ(other.GetHolderType(), 0);
  EXPECT_EQ(s.core.GetErrorCode(), kNoError);
}

TEST(FilmTest, TransportCommands) {
  FilmSession s;
  EXPECT_EQ(s.core.LoadObject(), 1);
  EXPECT_TRUE(s.scanner().observed().filmLoaded);
  EXPECT_EQ(s.core.AbsoultePosition(300), 1);
  EXPECT_EQ(s.core.RelativePosition(45), 1);
  EXPECT_EQ(s.scanner().observed().position, 345u);
  EXPECT_EQ(s.core.Eject(), 1);
  EXPECT_FALSE(s.scanner().observed().filmLoaded);
  // A flatbed without a film unit refuses: the transport's code, opcode 31h.
  ScannerHost flat;
  CScanCore core(testing::kBase);
  CHWScannerInfo info;
  ASSERT_TRUE(testing::OpenOnBus(core, kBusAspiScsi, info));
  EXPECT_EQ(core.Eject(), 0);
  EXPECT_EQ(core.GetErrorCode() >> 24, 0x31u);
}

TEST(FilmTest, StoredSettingsSendNothing) {
  FilmSession s;
  auto spy = Record(s.t.host(), s.core);
  s.core.EnableAutoFocusMode(true);
  s.core.SetFocus(77);
  s.core.SetFrameNo(3);
  EXPECT_EQ(s.core.GetFocus(), 77u);
  EXPECT_TRUE(spy->log.empty());
  EXPECT_TRUE(s.scanner().observed().focusHistory.empty());
}

// Start 100, step 10, four lines: focus 100 before the scan, then 100, 110, 120, 130 after each
// line; the line read at the best focus is the sharpest.
TEST(FilmTest, FocusScan) {
  FilmSession s;
  myIMAGEINFO image;
  SCANPARAM r = Request(kModeGray, 300, 1200, 1, 1, 2, 1);
  r.Source = kSourcePositive;
  s.core.SetHostShading(0);
  ASSERT_EQ(s.core.SetScanParam(r, image, 0), 1);
  const size_t b = image.BytesPerLine;
  std::vector<uint8_t> buffer(4 * b);
  unsigned long got = 0;
  EXPECT_EQ(s.core.ReadFocusData(buffer.data(), 4 * b - 1, got, 100, 10, 4), 0);  // too small
  EXPECT_EQ(s.core.GetErrorCode(), kErrBufferTooSmall);
  ASSERT_EQ(s.core.ReadFocusData(buffer.data(), buffer.size(), got, 100, 10, 4), 1);
  EXPECT_EQ(got, 4 * b);
  EXPECT_EQ(s.scanner().observed().focusHistory, (std::vector<uint32_t>{100, 100, 110, 120, 130}));
  EXPECT_EQ(s.core.AbortScan(), 1);
}

}  // namespace
}  // namespace scancore
