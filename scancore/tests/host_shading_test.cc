// The host's white reference: the level each pixel's 16 samples give, the shading transfers at
// 300 and 600 dpi, and the switch that turns it off.
#include <gtest/gtest.h>

#include <vector>

#include "host_shading.h"
#include "platform/faults/faults.h"
#include "platform/memory/memory.h"
#include "recording_transport.h"
#include "scan_session.h"

namespace scancore {
namespace {

using testing::Device;
using testing::OneAdapter;
using testing::Record;
using testing::Request;
using testing::ScannerHost;

uint8_t Level(std::vector<uint8_t> samples) { return WhiteLevel(samples.data(), 1); }

std::vector<uint8_t> Repeat(uint8_t value, int times, std::vector<uint8_t> rest = {}) {
  std::vector<uint8_t> out(times, value);
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

TEST(WhiteLevelTest, TopLevelOfThreeSamplesAndTheWindowBelowIt) {
  EXPECT_EQ(Level(Repeat(200, 13, {250, 250, 250})), 250);
  EXPECT_EQ(Level(Repeat(100, 14, {255, 255})), 100);  // two at the top are not enough
  EXPECT_EQ(Level(Repeat(0, 16)), 0);
  // The window reaches 8 levels down: 242 counts, 241 does not; (3*250 + 242 + 2) / 4 = 248.
  EXPECT_EQ(Level(Repeat(100, 11, {241, 242, 250, 250, 250})), 248);
  // The third highest sample sets the top: 250, 250, 249 give 249, and only 249 is averaged.
  EXPECT_EQ(Level(Repeat(10, 13, {250, 250, 249})), 249);
  // Rounded: (3*250 + 249) / 4 = 249.75 gives 250; (3*250 + 2*243) / 5 = 247.2 gives 247.
  EXPECT_EQ(Level(Repeat(10, 12, {250, 250, 250, 249})), 250);
  EXPECT_EQ(Level(Repeat(10, 11, {250, 250, 250, 243, 243})), 247);
  // Levels near 0: the window stops at 0 and takes the zeros in: (13*0 + 3*3 + 8) / 16 = 1.
  EXPECT_EQ(Level(Repeat(0, 13, {3, 3, 3})), 1);
}

// A plain histogram reference over the whole line, against the reduction in place.
TEST(WhiteLevelTest, ReductionOfALineMatchesAHistogramReference) {
  const size_t line = 999;
  std::vector<uint8_t> data(16 * line);
  uint32_t seed = 12345;
  for (uint8_t& v : data) {
    seed = seed * 1103515245 + 12345;
    v = static_cast<uint8_t>(180 + (seed >> 16) % 70);
  }
  std::vector<uint8_t> reference(line);
  for (size_t x = 0; x < line; ++x) {
    int histogram[256] = {};
    for (int i = 0; i < 16; ++i) ++histogram[data[i * line + x]];
    int v = 255, sum = 0;
    for (; v > 0; --v) {
      sum += histogram[v];
      if (sum > 2) break;
    }
    int total = 0, count = 0;
    for (int level = std::max(v - 8, 0); level <= v; ++level) {
      total += level * histogram[level];
      count += histogram[level];
    }
    reference[x] = static_cast<uint8_t>((total + count / 2) / count);
  }
  ReduceShading(data.data(), line);
  EXPECT_TRUE(std::equal(reference.begin(), reference.end(), data.begin()));
}

TEST(WhiteLevelTest, RoundedDivisionIsExactForEveryWindow) {
  for (uint32_t count = 1; count <= 16; ++count) {
    for (uint32_t sum = 0; sum <= 255 * count; ++sum) {
      ASSERT_EQ(DivideRounded(static_cast<uint16_t>(sum), static_cast<uint8_t>(count)),
                (sum + count / 2) / count)
          << sum << "/" << count;
    }
  }
}

struct ShadingCase {
  int optical;
  int mode;
  std::vector<uint32_t> reads;
  std::vector<uint32_t> sends;
};

// 300 dpi colour: W 2550, lines of 7650, 122400 bytes in two READs; 600 dpi gray: W 5100, 81600
// bytes in 61200 and 20400.
TEST(HostShadingTest, TransfersAtThreeAndSixHundredDpi) {
  for (const ShadingCase& c : {ShadingCase{300, kModeColor, {61200, 61200}, {7650}},
                               ShadingCase{600, kModeGray, {61200, 20400}, {5100}}}) {
    ScannerHost t("win98", OneAdapter("target2=s\n", Device("s", "Color   FlatbedScanner_4", c.optical,
                                                            "adbits=8\ndelays=0,0\n")));
    CScanCore core(testing::kBase);
    CHWScannerInfo info;
    ASSERT_EQ(core.Initialize(info), 1);
    auto spy = Record(t.host(), core);
    myIMAGEINFO image;
    ASSERT_EQ(core.SetScanParam(Request(c.mode, 100, c.optical, 0, 0, 1, 1), image, 0), 1);
    std::vector<uint8_t> buffer(200000);
    ASSERT_EQ(ScanCoreTestPeer::DoHostShading(core, buffer.data(), buffer.size()), 1);
    EXPECT_EQ(spy->Lengths(0x28, 0x82), c.reads);
    for (const auto& read : spy->Of(0x28, 0x82)) EXPECT_EQ(read.qualifier, 0x10);
    EXPECT_EQ(spy->Lengths(0x2A, 0x82), c.sends);
    // What was sent is the reduction of what was read, by the plain rule per byte.
    ASSERT_EQ(spy->sent.size(), 1u);
    EXPECT_TRUE(std::equal(spy->sent[0].begin(), spy->sent[0].end(), buffer.begin()));
  }
}

TEST(HostShadingTest, SmallBufferBorrowsWorkSpaceAndGivesItBack) {
  ScannerHost t("win98", OneAdapter("target2=s\n", Device("s", "Color   FlatbedScanner_4", 300,
                                                          "adbits=8\ndelays=0,0\n")));
  CScanCore core(testing::kBase);
  CHWScannerInfo info;
  ASSERT_EQ(core.Initialize(info), 1);
  myIMAGEINFO image;
  ASSERT_EQ(core.SetScanParam(Request(kModeColor, 100, 300, 0, 0, 1, 1), image, 0), 1);
  auto& memory = t.host().memory();
  const size_t blocks = memory.LiveBlocks();
  std::vector<uint8_t> small(122399, 0x5A);
  ASSERT_EQ(ScanCoreTestPeer::DoHostShading(core, small.data(), small.size()), 1);
  EXPECT_EQ(memory.LiveBlocks(), blocks);
  EXPECT_EQ(small[0], 0x5A);  // not used at all
  t.host().faults().FailNth(platform::fault_point::kMemoryAllocate, 1);
  EXPECT_EQ(ScanCoreTestPeer::DoHostShading(core, small.data(), small.size()), 0);
  EXPECT_EQ(core.GetErrorCode(), kErrNoMemory);
}

// Film scans need shading; with host shading switched off, none is read.
TEST(HostShadingTest, SwitchedOffEvenForFilm) {
  const std::string film = OneAdapter(
      "target5=f\n", Device("f", "Color   FlatbedScanner_9", 1200, "adbits=12\nholder=2\n"));
  for (int on : {1, 0}) {
    ScannerHost t("win98", film);
    CScanCore core(testing::kBase);
    CHWScannerInfo info;
    ASSERT_EQ(core.Initialize(info), 1);
    EXPECT_EQ(core.GetHostShading(), 1);
    core.SetHostShading(on);
    auto spy = Record(t.host(), core);
    SCANPARAM r = Request(kModeGray, 100, 1200, 0, 0, 1, 0.5);
    r.Source = kSourcePositive;
    myIMAGEINFO image;
    ASSERT_EQ(core.SetScanParam(r, image, 0), 1);
    std::vector<uint8_t> buffer(300000);
    unsigned long got = 0;
    ASSERT_EQ(core.ReadBlockData(buffer.data(), buffer.size(), buffer.size(), got), 1);
    EXPECT_EQ(spy->Of(0x28, 0x82).empty(), on == 0) << on;
    EXPECT_EQ(spy->Of(0x2A, 0x82).size(), on == 1 ? 1u : 0u) << on;
  }
}

// Shading data shorter than asked fails the scan before it starts.
TEST(HostShadingTest, ShortShadingDataFailsTheStart) {
  ScannerHost t("win98", OneAdapter("target2=s\n", Device("s", "Color   FlatbedScanner_4", 300,
                                                          "adbits=8\ndelays=0,0\n")));
  CScanCore core(testing::kBase);
  CHWScannerInfo info;
  ASSERT_EQ(core.Initialize(info), 1);
  SCANPARAM r = Request(kModeGray, 100, 300, 0, 0, 1, 1);
  r.HostTables = 1;
  std::vector<uint8_t> tables(4 * 256, 1);
  r.GammaTables = tables.data();
  myIMAGEINFO image;
  ASSERT_EQ(core.SetScanParam(r, image, 0), 1);
  platform::DeviceFault shortRead;
  shortRead.kind = platform::DeviceFault::Kind::kShortData;
  shortRead.opcode = 0x28;
  shortRead.length = 100;
  shortRead.count = 3;  // the two measurement READs, then the first shading READ
  t.faults("s").Add(shortRead);
  auto spy = Record(t.host(), core);
  std::vector<uint8_t> buffer(100000);
  unsigned long got = 0;
  EXPECT_EQ(core.ReadBlockData(buffer.data(), buffer.size(), buffer.size(), got), 0);
  // The adapter's underrun on the READ of shading data: opcode 28h, host status 12h.
  EXPECT_EQ(core.GetErrorCode(), 0x28011200u);
  EXPECT_TRUE(spy->Of(0x1B).empty());  // no SCAN
}

}  // namespace
}  // namespace scancore
