// Whole scans through ReadBlockData on each bus, compared byte for byte with the emulator's own
// image of the window; request sizes that split lines across calls and READs.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

#include "chart.h"
#include "scan_session.h"

namespace scancore {
namespace {

using testing::Expected;
using testing::FirstDifference;
using testing::OpenOnBus;
using testing::Request;
using testing::ScannerHost;
using testing::ScanWhole;

struct Window {
  uint16_t dpi;
  double left, top, width, length;
};

// Every mode, several resolutions and windows (one of odd width, so that lines are padded),
// requests of a line and a bit (in colour, the alignment lines and a bit more), of several lines
// less a byte, and of 64 KB.
void ScanEveryWay(int bus, const char* device, const std::vector<Window>& windows) {
  ScannerHost t;
  CScanCore core(testing::kBase);
  CHWScannerInfo info;
  ASSERT_TRUE(OpenOnBus(core, bus, info));
  emulator::ScsiScanner& scanner = t.scanner(device);
  for (int mode : {kModeLineArt, kModeGray, kModeColor}) {
    for (const Window& w : windows) {
      SCANPARAM r = Request(mode, w.dpi, info.GetOpticalRes(), w.left, w.top, w.width, w.length);
      myIMAGEINFO probe;
      ASSERT_EQ(core.SetScanParam(r, probe, 0), 1);
      core.AbortScan();
      const unsigned long b = probe.BytesPerLine;
      const unsigned long lines = mode == kModeColor ? 20 : 1;
      for (unsigned long request : {lines * b + 17, (lines + 6) * b - 1, 65536ul}) {
        SCOPED_TRACE(::testing::Message() << "mode " << mode << " dpi " << w.dpi << " width "
                                          << w.width << " request " << request);
        auto result = ScanWhole(core, r, request);
        ASSERT_EQ(result.error, kNoError);
        auto expected = Expected(scanner, result.info);
        ASSERT_EQ(result.image.size(), expected.size());
        EXPECT_EQ(FirstDifference(result.image, expected, result.info, mode), -1);
        EXPECT_EQ(core.AbortScan(), 1);
      }
    }
  }
}

TEST(WholeScanTest, ScsiFlatbedEveryModeResolutionAndRequestSize) {
  ScanEveryWay(kBusAspiScsi, "flatbed", {{75, 1.0, 1.0, 2.0, 1.5}, {300, 0.5, 2.0, 1.003, 0.4},
                                         {600, 3.0, 4.0, 0.5, 0.2}});
}

TEST(WholeScanTest, ParallelAdapterEveryModeResolutionAndRequestSize) {
  ScanEveryWay(kBusEppParallel, "parallel", {{100, 0.0, 0.0, 2.0, 1.0}, {300, 1.0, 3.0, 0.99, 0.3}});
}

TEST(WholeScanTest, StillImageLayerWithANegativeGreenDelay) {
  ScanEveryWay(kBusStillImage, "usbscanner", {{150, 0.25, 0.25, 1.5, 1.0}, {300, 4.0, 5.0, 0.7, 0.3}});
}

// Blue-green-red pixels, each block's lines bottom-up.
TEST(WholeScanTest, BottomUpBgrFormat) {
  ScannerHost t;
  CScanCore core(testing::kBase);
  CHWScannerInfo info;
  ASSERT_TRUE(OpenOnBus(core, kBusAspiScsi, info));
  SCANPARAM r = Request(kModeColor, 150, 600, 1.0, 1.0, 1.0, 1.0);
  auto result = ScanWhole(core, r, 8 * 452 + 100, kImageBgrBottomUp);
  ASSERT_EQ(result.error, kNoError);
  EXPECT_GT(result.calls, 10);
  EXPECT_EQ(FirstDifference(result.image, Expected(t.scanner("flatbed"), result.info, true),
                            result.info, kModeColor),
            -1);
}

// The scanner's own shading gives the chart's colours; an independent look at a few pixels.
TEST(WholeScanTest, ColourPixelsAreTheChartsColours) {
  ScannerHost t;
  CScanCore core(testing::kBase);
  CHWScannerInfo info;
  ASSERT_TRUE(OpenOnBus(core, kBusAspiScsi, info));
  SCANPARAM r = Request(kModeColor, 100, 600, 0.0, 0.0, 8.5, 2.0);
  auto result = ScanWhole(core, r, 0x8000);
  ASSERT_EQ(result.error, kNoError);
  emulator::TestChart chart;
  const size_t b = result.info.BytesPerLine;
  for (uint32_t line = 5; line < result.info.Lines; line += 37) {
    for (uint32_t px = 3; px < result.info.PixelsPerLine; px += 53) {
      const int64_t x = (2 * int64_t{px} + 1) * emulator::kChartUnitsPerInch / 200;
      const int64_t y = (2 * int64_t{line} + 1) * emulator::kChartUnitsPerInch / 200;
      const emulator::Rgb c = chart.At(x, y);
      // 10 bits through the scanner's tables: within one level of the page.
      const uint8_t* p = &result.image[line * b + 3 * px];
      EXPECT_NEAR(p[0], c.r, 1) << line << "," << px;
      EXPECT_NEAR(p[1], c.g, 1) << line << "," << px;
      EXPECT_NEAR(p[2], c.b, 1) << line << "," << px;
    }
  }
}

// The caller's tables and the host's white line: still the emulator's image exactly, and the
// page within what shading corrects.
TEST(WholeScanTest, HostTablesAndHostShading) {
  ScannerHost t;
  CScanCore core(testing::kBase);
  CHWScannerInfo info;
  ASSERT_TRUE(OpenOnBus(core, kBusAspiScsi, info));
  ASSERT_EQ(info.GetADBits(), 10);
  std::vector<uint8_t> tables(4 * 1024);
  for (size_t i = 0; i < tables.size(); ++i) tables[i] = static_cast<uint8_t>((i % 1024) / 4);
  for (int mode : {kModeGray, kModeColor}) {
    SCANPARAM r = Request(mode, 150, 600, 0.5, 0.5, 3.0, 1.0);
    r.HostTables = 1;
    r.GammaTables = tables.data();
    auto result = ScanWhole(core, r, 40000);
    ASSERT_EQ(result.error, kNoError);
    auto expected = Expected(t.scanner("flatbed"), result.info);
    EXPECT_EQ(FirstDifference(result.image, expected, result.info, mode), -1);
    // Against the page: the white line leaves the sensor's stripes within a few levels.
    const size_t b = result.info.BytesPerLine;
    emulator::TestChart chart;
    for (uint32_t line = 3; line < result.info.Lines; line += 29) {
      for (uint32_t px = 1; px < result.info.PixelsPerLine; px += 41) {
        const int64_t x = (2 * int64_t{px} + 1) * emulator::kChartUnitsPerInch / 300 +
                          emulator::kChartUnitsPerInch / 2;
        const int64_t y = (2 * int64_t{line} + 1) * emulator::kChartUnitsPerInch / 300 +
                          emulator::kChartUnitsPerInch / 2;
        const emulator::Rgb c = chart.At(x, y);
        const int page = mode == kModeColor ? c.r : emulator::Luminance(c);
        // The tables divide by 4: the output is a quarter of the corrected 10-bit level.
        EXPECT_NEAR(result.image[line * b + (mode == kModeColor ? 3 * px : px)], page * 1023 / 255 / 4, 3)
            << line << "," << px;
      }
    }
    core.AbortScan();
  }
}

}  // namespace
}  // namespace scancore
