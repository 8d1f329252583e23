// The backend through SANE's own programs: scanimage against the suite's `scan` on one host.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <thread>

#include "sane_setup.h"

extern char** environ;

namespace {

using sanetest::DecodePng;
using sanetest::Pixels;
using sanetest::Outcome;
using sanetest::SaneSetup;

class ScanImage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::getenv("SCANSUITE_BIN") == nullptr || sanetest::Shell("command -v scanimage").status != 0) {
      return;
    }
    setup_ = new SaneSetup();
  }
  static void TearDownTestSuite() {
    delete setup_;
    setup_ = nullptr;
  }
  void SetUp() override {
    if (setup_ == nullptr) GTEST_SKIP() << "needs SCANSUITE_BIN and scanimage (sane-utils)";
  }
  static SaneSetup* setup_;
};
SaneSetup* ScanImage::setup_ = nullptr;

std::set<std::string> Matches(const std::string& text, const std::regex& pattern,
                              const std::string& format) {
  std::set<std::string> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern); it != std::sregex_iterator(); ++it) {
    found.insert(it->format(format));
  }
  return found;
}

TEST_F(ScanImage, ListsExactlyTheScannersScanLists) {
  const Outcome scan = setup_->Scan("-L");
  const Outcome sane = setup_->ScanImage("-L");
  ASSERT_EQ(scan.status, 0) << scan.out;
  ASSERT_EQ(sane.status, 0) << sane.out;
  // scan: "device N: adapter A (...), target T, BUS bus: MODEL, firmware ..."
  const auto fromScan = Matches(scan.out, std::regex(R"(adapter (\d+) \([^)]*\), target (\d+), [^:]*: ([^,]+),)"),
                                "scansuite:$1:$2 $3");
  // scanimage: "device `scansuite:A:T' is a VENDOR MODEL TYPE"
  const auto fromSane = Matches(sane.out, std::regex(R"(device `(scansuite:\d+:\d+)' is a Color (.+) (flatbed|film) scanner)"),
                                "$1 $2");
  EXPECT_EQ(fromSane, fromScan) << scan.out << sane.out;
  EXPECT_EQ(fromScan.size(), 4u) << scan.out;
  EXPECT_NE(sane.out.find("device `scansuite:0:5' is a Color 1220S/1220ST film scanner"), std::string::npos)
      << sane.out;
  EXPECT_NE(sane.out.find("device `scansuite:0:2' is a Color 610S/610ST flatbed scanner"), std::string::npos)
      << sane.out;
}

TEST_F(ScanImage, ShowsTheOptionsWithTheScannersRanges) {
  const Outcome r = setup_->ScanImage("-A -d scansuite:0:2");
  ASSERT_EQ(r.status, 0) << r.out;
  for (const char* line : {"--mode Lineart|Gray|Color [Color]", "--source Flatbed [Flatbed]",
                           "--resolution 25..1200dpi (in steps of 1) [150]", "-l 0..215.9mm [0]",
                           "-t 0..297.002mm [0]", "-x 0..215.9mm [215.9]", "-y 0..297.002mm [297.002]",
                           "--threshold 0..255 (in steps of 1) [inactive]", "--custom-gamma[=(yes|no)] [no]",
                           "--firmware-version <string> [1.05] [read-only]",
                           "--firmware-date <string> [Jan. 15, 1999] [read-only]"}) {
    EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
  }
  const Outcome film = setup_->ScanImage("-A -d scansuite:0:5");
  EXPECT_NE(film.out.find("--source Flatbed|Transparency Positive|Transparency Negative [Flatbed]"),
            std::string::npos) << film.out;
  EXPECT_NE(film.out.find("--resolution 25..2400dpi"), std::string::npos) << film.out;
}

struct Request {
  const char* scanDevice;  // scan -d
  const char* saneDevice;  // scanimage -d
  const char* mode;
  int dpi;
  const char* window;  // -l -t -x -y in millimetres, the same for both programs
};

TEST_F(ScanImage, WritesThePixelsScanWritesForTheSameRequest) {
  const Request requests[] = {
      {"1", "scansuite:0:2", "Color", 100, "-l 10 -t 20 -x 30 -y 15"},
      {"1", "scansuite:0:2", "Gray", 75, "-l 0 -t 0 -x 41 -y 12"},
      {"1", "scansuite:0:2", "Lineart", 150, "-l 5 -t 100 -x 13 -y 9"},   // 77 pixels: a part byte
      {"0", "scansuite:0:0", "Color", 50, "-l 100 -t 250 -x 50 -y 40"},  // another bus and its delays
  };
  for (const Request& q : requests) {
    SCOPED_TRACE(std::string(q.mode) + " " + std::to_string(q.dpi) + " " + q.window);
    const std::string common = std::string(" --mode ") + q.mode + " --resolution " + std::to_string(q.dpi) +
                               " " + q.window;
    const auto ours = setup_->root() / "scan.png", theirs = setup_->root() / "scanimage.png";
    const Outcome a = setup_->Scan(std::string("-d ") + q.scanDevice + common + " -o '" + ours.string() + "'", true);
    const Outcome b = setup_->ScanImage(std::string("-d ") + q.saneDevice + common + " --format=png -o '" +
                                    theirs.string() + "'", true);
    ASSERT_EQ(a.status, 0) << a.out;
    ASSERT_EQ(b.status, 0) << b.out;
    const Pixels expected = DecodePng(ours), actual = DecodePng(theirs);
    ASSERT_FALSE(expected.pixels.empty());
    EXPECT_EQ(actual.width, expected.width);
    EXPECT_EQ(actual.height, expected.height);
    EXPECT_EQ(actual.channels, expected.channels);
    EXPECT_TRUE(actual.pixels == expected.pixels);
  }
}

TEST_F(ScanImage, BatchTakesEveryFilmFrameThenStops) {
  const auto folder = setup_->root() / "batch";
  std::filesystem::create_directories(folder);
  const std::string common = " --mode Gray --resolution 50 -l 10 -t 10 -x 24 -y 16";
  const Outcome a = setup_->Scan("-d 2 --source Positive --batch='" + (folder / "scan%d.png").string() +
                             "' --batch-count 2" + common, true);
  const Outcome b = setup_->ScanImage("-d scansuite:0:5 --source 'Transparency Positive' --frames 2 --batch='" +
                                  (folder / "sane%d.png").string() + "' --format=png" + common, true);
  ASSERT_EQ(a.status, 0) << a.out;
  ASSERT_EQ(b.status, 0) << b.out;
  for (int frame : {1, 2}) {
    const Pixels expected = DecodePng(folder / ("scan" + std::to_string(frame) + ".png"));
    const Pixels actual = DecodePng(folder / ("sane" + std::to_string(frame) + ".png"));
    ASSERT_FALSE(expected.pixels.empty()) << frame;
    EXPECT_TRUE(actual == expected) << frame;
  }
  // The holder's frames run out after the second: no third image.
  EXPECT_FALSE(std::filesystem::exists(folder / "sane3.png")) << b.out;
}

TEST_F(ScanImage, AnInterruptedScanIsCancelledAndTheScannerStaysUsable) {
  // A 1200-dpi colour page: seconds of data. Interrupted (as Ctrl-C does) once data flows.
  const auto image = setup_->root() / "interrupted.pnm", errors = setup_->root() / "interrupted.err";
  const std::string command = "exec env " + setup_->SaneEnvironment() +
                              "scanimage -d scansuite:0:2 --mode Color --resolution 1200 --format=pnm >'" +
                              image.string() + "' 2>'" + errors.string() + "'";
  const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ), 0);
  for (int i = 0; i < 600 && (!std::filesystem::exists(image) || std::filesystem::file_size(image) < (1u << 20)); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(kill(pid, SIGINT), 0);
  int raw = 0;
  ASSERT_EQ(waitpid(pid, &raw, 0), pid);
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) != 0);
  std::ifstream text(errors);
  const std::string said((std::istreambuf_iterator<char>(text)), std::istreambuf_iterator<char>());
  EXPECT_NE(said.find("Operation was cancel"), std::string::npos) << said;
  // The whole page is 10200 x 13918 pixels (the library cuts the glass at line 6959 of 600).
  EXPECT_LT(std::filesystem::file_size(image), 10200ull * 13918 * 3);

  const auto next = setup_->root() / "next.png";
  const Outcome again = setup_->ScanImage("-d scansuite:0:2 --mode Gray --resolution 50 -x 10 -y 10 --format=png -o '" +
                                          next.string() + "'", true);
  ASSERT_EQ(again.status, 0) << again.out;
  EXPECT_EQ(DecodePng(next).width, 19u);
}

}  // namespace
