// The scan window, the geometry read back, the gamma downloads and the waits before a scan.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/ui/dialog_driver.h"
#include "platform/ui/ui.h"
#include "progress_dlg.h"
#include "recording_transport.h"
#include "scan_session.h"
#include "scan_window.h"

namespace scancore {
namespace {

using testing::Device;
using testing::OneAdapter;
using testing::OpenOnBus;
using testing::Record;
using testing::Request;
using testing::ScannerHost;

uint32_t Be32(const uint8_t* p) { return uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

TEST(ScanWindowTest, LayoutOfEachMode) {
  SCANPARAM r;
  r.XResolution = 300;
  r.YResolution = 150;
  r.Left = 0x01020304;
  r.Top = 10;
  r.Width = 2400;
  r.Length = 1200;
  r.Threshold = 99;
  struct Case { int mode; uint8_t composition, bits, threshold; };
  for (Case c : {Case{kModeLineArt, 0, 1, 99}, Case{kModeGray, 2, 8, 0}, Case{kModeColor, 5, 8, 0},
                 Case{7, 0, 0, 0}}) {
    r.Mode = c.mode;
    WindowData w = BuildWindow(r, {});
    EXPECT_EQ(w[6] << 8 | w[7], 46);
    EXPECT_EQ(w[10] << 8 | w[11], 300);
    EXPECT_EQ(w[12] << 8 | w[13], 150);
    EXPECT_EQ(Be32(&w[14]), 0x01020304u);
    EXPECT_EQ(Be32(&w[22]), 2400u);
    EXPECT_EQ(w[31], c.threshold) << c.mode;
    EXPECT_EQ(w[33], c.composition) << c.mode;
    EXPECT_EQ(w[34], c.bits) << c.mode;
    EXPECT_EQ(w[37], 7);
    EXPECT_EQ(w[49], 0);
    EXPECT_EQ(w[50], 0);
    EXPECT_EQ(w[51] & w[52] & w[53], 0xFF);
  }
}

TEST(ScanWindowTest, FlagBytesFromTheRequestAndTheSwitches) {
  SCANPARAM r;
  r.HostTables = 1;
  r.VendorLevel = 0x0D;  // only the low three bits count
  r.VendorFlag = 0;
  WindowSwitches s;
  s.backTrack = 0;
  s.testMode = 0x42;
  s.padLines = 0;
  WindowData w = BuildWindow(r, s);
  EXPECT_EQ(w[37], 0);
  EXPECT_EQ(w[48], 0x42);
  EXPECT_EQ(w[49], 0xA1);
  EXPECT_EQ(w[50], 0xE0);
  // Sources; a negative without host tables asks for tables while film under-colour removal is on.
  SCANPARAM film;
  film.Source = kSourceNegative;
  EXPECT_EQ(BuildWindow(film, {}).at(50), 0x0A);
  EXPECT_EQ(BuildWindow(film, {}).at(49), 1);
  s = {};
  s.removeFilmUnderColor = 0;
  EXPECT_EQ(BuildWindow(film, s).at(49), 0);
  film.Source = kSourcePositive;
  EXPECT_EQ(BuildWindow(film, {}).at(50), 0x08);
  EXPECT_EQ(BuildWindow(film, {}).at(49), 0);
  film.Source = kSourceFourth;
  EXPECT_EQ(BuildWindow(film, {}).at(50), 0x10);
}

TEST(ScanWindowTest, LengthClippedAtTheEndOfThe600DpiGlass) {
  auto length = [](uint16_t optical, int source, uint32_t top, uint32_t len) {
    SCANPARAM r;
    r.Source = source;
    r.Top = top;
    r.Length = len;
    WindowSwitches s;
    s.opticalRes = optical;
    return Be32(&BuildWindow(r, s)[26]);
  };
  EXPECT_EQ(length(600, 0, 100, 7000), 6859u);
  EXPECT_EQ(length(600, 0, 100, 6859), 6859u);  // ends on the last line: kept
  EXPECT_EQ(length(600, 0, 100, 6860), 6859u);
  EXPECT_EQ(length(600, 0, 7000, 500), 500u);   // starts past it: left to the scanner
  EXPECT_EQ(length(600, 1, 100, 7000), 7000u);
  EXPECT_EQ(length(1200, 0, 100, 7000), 7000u);
}

TEST(ScanWindowTest, GeometryFromTheInquiry) {
  uint8_t q[122] = {};
  q[42] = 0x01, q[43] = 0x4D;  // 333 pixels
  q[44] = 0x03, q[45] = 0xE9;  // 1001 bytes
  q[46] = 0x00, q[47] = 0x64;  // 100 lines
  q[54] = 0x82, q[55] = 0x04;
  Geometry g = ReadGeometry(q, 1);
  EXPECT_EQ(g.pixelsPerLine, 333);
  EXPECT_EQ(g.bytesPerLine, 1004);
  EXPECT_EQ(ReadGeometry(q, 0).bytesPerLine, 1001);
  EXPECT_EQ(g.lines, 100);
  EXPECT_EQ(g.greenOffset, -2);
  EXPECT_EQ(g.blueOffset, 4);
  EXPECT_EQ(g.lineSpan, 6);
  q[54] = 0x02;
  EXPECT_EQ(ReadGeometry(q, 1).lineSpan, 4);
  q[54] = q[55] = 0;
  EXPECT_EQ(ReadGeometry(q, 1).lineSpan, 0);
  q[54] = 0xFF, q[55] = 0x7F;  // the widest the coding allows
  EXPECT_EQ(ReadGeometry(q, 1).lineSpan, 254);
  q[44] = q[45] = 0xFF;        // padding past 16 bits: no usable line
  EXPECT_EQ(ReadGeometry(q, 1).bytesPerLine, 0);
}

TEST(ScanWindowTest, UsableGeometryHoldsItsPixelsAndMoreLinesThanItsSpan) {
  Geometry g{100, 300, 10, 0, 4, 4};
  EXPECT_TRUE(GeometryUsable(g, kModeColor));
  g.bytesPerLine = 299;
  EXPECT_FALSE(GeometryUsable(g, kModeColor));
  EXPECT_TRUE(GeometryUsable(g, kModeGray));
  g.bytesPerLine = 300;
  g.lines = 4;
  EXPECT_FALSE(GeometryUsable(g, kModeColor));
  EXPECT_TRUE(GeometryUsable(g, kModeGray));
  g = {17, 3, 10, 0, 0, 0};
  EXPECT_TRUE(GeometryUsable(g, kModeLineArt));
  g.bytesPerLine = 2;
  EXPECT_FALSE(GeometryUsable(g, kModeLineArt));
  g.bytesPerLine = 0;
  EXPECT_FALSE(GeometryUsable(g, kModeGray));
}

TEST(ScanWindowTest, GammaDownloadsByModeAndConverterBits) {
  std::vector<uint8_t> tables(4 * 4096, 7);
  auto plan = [&](int mode, uint8_t bits) {
    std::vector<std::pair<int, int>> out;
    for (GammaSend s : GammaPlan(mode, bits, tables.data())) out.emplace_back(s.qualifier, s.table);
    return out;
  };
  using P = std::vector<std::pair<int, int>>;
  EXPECT_EQ(plan(kModeGray, 8), (P{{0x00, 3}}));
  EXPECT_EQ(plan(kModeGray, 10), (P{{0x80, 3}}));
  EXPECT_EQ(plan(kModeGray, 12), (P{{0x90, 3}}));
  EXPECT_EQ(plan(kModeColor, 8), (P{{0x01, 0}, {0x02, 1}, {0x03, 2}}));
  EXPECT_EQ(plan(kModeColor, 10), (P{{0x81, 0}, {0x82, 1}, {0x83, 2}}));
  EXPECT_EQ(plan(kModeColor, 12), (P{{0x94, 0}}));
  tables[2 * 4096 + 4095] = 8;  // the last blue entry differs
  EXPECT_EQ(plan(kModeColor, 12), (P{{0x91, 0}, {0x92, 1}, {0x93, 2}}));
  EXPECT_TRUE(plan(kModeLineArt, 12).empty());
}

TEST(ScanParamTest, SwapValueReversesBytes) {
  EXPECT_EQ(ScanCoreTestPeer::Swap(uint16_t{0x1234}), 0x3412);
  EXPECT_EQ(ScanCoreTestPeer::Swap(uint32_t{0x12345678}), 0x78563412u);
}

// What reaches the scanner: the gray table for 10 bits, one table for equal 12-bit colour
// tables, none for line art although the window asks for tables.
TEST(ScanParamTest, GammaSendsReachTheScanner) {
  ScannerHost t("win98", OneAdapter("target2=s\n", Device("s", "Color   FlatbedScanner_4", 600,
                                                          "adbits=12\ndelays=0,0\n")));
  CScanCore core(testing::kBase);
  CHWScannerInfo info;
  ASSERT_EQ(core.Initialize(info), 1);
  std::vector<uint8_t> tables(4 * 4096);
  for (size_t i = 0; i < tables.size(); ++i) tables[i] = static_cast<uint8_t>(i * 7 / 4096 + i / 4096);
  auto spy = Record(t.host(), core);
  SCANPARAM r = Request(kModeGray, 100, 600, 0, 0, 1, 1);
  r.HostTables = 1;
  r.GammaTables = tables.data();
  myIMAGEINFO image;
  ASSERT_EQ(core.SetScanParam(r, image, 0), 1);
  auto sends = spy->Of(0x2A, 0x03);
  ASSERT_EQ(sends.size(), 1u);
  EXPECT_EQ(sends[0].qualifier, 0x90);
  EXPECT_EQ(spy->sent.back(), std::vector<uint8_t>(tables.begin() + 3 * 4096, tables.end()));
  std::memcpy(tables.data() + 4096, tables.data(), 4096);
  std::memcpy(tables.data() + 8192, tables.data(), 4096);
  r.Mode = kModeColor;
  spy->log.clear();
  ASSERT_EQ(core.SetScanParam(r, image, 0), 1);
  ASSERT_EQ(spy->Of(0x2A, 0x03).size(), 1u);
  EXPECT_EQ(spy->Of(0x2A, 0x03)[0].qualifier, 0x94);
  r.Mode = kModeLineArt;
  spy->log.clear();
  ASSERT_EQ(core.SetScanParam(r, image, 0), 1);
  EXPECT_EQ(spy->windows.back()[49] & 1, 1);
  EXPECT_TRUE(spy->Of(0x2A, 0x03).empty());
  EXPECT_TRUE(t.scanner("s").observed().reserved);
  EXPECT_EQ(core.AbortScan(), 1);
  EXPECT_FALSE(t.scanner("s").observed().reserved);
}

TEST(ScanParamTest, ImageLinesLeaveOutTheAlignmentLines) {
  ScannerHost t;
  CScanCore core(testing::kBase);
  CHWScannerInfo info;
  ASSERT_TRUE(OpenOnBus(core, kBusAspiScsi, info));
  myIMAGEINFO image;
  ASSERT_EQ(core.SetScanParam(Request(kModeColor, 300, 600, 0, 0, 1.001, 1), image, 0), 1);
  EXPECT_EQ(image.PixelsPerLine, 300);
  EXPECT_EQ(image.BytesPerLine, 900);
  EXPECT_EQ(image.Lines, 300);  // 308 raw lines, delays 4 and 8 at 300 dpi
  ASSERT_EQ(core.SetScanParam(Request(kModeGray, 300, 600, 0, 0, 1.006, 1), image, 0), 1);
  EXPECT_EQ(image.PixelsPerLine, 301);
  EXPECT_EQ(image.BytesPerLine, 304);
  EXPECT_EQ(image.Lines, 300);
}

TEST(WaitReadyTest, ZeroTimeoutFailsAfterTheInquiry) {
  ScannerHost t;
  CScanCore core(testing::kBase);
  CHWScannerInfo info;
  ASSERT_TRUE(OpenOnBus(core, kBusAspiScsi, info));
  auto spy = Record(t.host(), core);
  EXPECT_EQ(ScanCoreTestPeer::WaitDeviceReady(core, 0), 0);
  EXPECT_EQ(core.GetErrorCode(), kErrDeviceTimeout);
  EXPECT_EQ(spy->log.size(), 1u);
  EXPECT_EQ(spy->log[0].opcode, 0x12);
}

// A scanner that says it waits for its firmware gets it before the wait; one that still says so
// afterwards fails with the firmware code.
TEST(WaitReadyTest, FirmwareIsSentWhenTheScannerAsksForIt) {
  ScannerHost t("win98", OneAdapter("target4=fw\n", Device("fw", "Color   FlatbedScanner10", 600,
                                                            "adbits=12\nfirmware=3\n")));
  t.WriteFile("C:\\TOVELINK\\bin\\Model.ini", "[SCSI]\n3=fw10.bin\n");
  t.WriteFile("C:\\TOVELINK\\bin\\fw10.bin", std::string(1000, '\x5A'));
  CScanCore core(testing::kBase);
  CHWScannerInfo info;
  ASSERT_EQ(core.Initialize(info), 1);
  const int booted = t.scanner("fw").observed().firmwareDownloads;
  auto spy = Record(t.host(), core);
  spy->alterInquiry = [](uint8_t* q) { q[40] |= 0x02; };
  EXPECT_EQ(ScanCoreTestPeer::WaitDeviceReady(core, 1000), 0);
  EXPECT_EQ(core.GetErrorCode(), kErrFirmware);
  EXPECT_EQ(t.scanner("fw").observed().firmwareDownloads, booted + 1);
  EXPECT_EQ(t.scanner("fw").observed().firmwareBytes, 1000u);
  spy->alterInquiry = nullptr;
  EXPECT_EQ(ScanCoreTestPeer::WaitDeviceReady(core, 1000), 1);
}

TEST(WaitReadyTest, BusyScannerTimesOut) {
  ScannerHost t;
  CScanCore core(testing::kBase);
  CHWScannerInfo info;
  ASSERT_TRUE(OpenOnBus(core, kBusAspiScsi, info));
  platform::DeviceFault busy;
  busy.kind = platform::DeviceFault::Kind::kTargetStatus;
  busy.opcode = 0x00;
  busy.status = platform::kScsiBusy;
  t.faults("flatbed").Add(busy);
  const uint64_t start = t.now();
  myIMAGEINFO image;
  EXPECT_EQ(core.SetScanParam(Request(kModeGray, 100, 600, 0, 0, 1, 1), image, 0), 0);
  EXPECT_EQ(core.GetErrorCode(), kErrDeviceTimeout);
  EXPECT_GE(t.now() - start, 18000u);
  EXPECT_LT(t.now() - start, 18000u + 1000);
}

// A scanner warming up for 5 s: the countdown in the dialog, or the callback asked at each poll.
const std::string kWarmUp = OneAdapter(
    "target2=s\n", Device("s", "Color   FlatbedScanner_4", 600, "warmup=5\ndelays=0,0\n"));

TEST(WarmUpTest, CountdownInTheProgressDialog) {
  ScannerHost t("win98", kWarmUp);
  CScanCore core(testing::kBase);
  CHWScannerInfo info;
  ASSERT_EQ(core.Initialize(info), 1);
  platform::Hwnd dialog = 0;
  t.ui().ExpectModeless("Progress", [&](platform::DialogDriver& d) { dialog = d.dialog(); });
  myIMAGEINFO image;
  const uint64_t start = t.now();
  ASSERT_EQ(core.SetScanParam(Request(kModeGray, 100, 600, 0, 0, 1, 1), image, 1), 1);
  ASSERT_NE(dialog, 0u);
  EXPECT_EQ(t.host().ui().GetDlgItemText(dialog, 1224), "Scanner is warming up...1 sec");
  EXPECT_GE(t.now(), 5000u);  // warm from power-on at 0
  EXPECT_LT(t.now() - start, 5000u + 1000);
  EXPECT_EQ(core.GetCancelCtrl(), t.host().ui().GetDlgItem(dialog, platform::IDCANCEL));
  std::vector<uint8_t> buffer(100000);
  unsigned long got = 0;
  ASSERT_EQ(core.ReadBlockData(buffer.data(), buffer.size(), buffer.size(), got), 1);
  EXPECT_EQ(t.host().ui().GetDlgItemText(dialog, 1224), "Reading data 100%");
  EXPECT_EQ(t.host().ui().SendDlgItemMessage(dialog, 42072, platform::PBM_GETPOS, 0, 0), 100);
  EXPECT_EQ(core.AbortScan(), 1);
  EXPECT_FALSE(t.host().ui().IsWindow(dialog));
  EXPECT_EQ(core.GetCancelCtrl(), 0u);
}

std::vector<unsigned> gCalls;
int gAnswer = 1;
int Callback(unsigned short kind, unsigned short value) {
  gCalls.push_back(kind * 1000u + value);
  return gAnswer;
}

TEST(WarmUpTest, CallbackAskedAtEachPollAndMayCancel) {
  for (int answer : {1, 0}) {
    ScannerHost t("win98", kWarmUp);
    CScanCore core(testing::kBase);
    CHWScannerInfo info;
    ASSERT_EQ(core.Initialize(info), 1);
    gCalls.clear();
    gAnswer = answer;
    core.SetProgressCallBack(&Callback);
    myIMAGEINFO image;
    const unsigned secondsLeft = static_cast<unsigned>((5000 - t.now() + 999) / 1000);
    ASSERT_GE(secondsLeft, 2u);
    const int ok = core.SetScanParam(Request(kModeGray, 100, 600, 0, 0, 1, 1), image, 0);
    ASSERT_FALSE(gCalls.empty());
    EXPECT_EQ(gCalls.front(), secondsLeft);  // kind 0, the seconds to go
    if (answer == 0) {
      EXPECT_EQ(ok, 0);
      EXPECT_EQ(core.GetErrorCode(), kErrUserCancelled);
      EXPECT_EQ(gCalls.size(), 1u);
    } else {
      EXPECT_EQ(ok, 1);
      EXPECT_EQ(gCalls.back(), 1u);  // the last poll before it was warm: one second to go
      gCalls.clear();
      std::vector<uint8_t> buffer(30000);
      unsigned long got = 0;
      ASSERT_EQ(core.ReadBlockData(buffer.data(), buffer.size(), buffer.size(), got), 1);
      EXPECT_EQ(gCalls.front(), 1000u);  // reading, 0 %, after the transfer measurement
      EXPECT_EQ(gCalls.back(), 1100u);
    }
  }
}

TEST(WarmUpTest, CancelDuringTheCountdown) {
  ScannerHost t("win98", kWarmUp);
  CScanCore core(testing::kBase);
  CHWScannerInfo info;
  ASSERT_EQ(core.Initialize(info), 1);
  t.ui().ExpectModeless("Progress", [&](platform::DialogDriver& d) {
    d.ui().PostClick(d.Control(platform::IDCANCEL));
  });
  myIMAGEINFO image;
  const uint64_t start = t.now();
  EXPECT_EQ(core.SetScanParam(Request(kModeGray, 100, 600, 0, 0, 1, 1), image, 1), 0);
  EXPECT_EQ(core.GetErrorCode(), kErrUserCancelled);
  EXPECT_LT(t.now() - start, 1000u);  // at the first step
  EXPECT_EQ(core.AbortScan(), 1);
}

// The dialog's texts pass through the message file; a translation's stray "%" directives are
// shown as written, never taken as formats.
TEST(WarmUpTest, DialogTextsAreTranslated) {
  ScannerHost t("win98", kWarmUp);
  t.WriteFile("C:\\WINDOWS\\Twain_32\\Tove3_00\\Tovelink.msg",
              "\"Scanner is warming up...%d sec\" \"Aufwaermen %s%n: noch %d s\"\n"
              "\"Reading data %d%%\" \"Lese %d%%\"\n"
              "\"Cancel\" \"Abbrechen\"\n");
  CScanCore core(testing::kBase);
  CHWScannerInfo info;
  ASSERT_EQ(core.Initialize(info), 1);
  platform::Hwnd dialog = 0;
  t.ui().ExpectModeless("Progress", [&](platform::DialogDriver& d) {
    dialog = d.dialog();
    EXPECT_EQ(d.Text(platform::IDCANCEL), "Abbrechen");
  });
  myIMAGEINFO image;
  ASSERT_EQ(core.SetScanParam(Request(kModeGray, 100, 600, 0, 0, 1, 1), image, 1), 1);
  EXPECT_EQ(t.host().ui().GetDlgItemText(dialog, 1224), "Aufwaermen %s%n: noch 1 s");
  std::vector<uint8_t> buffer(100000);
  unsigned long got = 0;
  ASSERT_EQ(core.ReadBlockData(buffer.data(), buffer.size(), buffer.size(), got), 1);
  EXPECT_EQ(t.host().ui().GetDlgItemText(dialog, 1224), "Lese 100%");
  core.AbortScan();
}

// SET WINDOW refused while warming up: film windows count 15 s more in the dialog; three
// refusals leave the warm-up code.
TEST(WarmUpTest, SetWindowRetriesWhileWarmingUp) {
  const std::string film = OneAdapter(
      "target5=f\n", Device("f", "Color   FlatbedScanner_9", 1200, "adbits=12\nholder=2\n"));
  platform::DeviceFault warm;
  warm.kind = platform::DeviceFault::Kind::kSense;
  warm.opcode = 0x24;
  warm.senseKey = 0x2, warm.asc = 0x04, warm.ascq = 0x01, warm.byte18 = 3;
  for (int refusals : {1, 3}) {
    ScannerHost t("win98", film);
    CScanCore core(testing::kBase);
    CHWScannerInfo info;
    ASSERT_EQ(core.Initialize(info), 1);
    warm.count = refusals;
    t.faults("f").Add(warm);
    platform::Hwnd dialog = 0;
    t.ui().ExpectModeless("Progress", [&](platform::DialogDriver& d) { dialog = d.dialog(); });
    SCANPARAM r = Request(kModeGray, 100, 1200, 0, 0, 1, 1);
    r.Source = kSourcePositive;
    myIMAGEINFO image;
    const uint64_t start = t.now();
    const int ok = core.SetScanParam(r, image, 1);
    EXPECT_EQ(t.host().ui().GetDlgItemText(dialog, 1224), "Scanner is warming up...1 sec");
    if (refusals == 1) {
      EXPECT_EQ(ok, 1);
      EXPECT_GE(t.now() - start, 18000u);  // 3 + 15 seconds
      EXPECT_LT(t.now() - start, 19000u);
    } else {
      EXPECT_EQ(ok, 0);
      EXPECT_EQ(core.GetErrorCode(), 0xFFFF0310u);
      EXPECT_GE(t.now() - start, 3 * 18000u);
    }
    core.AbortScan();
  }
}

TEST(WarmUpTest, FormatCountFillsOnlyTheFirstNumber) {
  EXPECT_EQ(FormatCount("Reading data %d%%", 42), "Reading data 42%");
  EXPECT_EQ(FormatCount("%d and %d", 7), "7 and %d");
  EXPECT_EQ(FormatCount("%s%n%x %", 1), "%s%n%x %");
  EXPECT_EQ(FormatCount("", 1), "");
}

}  // namespace
}  // namespace scancore
