#include <algorithm>
#include <memory>

#include "platform/clock/clock.h"
#include "scanner_harness.h"
#include "scsi_scanner.h"

namespace emulator {
namespace {

using namespace emulator::testing;
using platform::ScsiDirection;

class ScannerTest : public ::testing::Test {
 protected:
  platform::VirtualClock clock;
  std::shared_ptr<const Page> chart = std::make_shared<TestChart>();

  std::unique_ptr<ScsiScanner> Make(ScannerModel m, uint8_t parallelModes = 0) {
    return std::make_unique<ScsiScanner>(std::move(m), clock, chart, parallelModes);
  }
  static ScannerModel Flat8() {
    ScannerModel m;
    m.adBits = 8;
    m.flatSensor = true;
    m.scanStartMs = 0;
    return m;
  }
  static Reply Inquiry(platform::ScsiDevice& s, uint8_t length) {
    return In(s, {0x12, 0, 0, 0, length, 0}, length);
  }
  static std::vector<uint8_t> ReadAll(ScsiScanner& s, uint32_t bytesPerLine, uint32_t lines) {
    std::vector<uint8_t> all;
    while (lines > 0) {
      uint32_t n = std::min<uint32_t>(lines, 7);
      Reply r = ReadData(s, 0x00, n * bytesPerLine);
      EXPECT_TRUE(r.good());
      all.insert(all.end(), r.data.begin(), r.data.end());
      lines -= n;
    }
    return all;
  }
};

TEST_F(ScannerTest, InquiryCarriesIdentityOptionsAndGeometry) {
  ScannerModel m;
  m.vendorProduct = "Color   FlatbedScanner_4";
  m.revision = "0105";
  m.adBits = 12;
  m.option = 1;
  m.holderType = 2;
  m.holderDetails[0] = 0x11;
  auto s = Make(m);
  Reply shortForm = Inquiry(*s, 36);
  ASSERT_TRUE(shortForm.good());
  ASSERT_EQ(shortForm.data.size(), 36u);
  EXPECT_EQ(std::string(shortForm.data.begin() + 8, shortForm.data.begin() + 32), m.vendorProduct);
  Reply full = Inquiry(*s, 122);
  ASSERT_EQ(full.data.size(), 122u);
  EXPECT_EQ(std::string(full.data.begin() + 32, full.data.begin() + 36), "0105");
  EXPECT_EQ(full.data[37] & 0xE0, 0x40);        // option 1, not a 10-bit converter
  EXPECT_EQ(full.data[39] & 0x20, 0x20);        // 12 bits
  EXPECT_EQ(full.data[48] << 8 | full.data[49], 600);
  EXPECT_EQ(std::string(full.data.begin() + 100, full.data.begin() + 111), "Jan 15 1999");
  EXPECT_EQ(full.data[118], 2);
  EXPECT_EQ(full.data[119], 0x11);
  EXPECT_EQ(full.data[42] | full.data[43] | full.data[46], 0);  // no window yet

  ASSERT_TRUE(SetWindow(*s, {.xRes = 300, .yRes = 300, .width = 1001, .length = 100}).good());
  full = Inquiry(*s, 122);
  // 1001 optical units at 300 of 600 dpi: 500 pixels, 1500 colour bytes, padded to 4.
  EXPECT_EQ(full.data[42] << 8 | full.data[43], 500);
  EXPECT_EQ(full.data[44] << 8 | full.data[45], 1500);
  // Delays 8 and 16 optical lines are 4 and 8 at 300 dpi; 50 window lines plus 8 to align.
  EXPECT_EQ(full.data[54], 4);
  EXPECT_EQ(full.data[55], 8);
  EXPECT_EQ(full.data[46] << 8 | full.data[47], 58);
}

TEST_F(ScannerTest, NegativeDelaysUseSignAndMagnitude) {
  ScannerModel m = Flat8();
  m.greenDelay = -4;
  m.blueDelay = 8;
  auto s = Make(m);
  ASSERT_TRUE(SetWindow(*s, {.width = 600, .length = 600}).good());
  Reply r = Inquiry(*s, 122);
  EXPECT_EQ(r.data[54], 0x82);  // green -2 at 300 dpi
  EXPECT_EQ(r.data[55], 0x04);
  EXPECT_EQ(r.data[46] << 8 | r.data[47], 300 + 6);
}

TEST_F(ScannerTest, WarmUpCountsDownOnTheHostClock) {
  ScannerModel m = Flat8();
  m.warmUpSeconds = 30;
  auto s = Make(m);
  Reply r = Exec(*s, {0x00, 0, 0, 0, 0, 0});
  EXPECT_EQ(r.outcome.targetStatus, platform::kScsiCheckCondition);
  EXPECT_EQ(r.key(), 2);
  EXPECT_EQ(r.asc(), 0x04);
  EXPECT_EQ(r.ascq(), 0x01);
  EXPECT_EQ(r.outcome.sense[18], 30);
  clock.Advance(12500);
  EXPECT_EQ(Exec(*s, {0x00, 0, 0, 0, 0, 0}).outcome.sense[18], 18);
  EXPECT_EQ(SetWindow(*s, {}).outcome.sense[18], 18);  // SET WINDOW waits for warm-up too
  clock.Advance(17500);
  EXPECT_TRUE(Exec(*s, {0x00, 0, 0, 0, 0, 0}).good());
  EXPECT_TRUE(Inquiry(*s, 36).good());  // INQUIRY always answers
}

TEST_F(ScannerTest, BadRequestsGetNamedSense) {
  auto s = Make(Flat8());
  Reply r = Exec(*s, {0xC7, 0, 0, 0, 0, 0});
  EXPECT_EQ(r.key(), 5);
  EXPECT_EQ(r.asc(), 0x20);  // invalid operation code
  r = Exec(*s, {0x28, 0, 0, 0, 0, 0});  // a 10-byte command in 6 bytes
  EXPECT_EQ(r.asc(), 0x24);
  r = Out(*s, {0x24, 0, 0, 0, 0, 0, 0, 0, 0x30, 0}, std::vector<uint8_t>(54));
  EXPECT_EQ(r.asc(), 0x24);  // transfer length other than 54
  for (WindowParams bad : {WindowParams{.xRes = 0}, WindowParams{.width = 0},
                           WindowParams{.left = 5000, .width = 200}, WindowParams{.composition = 3},
                           WindowParams{.composition = 0, .bitsPerPixel = 8},
                           WindowParams{.byte50 = 0x08}}) {  // film on a scanner without a film unit
    r = SetWindow(*s, bad);
    EXPECT_EQ(r.key(), 5);
    EXPECT_EQ(r.asc(), 0x26);
  }
  EXPECT_EQ(ReadData(*s, 0x00, 100).asc(), 0x2C);  // no scan in progress
  EXPECT_EQ(ReadData(*s, 0x55, 10).asc(), 0x24);   // unknown data type
  EXPECT_EQ(Exec(*s, {0x1B, 0, 0, 0, 0, 0}).asc(), 0x2C);  // SCAN without a window
  // The last check condition is what REQUEST SENSE reports, once.
  Reply sense = In(*s, {0x03, 0, 0, 0, 20, 0}, 20);
  EXPECT_EQ(sense.data[12], 0x2C);
  EXPECT_EQ(In(*s, {0x03, 0, 0, 0, 20, 0}, 20).data[12], 0);
  // Zero-length transfers come with no buffer at all.
  EXPECT_TRUE(Exec(*s, {0x03, 0, 0, 0, 0, 0}, ScsiDirection::kIn).good());
  EXPECT_TRUE(Exec(*s, {0x12, 0, 0, 0, 0, 0}, ScsiDirection::kIn).good());
  // A buffer smaller than the transfer length is an overrun at the adapter.
  Reply overrun = Exec(*s, {0x28, 0, 0x80, 0, 0, 0, 0, 1, 0, 0}, ScsiDirection::kIn,
                      std::vector<uint8_t>(16));
  EXPECT_EQ(overrun.outcome.hostStatus, platform::kHostDataOverrunUnderrun);
}

// A colour scan of the colour bars, recomposed by the host's rule, gives the bars' colours.
TEST_F(ScannerTest, ColourScanDeliversChartThroughLineDelays) {
  ScannerModel m = Flat8();
  m.greenDelay = -4;
  m.blueDelay = 8;
  auto s = Make(m);
  const WindowParams w{.xRes = 300, .yRes = 300, .top = 960, .width = 5100, .length = 60};
  ASSERT_TRUE(SetWindow(*s, w).good());
  Reply inquiry = Inquiry(*s, 122);
  const uint32_t ppl = inquiry.data[42] << 8 | inquiry.data[43];
  const uint32_t bpl = inquiry.data[44] << 8 | inquiry.data[45];
  const uint32_t lines = inquiry.data[46] << 8 | inquiry.data[47];
  ASSERT_EQ(ppl, 2550u);
  ASSERT_TRUE(Exec(*s, {0x1B, 0, 0, 0, 0, 0}).good());
  std::vector<uint8_t> raw = ReadAll(*s, bpl, lines);
  ASSERT_EQ(raw.size(), size_t{bpl} * lines);
  EXPECT_EQ(ReadData(*s, 0x00, bpl).asc(), 0x2C);  // the image ends after its lines
  const int green = -2, blue = 4, base = 2;         // base skips the lines green runs ahead
  for (uint32_t i = 0; i < lines - 6; ++i) {
    auto at = [&](int rawLine, int plane, uint32_t px) { return raw[rawLine * bpl + plane * ppl + px]; };
    // Pixel 300 lies in the white bar, 450 in yellow, 1950 in blue.
    EXPECT_EQ(at(base + i, 0, 300), 255);
    EXPECT_EQ(at(base + i + green, 1, 450), 255);
    EXPECT_EQ(at(base + i + blue, 2, 450), 0);
    EXPECT_EQ(at(base + i, 0, 1950), 0);
    EXPECT_EQ(at(base + i + blue, 2, 1950), 255);
  }
}

TEST_F(ScannerTest, GammaTablesAreCheckedAndApplied) {
  ScannerModel m = Flat8();
  m.adBits = 10;
  auto s = Make(m);
  const WindowParams gray{.xRes = 100, .yRes = 100, .top = 150, .width = 5100, .length = 6,
                          .composition = 2, .pad = false, .byte49 = 0x01};
  ASSERT_TRUE(SetWindow(*s, gray).good());
  std::vector<uint8_t> table(1024);
  for (size_t v = 0; v < table.size(); ++v) table[v] = uint8_t(255 - (v >> 2));
  EXPECT_EQ(SendData(*s, 0x03, 0x00, table).asc(), 0x24);  // 8-bit qualifier on a 10-bit unit
  EXPECT_EQ(SendData(*s, 0x03, 0x81, table).asc(), 0x24);  // a colour table for a gray window
  EXPECT_EQ(SendData(*s, 0x03, 0x80, std::vector<uint8_t>(256)).asc(), 0x1A);
  ASSERT_TRUE(SendData(*s, 0x03, 0x80, table).good());
  ASSERT_TRUE(Exec(*s, {0x1B, 0, 0, 0, 0, 0}).good());
  Reply line = ReadData(*s, 0x00, 850);
  ASSERT_TRUE(line.good());
  // The ramp: page value c at pixel px; through the converter and the inverting table.
  for (uint32_t px = 25; px < 825; px += 37) {
    int64_t x = (2 * int64_t(px) + 1) * kChartUnitsPerInch / 200;
    int64_t c = (x - kChartUnitsPerInch / 4) * 256 / (8 * kChartUnitsPerInch);
    EXPECT_EQ(line.data[px], 255 - ((c * 1023 / 255) >> 2)) << px;
  }
}

TEST_F(ScannerTest, LineArtSetsBitsBelowTheThreshold) {
  auto s = Make(Flat8());
  ASSERT_TRUE(SetWindow(*s, {.xRes = 100, .yRes = 100, .top = 150, .width = 5100, .length = 6,
                             .threshold = 128, .composition = 0, .bitsPerPixel = 1, .pad = false})
                  .good());
  ASSERT_TRUE(Exec(*s, {0x1B, 0, 0, 0, 0, 0}).good());
  Reply line = ReadData(*s, 0x00, 107);  // 850 pixels in 107 bytes
  ASSERT_TRUE(line.good());
  auto bit = [&](int px) { return (line.data[px / 8] >> (7 - px % 8)) & 1; };
  EXPECT_EQ(bit(0), 0);    // white margin
  EXPECT_EQ(bit(30), 1);   // dark end of the ramp
  EXPECT_EQ(bit(800), 0);  // light end
}

// Shading: the white reference shows the sensor's unevenness; sending the white line back
// evens out the next scan, which without it shows stripes.
TEST_F(ScannerTest, HostShadingEvensOutTheSensor) {
  ScannerModel m;
  m.adBits = 8;
  m.scanStartMs = 0;
  auto s = Make(m);
  const WindowParams w{.xRes = 600, .yRes = 600, .top = 10, .width = 5100, .length = 2,
                       .composition = 2, .pad = false, .byte49 = 1, .byte50 = 0x40};
  auto spread = [&] {
    EXPECT_TRUE(Exec(*s, {0x1B, 0, 0, 0, 0, 0}).good());
    Reply line = ReadData(*s, 0x00, 5100);
    auto [lo, hi] = std::minmax_element(line.data.begin() + 200, line.data.end() - 200);
    return *hi - *lo;
  };
  ASSERT_TRUE(SetWindow(*s, w).good());
  EXPECT_GT(spread(), 25);
  ASSERT_TRUE(SetWindow(*s, w).good());
  std::vector<uint8_t> shading;
  for (int piece = 0; piece < 2; ++piece) {  // 16 lines of 5100 in two pieces
    Reply r = ReadData(*s, 0x82, 40800, 0x10);
    ASSERT_TRUE(r.good());
    shading.insert(shading.end(), r.data.begin(), r.data.end());
  }
  std::vector<uint8_t> white(5100);
  for (size_t x = 0; x < white.size(); ++x) {
    int sum = 0;
    for (int line = 0; line < 16; ++line) sum += shading[line * 5100 + x];
    white[x] = uint8_t((sum + 8) / 16);
  }
  ASSERT_TRUE(SendData(*s, 0x82, 0, white).good());
  EXPECT_LE(spread(), 6);
}

TEST_F(ScannerTest, FirmwareIsAwaitedThenBooted) {
  ScannerModel m = Flat8();
  m.waitsForFirmware = true;
  m.firmwareId = 3;
  m.firmwareSize = 1000;
  m.firmwareBootMs = 1500;
  auto s = Make(m);
  Reply r = Inquiry(*s, 122);
  EXPECT_EQ(r.data[40] & 0x02, 0x02);
  EXPECT_EQ(r.data[41], 3);
  EXPECT_EQ(Exec(*s, {0x00, 0, 0, 0, 0, 0}).key(), 2);
  EXPECT_EQ(SendData(*s, 0x87, 0, std::vector<uint8_t>(999)).asc(), 0x26);  // wrong size
  ASSERT_TRUE(SendData(*s, 0x87, 0, std::vector<uint8_t>(1000)).good());
  EXPECT_EQ(Inquiry(*s, 122).outcome.targetStatus, platform::kScsiBusy);
  clock.Advance(1500);
  r = Inquiry(*s, 122);
  ASSERT_TRUE(r.good());
  EXPECT_EQ(r.data[40] & 0x02, 0);
  EXPECT_EQ(s->observed().firmwareDownloads, 2);

  m.firmwareNeverAccepted = true;
  auto stubborn = Make(m);
  ASSERT_TRUE(SendData(*stubborn, 0x87, 0, std::vector<uint8_t>(1000)).good());
  clock.Advance(5000);
  EXPECT_EQ(Inquiry(*stubborn, 122).data[40] & 0x02, 0x02);
}

TEST_F(ScannerTest, DataBufferFillsAfterScanStarts) {
  ScannerModel m = Flat8();
  m.scanStartMs = 400;
  auto s = Make(m);
  ASSERT_TRUE(SetWindow(*s, {.width = 600, .length = 600, .composition = 2}).good());
  auto filled = [&] {
    Reply r = In(*s, {0x34, 0, 0, 0, 0, 0, 0, 0, 12, 0}, 12);
    EXPECT_EQ(r.data.size(), 12u);
    return r.data[9] << 16 | r.data[10] << 8 | r.data[11];
  };
  EXPECT_EQ(filled(), 0);
  ASSERT_TRUE(Exec(*s, {0x1B, 0, 0, 0, 0, 0}).good());
  EXPECT_EQ(filled(), 0);
  clock.Advance(400);
  EXPECT_EQ(filled(), 300 * 300);
}

TEST_F(ScannerTest, ParallelLoopbackPassesOnlyInModesThePortCarries) {
  auto s = Make(Flat8(), /*parallelModes=*/0x02 | 0x10);
  std::vector<uint8_t> pattern(4096);
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = uint8_t(i);
  auto loopback = [&](uint8_t code) {
    EXPECT_TRUE(Exec(*s, {0x2A, 0, 0x85, 0, 0, code, 0, 0, 0, 0}).good());
    EXPECT_TRUE(SendData(*s, 0x83, 0, pattern).good());
    return ReadData(*s, 0x83, 4096).data == pattern;
  };
  EXPECT_TRUE(loopback(0x22));   // EPP data mode 2
  EXPECT_FALSE(loopback(0x23));  // EPP data mode 3: not carried by this port
  EXPECT_TRUE(loopback(0x32));   // SPP always works
  EXPECT_TRUE(SendData(*s, 0x86, 0, {0}).good());
  EXPECT_EQ(s->observed().finishCount, 1);
  auto plain = Make(Flat8());
  EXPECT_EQ(SendData(*plain, 0x83, 0, pattern).asc(), 0x24);  // not behind the parallel adapter
}

TEST_F(ScannerTest, FilmTransportAndFocusAreRecorded) {
  ScannerModel m = Flat8();
  m.holderType = 2;
  auto s = Make(m);
  EXPECT_TRUE(Exec(*s, {0x31, 1, 0, 0, 0, 0, 0, 0, 0, 0}).good());
  EXPECT_TRUE(Exec(*s, {0x31, 2, 0, 1, 0, 0, 0, 0, 0, 0}).good());
  EXPECT_TRUE(Exec(*s, {0x31, 3, 0, 0, 16, 0, 0, 0, 0, 0}).good());
  EXPECT_TRUE(Exec(*s, {0x31, 4, 0, 0, 100, 0, 0, 0, 0, 0}).good());
  auto seen = s->observed();
  EXPECT_TRUE(seen.filmLoaded);
  EXPECT_EQ(seen.position, 256u + 16u);
  EXPECT_EQ(seen.focusHistory, std::vector<uint32_t>{100});
  EXPECT_EQ(Exec(*s, {0x31, 7, 0, 0, 0, 0, 0, 0, 0, 0}).asc(), 0x24);
  EXPECT_EQ(Exec(*Make(Flat8()), {0x31, 1, 0, 0, 0, 0, 0, 0, 0, 0}).asc(), 0x20);
}

TEST_F(ScannerTest, InjectedFaultsShapeTheAnswer) {
  OnBus bus(Make(Flat8()));
  bus.faults().Add({.kind = platform::DeviceFault::Kind::kSense, .opcode = 0x00, .count = 2, .senseKey = 4,
                   .byte18 = 0x08});
  EXPECT_EQ(Exec(bus, {0x00, 0, 0, 0, 0, 0}).outcome.sense[18], 0x08);
  EXPECT_TRUE(Inquiry(bus, 36).good());  // other commands are untouched
  EXPECT_EQ(Exec(bus, {0x00, 0, 0, 0, 0, 0}).key(), 4);
  EXPECT_TRUE(Exec(bus, {0x00, 0, 0, 0, 0, 0}).good());  // used up

  bus.faults().Add({.kind = platform::DeviceFault::Kind::kShortData, .opcode = 0x12, .count = 1, .length = 20});
  Reply shortened = Inquiry(bus, 36);
  EXPECT_EQ(shortened.data.size(), 20u);
  // Nothing past the short data phase reaches the initiator's buffer.
  std::vector<uint8_t> buffer(36, 0xEE);
  bus.faults().Add({.kind = platform::DeviceFault::Kind::kShortData, .opcode = 0x12, .count = 1, .length = 20});
  Exec(bus, {0x12, 0, 0, 0, 36, 0}, ScsiDirection::kIn, {});
  platform::ScsiCommand raw{nullptr, 6, ScsiDirection::kIn, buffer.data(), 36};
  const uint8_t cdb[6] = {0x12, 0, 0, 0, 36, 0};
  raw.cdb = cdb;
  bus.faults().Add({.kind = platform::DeviceFault::Kind::kShortData, .opcode = 0x12, .count = 1, .length = 20});
  EXPECT_EQ(bus.Execute(raw).transferred, 20u);
  EXPECT_EQ(buffer[20], 0xEE);
  EXPECT_EQ(buffer[35], 0xEE);
  EXPECT_EQ(shortened.outcome.hostStatus, platform::kHostDataOverrunUnderrun);
  bus.faults().Add({.kind = platform::DeviceFault::Kind::kNulData, .opcode = 0x12, .count = 1});
  Reply nul = Inquiry(bus, 36);
  EXPECT_TRUE(std::all_of(nul.data.begin(), nul.data.end(), [](uint8_t b) { return b == 0; }));
  bus.faults().Add({.kind = platform::DeviceFault::Kind::kNeverComplete, .count = 1});
  EXPECT_TRUE(Exec(bus, {0x00, 0, 0, 0, 0, 0}).outcome.neverCompletes);
  bus.faults().Add({.kind = platform::DeviceFault::Kind::kTargetStatus, .count = 1, .status = platform::kScsiBusy});
  EXPECT_EQ(Exec(bus, {0x00, 0, 0, 0, 0, 0}).outcome.targetStatus, platform::kScsiBusy);
  bus.faults().Add({.kind = platform::DeviceFault::Kind::kHostStatus, .count = 1, .status = 0x12});
  EXPECT_EQ(Inquiry(bus, 36).outcome.hostStatus, 0x12);
  EXPECT_TRUE(bus.faults().Empty());
}

}  // namespace
}  // namespace emulator

namespace emulator {
namespace {

using namespace emulator::testing;

// A focus scan: lines read after each focus setting are sharpest at the model's best focus.
TEST(FocusTest, LineSharpnessFollowsTheFocusValue) {
  platform::VirtualClock clock;
  ScannerModel m;
  m.adBits = 8;
  m.flatSensor = true;
  m.scanStartMs = 0;
  m.holderType = 1;
  m.bestFocus = 200;
  ScsiScanner s(m, clock, std::make_shared<TestChart>());
  // Gray over the fine lines.
  ASSERT_TRUE(SetWindow(s, {.xRes = 600, .yRes = 600, .top = 1700, .width = 5100, .length = 20,
                            .composition = 2, .pad = false}).good());
  ASSERT_TRUE(Exec(s, {0x1B, 0, 0, 0, 0, 0}).good());
  auto sharpness = [&](uint32_t focus) {
    EXPECT_TRUE(Exec(s, {0x31, 4, uint8_t(focus >> 16), uint8_t(focus >> 8), uint8_t(focus),
                         0, 0, 0, 0, 0}).good());
    Reply line = ReadData(s, 0x00, 5100);
    long sum = 0;
    for (size_t x = 1; x < line.data.size(); ++x) sum += std::abs(line.data[x] - line.data[x - 1]);
    return sum;
  };
  long best = sharpness(200), near = sharpness(240), far = sharpness(400);
  EXPECT_GT(best, near);
  EXPECT_GT(near, far);
  EXPECT_EQ(sharpness(200), best);
  EXPECT_EQ(s.observed().focusHistory, (std::vector<uint32_t>{200, 240, 400, 200}));
}

}  // namespace
}  // namespace emulator
