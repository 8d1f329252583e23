#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "aspi_client.h"
#include "chart.h"
#include "machine.h"
#include "platform/ui/scripted_ui.h"
#include "test_host.h"

namespace emulator {
namespace {

using namespace platform;
using emulator::testing::AspiClient;

std::vector<uint8_t> Window(uint16_t res, uint32_t top, uint32_t width, uint32_t length,
                            uint8_t composition) {
  std::vector<uint8_t> d(54, 0);
  auto be16 = [&](size_t at, uint32_t v) { d[at] = uint8_t(v >> 8); d[at + 1] = uint8_t(v); };
  be16(6, 46);
  be16(10, res);
  be16(12, res);
  be16(20, top);
  be16(24, width);
  be16(28, length);
  d[33] = composition;
  d[34] = 8;
  return d;
}

// The library's order of work, in request blocks through the parallel adapter, whose requests
// complete later through the event: warm-up check, window, geometry, scan, buffer status, reads.
TEST(MachineScanTest, GrayScanThroughTheParallelAdapterGivesTheChart) {
  platform::testing::TestHost t;
  AspiClient aspi(t.host(), "wnaspi32.dll");
  ASSERT_TRUE(aspi.loaded());
  const uint8_t ha = 1, target = 0;  // the parallel scanner, 300 dpi optical, 8 bits
  EXPECT_EQ(aspi.Execute(ha, target, {0x00, 0, 0, 0, 0, 0}, 0, nullptr, 0), SS_COMP);
  EXPECT_EQ(aspi.Execute(ha, target, {0x16, 0, 0, 0, 0, 0}, 0, nullptr, 0), SS_COMP);
  auto window = Window(100, 75, 2550, 3, 2);  // 0.25 in down: the gray ramp, one line at 100 dpi
  ASSERT_EQ(aspi.Execute(ha, target, {0x24, 0, 0, 0, 0, 0, 0, 0, 0x36, 0}, SRB_DIR_OUT,
                         window.data(), 54),
            SS_COMP);
  uint8_t inquiry[122] = {};
  ASSERT_EQ(aspi.Execute(ha, target, {0x12, 0, 0, 0, 122, 0}, SRB_DIR_IN, inquiry, 122), SS_COMP);
  const uint32_t bpl = inquiry[44] << 8 | inquiry[45];
  ASSERT_EQ(bpl, 850u);
  ASSERT_EQ(aspi.Execute(ha, target, {0x1B, 0, 0, 0, 0, 0}, 0, nullptr, 0), SS_COMP);
  uint8_t status[12] = {};
  for (int polls = 0; polls < 20 && (status[9] | status[10] | status[11]) == 0; ++polls) {
    t.host().clock().SleepMs(250);
    ASSERT_EQ(aspi.Execute(ha, target, {0x34, 0, 0, 0, 0, 0, 0, 0, 12, 0}, SRB_DIR_IN, status, 12),
              SS_COMP);
  }
  EXPECT_EQ(status[9] << 16 | status[10] << 8 | status[11], 850);
  std::vector<uint8_t> line(bpl);
  ASSERT_EQ(aspi.Execute(ha, target, {0x28, 0, 0, 0, 0, 0, 0, 0x03, 0x52, 0}, SRB_DIR_IN,
                         line.data(), bpl),
            SS_COMP);
  TestChart chart;
  const int64_t y = kChartUnitsPerInch / 4 + kChartUnitsPerInch / 200;
  for (uint32_t px = 0; px < bpl; px += 17) {
    int64_t x = (2 * int64_t(px) + 1) * kChartUnitsPerInch / 200;
    EXPECT_EQ(line[px], Luminance(chart.At(x, y))) << px;  // the scanner shades internally
  }
  // Past the image: check condition with its sense in the request block.
  SRB_ExecSCSICmd srb{};
  EXPECT_EQ(aspi.Execute(ha, target, {0x28, 0, 0, 0, 0, 0, 0, 0x03, 0x52, 0}, SRB_DIR_IN,
                         line.data(), bpl, &srb),
            SS_ERR);
  EXPECT_EQ(srb.SRB_TargStat, 0x02);
  EXPECT_EQ(srb.SenseArea[2] & 0x0F, 5);
  EXPECT_EQ(aspi.Execute(ha, target, {0x17, 0, 0, 0, 0, 0}, 0, nullptr, 0), SS_COMP);
}

void WritePng(const std::filesystem::path& path, int w, int h) {
  std::vector<uint8_t> rgb(size_t(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &rgb[(size_t(y) * w + x) * 3];
      p[0] = x < w / 2 ? 200 : 10;
      p[1] = 60;
      p[2] = x < w / 2 ? 10 : 220;
    }
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = w;
  image.height = h;
  image.format = PNG_FORMAT_RGB;
  ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr));
}

TEST(MachineScanTest, PictureOnTheGlassIsScanned) {
  // The picture is on the glass before the machine is switched on.
  platform::testing::TestHost t(
      {.machine = "[machine]\nadapters=a\n[a]\ntarget0=s\n[s]\noptical=300\nadbits=8\nflat=1\n"
                  "delays=0,0\nscanstart=0\npicture=C:\\photo.png\n",
       .hardware = [](Host& h) {
         WritePng(h.root() / "drives" / "c" / "photo.png", 60, 30);
         InstallMachine(h);
       }});
  Host& host = t.host();
  ASSERT_TRUE(Machine::Attach(host).description().problems.empty());
  AspiClient aspi(host, "wnaspi32.dll");
  auto window = Window(300, 10, 60, 1, 5);  // the picture's 11th row, colour
  ASSERT_EQ(aspi.Execute(0, 0, {0x24, 0, 0, 0, 0, 0, 0, 0, 0x36, 0}, SRB_DIR_OUT, window.data(), 54), SS_COMP);
  ASSERT_EQ(aspi.Execute(0, 0, {0x1B, 0, 0, 0, 0, 0}, 0, nullptr, 0), SS_COMP);
  uint8_t line[180] = {};
  ASSERT_EQ(aspi.Execute(0, 0, {0x28, 0, 0, 0, 0, 0, 0, 0, 180, 0}, SRB_DIR_IN, line, 180), SS_COMP);
  // Planes: red, green, blue; the left half is reddish, the right bluish.
  EXPECT_EQ(line[5], 200);
  EXPECT_EQ(line[60 + 5], 60);
  EXPECT_EQ(line[120 + 5], 10);
  EXPECT_EQ(line[50], 10);
  EXPECT_EQ(line[120 + 50], 220);
}

TEST(MachineScanTest, MissingPictureIsReportedAndTheChartUsed) {
  platform::testing::TestHost t(
      {.virtualClock = false,
       .machine = "[machine]\nadapters=a\n[a]\ntarget0=s\n[s]\npicture=C:\\none.png\n"});
  Host& host = t.host();
  const auto& problems = Machine::Attach(host).description().problems;
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("none.png"), std::string::npos);
  EXPECT_NE(Machine::Attach(host).Scanner("s"), nullptr);
}

TEST(MachineScanTest, ScanregShowsTheParallelAdapterKey) {
  const char* bin = std::getenv("SCANSUITE_BIN");
  if (!bin) GTEST_SKIP() << "SCANSUITE_BIN is set when run through ctest";
  platform::testing::TempDir dir;
  std::string command = "SCANSUITE_ROOT='" + dir.path().string() + "' SCANSUITE_UI=scripted '" +
                        bin + "/scanreg' query 'HKLM\\System\\CurrentControlSet\\Services\\EPPSCSIx'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  std::array<char, 1024> buffer{};
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
  EXPECT_EQ(pclose(pipe), 0) << out;
  for (const char* name : {"ManualModeOn", "LptMode", "DataMode", "Base"}) {
    EXPECT_NE(out.find(name), std::string::npos) << out;
  }
  EXPECT_NE(out.find("REG_DWORD    0x378"), std::string::npos) << out;
}

}  // namespace
}  // namespace emulator
