#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "engine_fixture.h"

namespace usbminid {
namespace {

using testing::BandChart;
using testing::Engine;

// The packets the scanner took, as tokens that name the engine's steps; repeats in a row merge.
std::vector<std::string> Steps(const std::vector<std::array<uint8_t, 8>>& packets) {
  std::vector<std::string> out;
  auto add = [&](std::string s) {
    if (out.empty() || out.back() != s) out.push_back(std::move(s));
  };
  uint8_t selector = 0;
  for (const auto& p : packets) {
    if (p[0] == 0x20 && p[1] == 6) {
      selector = p[2];
      if (p[2] == 0x47) add("lamp on");
      if (p[2] == 0x57) add("lamp off");
      if (p[2] == 0x10) add("gains");
    } else if (p[0] == 0x20 && p[1] == 5) {
      if (selector == 0x81) add("exposure " + std::to_string(p[2]));
      if (selector == 0x22) add("home");
    } else if (p[0] == 0x21 && p[1] == 2) {
      add("home?");
    } else if (p[0] == 0x25) {
      add((p[1] == 1 ? "forward " : "back ") + std::to_string(p[2] | p[3] << 8));
    } else if (p[0] == 0x23) {
      char mode[8];
      std::snprintf(mode, sizeof mode, "%02X", p[1]);
      add(std::string("mode ") + mode);
    } else if (p[0] == 0x22) {
      add("lines " + std::to_string(p[4] | p[5] << 8) + "+" + std::to_string(p[2] | p[3] << 8));
    }
  }
  return out;
}

TEST(ScanEngineTest, Gray100SetupFromAResetRunsTheWholeSequence) {
  Engine e;
  e.device->ForgetPackets();
  try {
    e.Start(Scanner::kGray, 1, 0, 0, 850);
  } catch (const XScanner& x) {
    FAIL() << x.text();
  }
  std::vector<std::string> expected = {"lamp on", "exposure 176", "home", "home?", "forward 80", "exposure 100", "gains"};
  for (int i = 0; i < 8; ++i) {
    expected.push_back("mode 07");
    expected.push_back("lines 12+2555");
    expected.push_back("gains");
  }
  for (const char* s : {"mode 17", "lines 12+2555", "lamp off", "mode 07", "lines 12+2555", "lamp on", "forward 60",
                        "exposure 100", "mode 11", "lines 4+850"}) {
    expected.push_back(s);
  }
  EXPECT_EQ(Steps(e.device->Packets()), expected);
  // The lamp's 300 ms off and 1000 ms on (a transfer that waited out its bound on a busy
  // machine adds its 10 s).
  EXPECT_EQ(e.t.clock().NowMs() % 10000, 1300u);
  EXPECT_EQ(e.scanner.position(), 0);
  EXPECT_FALSE(e.scanner.needsCalibration());
}

TEST(ScanEngineTest, SetupMovesTheCarriageToTheTarget) {
  Engine e;
  e.Start(Scanner::kGray, 3, 0, 0, 100);
  e.Lines(84);
  EXPECT_EQ(e.scanner.position(), 84);
  auto moves = [&](int y) {
    e.device->ForgetPackets();
    e.scanner.SetupScan(Scanner::kGray, 3, false, 0, static_cast<uint16_t>(y), 100);
    std::vector<std::string> out;
    for (const auto& s : Steps(e.device->Packets())) {
      if (s.rfind("forward", 0) == 0 || s.rfind("back", 0) == 0) out.push_back(s);
    }
    return out;
  };
  EXPECT_EQ(moves(40), (std::vector<std::string>{"back 60"}));  // from 100, below 51: straight back
  EXPECT_EQ(e.scanner.position(), 40);
  e.Lines(44);
  EXPECT_EQ(moves(60), (std::vector<std::string>{"back 90", "forward 50"}));  // approached from behind
  e.Lines(1);
  EXPECT_EQ(moves(200), (std::vector<std::string>{"forward 123"}));  // 61 + 16 -> 200
  EXPECT_EQ(moves(216), (std::vector<std::string>{}));              // already there
}

TEST(ScanEngineTest, TmdsIniBesideTheModuleTunesTheEngine) {
  Engine e;
  ASSERT_TRUE(e.scanner.Init("C:\\USBMINID\\"));
  EXPECT_EQ(e.scanner.settings().SkipsPerRow, 12);
  EXPECT_EQ(e.scanner.settings().HomeLines, 80);
  EXPECT_EQ(e.scanner.settings().KLevel, 250);
  EXPECT_EQ(e.scanner.settings().Threadhold, 128);
  e.t.WriteFile("C:\\USBMINID\\TMDS.INI", "[A4CIS]\nHomeLines=40\nKLevel=200\nMaxRB=0x80\nJLines=0\n");
  ASSERT_TRUE(e.scanner.Init("C:\\USBMINID\\"));
  EXPECT_EQ(e.scanner.settings().HomeLines, 40);
  EXPECT_EQ(e.scanner.settings().KLevel, 200);
  EXPECT_EQ(e.scanner.settings().MaxRB, 0x80);
  EXPECT_EQ(e.scanner.settings().JLines, 0);
  EXPECT_EQ(e.scanner.settings().KLines, 11);
  EXPECT_EQ(e.scanner.gainTable().Row(199)[100], 100);  // the table follows KLevel
}

TEST(ScanEngineTest, ZeroReferenceLinesCountAsOneAndLinesNeedASetup) {
  Engine e;
  e.t.WriteFile("C:\\USBMINID\\TMDS.INI", "[A4CIS]\nKLines=0\n");
  ASSERT_TRUE(e.scanner.Init("C:\\USBMINID\\"));
  uint8_t line[850];
  try {
    e.scanner.GetScannerLines(line, 1);
    ADD_FAILURE() << "lines without a setup";
  } catch (const XScanner& x) {
    EXPECT_STREQ(x.text(), "GetScannerLines Failed: no scan prepared");
  }
  e.scanner.TurnLamp(true);
  e.scanner.Reset();
  e.scanner.SetupScan(Scanner::kGray, 1, false, 0, 0, 850);  // a reference of one line, no division by 0
  auto lines = e.Lines(2);
  EXPECT_EQ(*std::min_element(lines.begin(), lines.end()), 250);
  EXPECT_EQ(*std::max_element(lines.begin(), lines.end()), 250);
  try {
    e.scanner.SetupScan(3, 1, false, 0, 0, 850);
    ADD_FAILURE() << "an image mode the engine does not have";
  } catch (const XScanner& x) {
    EXPECT_STREQ(x.text(), "SetupScan Failed.");
  }
}

TEST(ScanEngineTest, WidthBeyondTheLineBuffersIsRefusedBeforeAnyPacket) {
  struct Case {
    int resolution;
    uint16_t x, width;
    bool fits;
  };
  for (Case c : {Case{3, 5, 2550, true}, Case{3, 5, 2551, false}, Case{1, 0, 851, true}, Case{1, 1, 851, false},
                 Case{2, 3, 1700, true}, Case{2, 4, 1700, false}}) {
    Engine e;
    ASSERT_TRUE(e.scanner.Init(""));
    e.device->ForgetPackets();
    std::string text;
    try {
      e.scanner.SetupScan(Scanner::kColour, c.resolution, false, c.x, 0, c.width);
    } catch (const XScanner& x) {
      text = x.text();
    }
    if (c.fits) {
      EXPECT_EQ(text, "") << c.resolution << " " << c.x << " " << c.width;
    } else {
      EXPECT_EQ(text, "Scan Width " + std::to_string(c.width) + " At " + std::to_string(c.x) + " Out Of Range");
      EXPECT_TRUE(e.device->Packets().empty());
    }
  }
}

TEST(ScanEngineTest, HomeWaitGivesUpAfterTwentySeconds) {
  Engine e({.machine = "[usbasic]\nhomesensor=0\n"});
  std::string text;
  try {
    e.Start(Scanner::kGray, 1, 0, 0, 850);
  } catch (const XScanner& x) {
    text = x.text();
  }
  EXPECT_EQ(text, "IsHome Failed");
  EXPECT_GE(e.t.clock().NowMs(), 20000u);
  EXPECT_LT(e.t.clock().NowMs(), 20100u);
}

TEST(ScanEngineTest, CalibratedGrayIsFlatWhiteAtEveryResolution) {
  for (int resolution : {1, 2, 3}) {
    Engine e;
    const uint16_t width = resolution == 1 ? 850 : resolution == 2 ? 1700 : 2555;
    e.Start(Scanner::kGray, resolution, 0, 0, width);
    // The chart's top margin is white; the raw lines are not (dark level and sensitivity vary).
    auto lines = e.Lines(20);
    std::set<int> levels(lines.begin(), lines.end());
    EXPECT_GE(*levels.begin(), 249) << resolution;
    EXPECT_LE(*levels.rbegin(), 251) << resolution;
    EXPECT_NE(e.device->RawFor(1, 0, 1.0), e.device->RawFor(1, 100, 1.0));
  }
}

TEST(ScanEngineTest, ColourRowsLineUpWithoutFringes) {
  for (int resolution : {1, 2, 3}) {
    Engine e({}, std::make_shared<BandChart>());
    const int factor = resolution == 1 ? 3 : resolution == 2 ? 2 : 1;  // 300-dpi units per pixel, roughly
    const uint16_t width = static_cast<uint16_t>(900 / factor);
    e.Start(Scanner::kColour, resolution, 0, 0, width);
    const int lines = 360 / factor;
    auto image = e.Lines(lines);
    int black = 0, white = 0;
    for (size_t i = 0; i < image.size(); i += 3) {
      const int r = image[i], g = image[i + 1], b = image[i + 2];
      // Every pixel is the same in the three channels: edges fall on the same line in each.
      ASSERT_LE(std::abs(r - g), 1) << resolution << " pixel " << i / 3;
      ASSERT_LE(std::abs(b - g), 1) << resolution << " pixel " << i / 3;
      if (g <= 1) ++black;
      else if (g >= 249 && g <= 251) ++white;
    }
    EXPECT_EQ(black + white, static_cast<int>(image.size() / 3)) << resolution;  // no levels in between
    EXPECT_GT(black, 0);
  }
}

TEST(ScanEngineTest, BilevelLinesPackEightPixelsABytePlusTheRest) {
  Engine e;
  e.Start(Scanner::kBilevel, 1, 0, 0, 850);
  EXPECT_EQ(e.scanner.bytesPerLine(), 107);
  auto line = e.Lines(1);
  for (int i = 0; i < 106; ++i) ASSERT_EQ(line[i], 0xFF) << i;
  EXPECT_EQ(line[106], 0xC0);  // pixels 848 and 849 in the top two bits
}

// Fails each raw transfer of a short scan in turn: whatever layer the failure starts in, the
// scan engine's caller sees an XScanner with one of the engine's texts.
TEST(ScanEngineTest, EveryFailureReachesTheTopAsTheEnginesText) {
  const std::set<std::string> engineTexts = {
      "TurnPower Fail.", "ASICInit Failed", "Backhome Fail.", "IsHome Failed", "StepForward Fail",
      "StepBackward Fail", "SetExplose Fail.", "AdjustRB Failed", "Calibration Fail", "EndAllLine Fail",
      "Prepare300Color Fail", "Prepare200Color Fail", "Prepare100Color Fail", "Get100ColorLine Fail",
      "Get200ColorLine Fail", "Get300ColorLine Fail"};
  auto run = [](long failAt, long* mark, long* calls) {
    Engine e;
    e.usd.failAt = failAt;
    std::string text = "(none)";
    try {
      if (!e.scanner.Init("")) return std::string("Init false");
      e.scanner.TurnLamp(true);
      e.scanner.Reset();
      e.scanner.SetupScan(Scanner::kColour, 2, false, 0, 0, 100);
      e.Lines(3);
      *mark = e.usd.calls;  // the next call ends the running transfer
      e.scanner.SetupScan(Scanner::kColour, 1, false, 0, 100, 100);
      e.Lines(3);
    } catch (const XScanner& x) {
      text = x.text();
    }
    *calls = e.usd.calls;
    return text;
  };
  long mark = 0, total = 0, ignored = 0;
  ASSERT_EQ(run(0, &mark, &total), "(none)");
  std::set<long> failing = {mark + 1, mark + 2};
  for (long n = 1; n <= total; n += (n < 60 ? 1 : 7)) failing.insert(n);
  std::set<std::string> seen;
  for (long n : failing) {
    std::string text = run(n, &ignored, &ignored);
    if (n <= 2) {
      EXPECT_EQ(text, "Init false");  // the identity read: Init reports false, it does not throw
      continue;
    }
    EXPECT_TRUE(engineTexts.count(text)) << "call " << n << ": " << text;
    seen.insert(text);
  }
  EXPECT_GT(total, 100);
  for (const char* text : {"TurnPower Fail.", "ASICInit Failed", "Backhome Fail.", "IsHome Failed",
                           "StepForward Fail", "AdjustRB Failed", "Calibration Fail", "Prepare200Color Fail",
                           "Get200ColorLine Fail", "EndAllLine Fail", "Prepare100Color Fail"}) {
    EXPECT_TRUE(seen.count(text)) << text;
  }
}

}  // namespace
}  // namespace usbminid
