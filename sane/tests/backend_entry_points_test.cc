// The backend's entry points called directly, as a front end calls them, in and out of order.
#include <gtest/gtest.h>
#include <sane/sane.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sane_setup.h"
#include "../entry_points.h"


namespace {

class EntryPoints : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::getenv("SCANSUITE_BIN") == nullptr) return;
    setup_ = new sanetest::SaneSetup();
    ::setenv("SANE_CONFIG_DIR", setup_->configFolder().c_str(), 1);
    ::setenv("SCANSUITE_ROOT", "/nonexistent", 1);  // the root comes from scansuite.conf
  }
  static void TearDownTestSuite() {
    delete setup_;
    setup_ = nullptr;
  }
  void SetUp() override {
    if (setup_ == nullptr) GTEST_SKIP() << "SCANSUITE_BIN is not set";
    SANE_Int version = 0;
    ASSERT_EQ(sane_scansuite_init(&version, nullptr), SANE_STATUS_GOOD);
    EXPECT_EQ(SANE_VERSION_MAJOR(version), 1);
    ASSERT_EQ(sane_scansuite_open("0:2", &flatbed_), SANE_STATUS_GOOD);
  }
  void TearDown() override {
    if (setup_ != nullptr) sane_scansuite_exit();  // closes what a test left open
  }

  int IndexOf(SANE_Handle h, const char* name) {
    for (int i = 1; const SANE_Option_Descriptor* d = sane_scansuite_get_option_descriptor(h, i); ++i) {
      if (d->name && std::strcmp(d->name, name) == 0) return i;
    }
    ADD_FAILURE() << "no option " << name;
    return -1;
  }
  SANE_Status SetWord(SANE_Handle h, const char* name, SANE_Word value, SANE_Int* info = nullptr) {
    return sane_scansuite_control_option(h, IndexOf(h, name), SANE_ACTION_SET_VALUE, &value, info);
  }
  SANE_Word GetWord(SANE_Handle h, const char* name) {
    SANE_Word value = -12345;
    EXPECT_EQ(sane_scansuite_control_option(h, IndexOf(h, name), SANE_ACTION_GET_VALUE, &value, nullptr),
              SANE_STATUS_GOOD);
    return value;
  }
  SANE_Status SetText(SANE_Handle h, const char* name, const char* text) {
    std::string value = text;
    return sane_scansuite_control_option(h, IndexOf(h, name), SANE_ACTION_SET_VALUE, value.data(), nullptr);
  }
  // Sets mode, resolution and the window (millimetres).
  void Request(SANE_Handle h, const char* mode, int dpi, double l, double t, double r, double b) {
    ASSERT_EQ(SetText(h, "mode", mode), SANE_STATUS_GOOD);
    ASSERT_EQ(SetWord(h, "resolution", dpi), SANE_STATUS_GOOD);
    ASSERT_EQ(SetWord(h, "tl-x", SANE_FIX(l)), SANE_STATUS_GOOD);
    ASSERT_EQ(SetWord(h, "tl-y", SANE_FIX(t)), SANE_STATUS_GOOD);
    ASSERT_EQ(SetWord(h, "br-x", SANE_FIX(r)), SANE_STATUS_GOOD);
    ASSERT_EQ(SetWord(h, "br-y", SANE_FIX(b)), SANE_STATUS_GOOD);
  }
  // Reads to the end; the bytes read, or -1 when the scan did not end with EOF.
  long ReadAll(SANE_Handle h, SANE_Int chunk = 5000) {
    std::vector<SANE_Byte> buffer(chunk);
    long total = 0;
    for (;;) {
      SANE_Int got = -1;
      const SANE_Status s = sane_scansuite_read(h, buffer.data(), chunk, &got);
      if (s == SANE_STATUS_EOF) return got == 0 ? total : -1;
      if (s != SANE_STATUS_GOOD) return -1;
      total += got;
    }
  }

  static sanetest::SaneSetup* setup_;
  SANE_Handle flatbed_ = nullptr;
};
sanetest::SaneSetup* EntryPoints::setup_ = nullptr;

TEST_F(EntryPoints, ListsTheScannersByPlaceWithTheirIdentity) {
  const SANE_Device** list = nullptr;
  ASSERT_EQ(sane_scansuite_get_devices(&list, SANE_FALSE), SANE_STATUS_GOOD);
  std::vector<std::string> seen;
  for (; *list; ++list) {
    seen.push_back(std::string((*list)->name) + "|" + (*list)->vendor + "|" + (*list)->model + "|" + (*list)->type);
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"0:0|Color|310U|flatbed scanner",
                                            "0:2|Color|610S/610ST|flatbed scanner",
                                            "0:5|Color|1220S/1220ST|film scanner",
                                            "1:0|Color|310P|flatbed scanner"}));
  SANE_Handle h = nullptr;
  EXPECT_EQ(sane_scansuite_open("7:7", &h), SANE_STATUS_INVAL);
  EXPECT_EQ(h, nullptr);
  EXPECT_EQ(sane_scansuite_open("0:2", nullptr), SANE_STATUS_INVAL);
}

// After a list an open binds the device listed under its name (no search); each handle is the
// device it names: only the film scanner offers a transparency source.
TEST_F(EntryPoints, AnOpenAfterAListBindsTheDeviceListedUnderItsName) {
  const SANE_Device** list = nullptr;
  ASSERT_EQ(sane_scansuite_get_devices(&list, SANE_FALSE), SANE_STATUS_GOOD);
  SANE_Handle film = nullptr, flatbed = nullptr, first = nullptr;
  ASSERT_EQ(sane_scansuite_open("0:5", &film), SANE_STATUS_GOOD);
  ASSERT_EQ(sane_scansuite_open("0:2", &flatbed), SANE_STATUS_GOOD);
  ASSERT_EQ(sane_scansuite_open("", &first), SANE_STATUS_GOOD);
  EXPECT_EQ(SetText(film, "source", "transparency negative"), SANE_STATUS_GOOD);
  EXPECT_EQ(SetText(flatbed, "source", "transparency negative"), SANE_STATUS_INVAL);
  EXPECT_EQ(SetText(first, "source", "transparency negative"), SANE_STATUS_INVAL);
  Request(film, "Gray", 50, 0, 0, 10, 10);
  ASSERT_EQ(sane_scansuite_start(film), SANE_STATUS_GOOD);
  EXPECT_EQ(ReadAll(film), 19 * 19);
  SANE_Handle none = nullptr;
  EXPECT_EQ(sane_scansuite_open("7:7", &none), SANE_STATUS_INVAL);
}

TEST_F(EntryPoints, EveryOptionDescriptorIsWellFormed) {
  SANE_Handle film = nullptr;
  ASSERT_EQ(sane_scansuite_open("0:5", &film), SANE_STATUS_GOOD);
  for (SANE_Handle h : {flatbed_, film}) {
    SANE_Int count = 0;
    ASSERT_EQ(sane_scansuite_control_option(h, 0, SANE_ACTION_GET_VALUE, &count, nullptr), SANE_STATUS_GOOD);
    EXPECT_EQ(count, 20);
    EXPECT_EQ(sane_scansuite_get_option_descriptor(h, count), nullptr);
    EXPECT_EQ(sane_scansuite_get_option_descriptor(h, -1), nullptr);
    for (int i = 0; i < count; ++i) {
      const SANE_Option_Descriptor* d = sane_scansuite_get_option_descriptor(h, i);
      ASSERT_NE(d, nullptr) << i;
      SCOPED_TRACE(d->name ? d->name : "(null)");
      ASSERT_NE(d->name, nullptr);
      ASSERT_NE(d->title, nullptr);
      ASSERT_NE(d->desc, nullptr);
      if (d->type == SANE_TYPE_GROUP) {
        EXPECT_EQ(d->constraint_type, SANE_CONSTRAINT_NONE);
        continue;
      }
      if (i == 0) {  // the option count: nameless, an integer, read-only
        EXPECT_STREQ(d->name, "");
        EXPECT_EQ(d->type, SANE_TYPE_INT);
        EXPECT_EQ(d->cap, SANE_CAP_SOFT_DETECT);
      } else {
        EXPECT_GT(std::strlen(d->name), 0u);
      }
      EXPECT_EQ(std::strspn(d->name, "abcdefghijklmnopqrstuvwxyz0123456789-"), std::strlen(d->name));
      // Settable implies detectable; hard and soft select never both.
      if (d->cap & SANE_CAP_SOFT_SELECT) {
        EXPECT_TRUE(d->cap & SANE_CAP_SOFT_DETECT);
      }
      EXPECT_FALSE((d->cap & SANE_CAP_SOFT_SELECT) && (d->cap & SANE_CAP_HARD_SELECT));
      switch (d->type) {
        case SANE_TYPE_BOOL:
          EXPECT_EQ(d->size, static_cast<SANE_Int>(sizeof(SANE_Word)));
          EXPECT_EQ(d->constraint_type, SANE_CONSTRAINT_NONE);
          break;
        case SANE_TYPE_INT:
        case SANE_TYPE_FIXED:
          EXPECT_GT(d->size, 0);
          EXPECT_EQ(d->size % sizeof(SANE_Word), 0u);
          if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
            EXPECT_LE(d->constraint.range->min, d->constraint.range->max);
          }
          break;
        case SANE_TYPE_STRING: {
          EXPECT_GT(d->size, 0);
          std::vector<char> value(d->size, 'x');
          if (d->cap & SANE_CAP_INACTIVE) break;
          ASSERT_EQ(sane_scansuite_control_option(h, i, SANE_ACTION_GET_VALUE, value.data(), nullptr),
                    SANE_STATUS_GOOD);
          EXPECT_NE(std::memchr(value.data(), '\0', value.size()), nullptr);
          if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST) {
            for (auto s = d->constraint.string_list; *s; ++s) EXPECT_LT(std::strlen(*s), size_t(d->size));
          }
          break;
        }
        default:
          ADD_FAILURE() << "type " << d->type;
      }
    }
  }
  // The units and ranges a front end shows.
  const SANE_Option_Descriptor* res = sane_scansuite_get_option_descriptor(flatbed_, IndexOf(flatbed_, "resolution"));
  EXPECT_EQ(res->unit, SANE_UNIT_DPI);
  EXPECT_EQ(res->constraint.range->min, 25);
  EXPECT_EQ(res->constraint.range->max, 1200);
  const SANE_Option_Descriptor* brx = sane_scansuite_get_option_descriptor(flatbed_, IndexOf(flatbed_, "br-x"));
  EXPECT_EQ(brx->unit, SANE_UNIT_MM);
  EXPECT_EQ(brx->type, SANE_TYPE_FIXED);
  EXPECT_EQ(brx->constraint.range->max, SANE_FIX(215.9));
  const SANE_Option_Descriptor* gamma = sane_scansuite_get_option_descriptor(flatbed_, IndexOf(flatbed_, "gamma-table"));
  EXPECT_EQ(gamma->size, static_cast<SANE_Int>(1024 * sizeof(SANE_Word)));  // a 10-bit converter
}

TEST_F(EntryPoints, ValuesOutsideTheConstraintAreAdjustedOrRefused) {
  SANE_Int info = 0;
  EXPECT_EQ(SetWord(flatbed_, "resolution", 25, &info), SANE_STATUS_GOOD);
  EXPECT_EQ(info & SANE_INFO_INEXACT, 0);
  EXPECT_EQ(SetWord(flatbed_, "resolution", 24, &info), SANE_STATUS_GOOD);
  EXPECT_EQ(info & SANE_INFO_INEXACT, SANE_INFO_INEXACT);
  EXPECT_EQ(GetWord(flatbed_, "resolution"), 25);
  EXPECT_EQ(SetWord(flatbed_, "resolution", 1200, &info), SANE_STATUS_GOOD);
  EXPECT_EQ(info & SANE_INFO_INEXACT, 0);
  EXPECT_EQ(SetWord(flatbed_, "resolution", 1201, &info), SANE_STATUS_GOOD);
  EXPECT_EQ(info & SANE_INFO_INEXACT, SANE_INFO_INEXACT);
  EXPECT_EQ(GetWord(flatbed_, "resolution"), 1200);
  EXPECT_EQ(SetWord(flatbed_, "br-x", SANE_FIX(300), &info), SANE_STATUS_GOOD);
  EXPECT_EQ(info & SANE_INFO_INEXACT, SANE_INFO_INEXACT);
  EXPECT_EQ(GetWord(flatbed_, "br-x"), SANE_FIX(215.9));
  EXPECT_EQ(SetWord(flatbed_, "tl-y", SANE_FIX(-1), &info), SANE_STATUS_GOOD);
  EXPECT_EQ(GetWord(flatbed_, "tl-y"), 0);
  EXPECT_EQ(SetWord(flatbed_, "preview", 2), SANE_STATUS_INVAL);

  // Strings: only the list's, case aside, and ending within the option's size.
  EXPECT_EQ(SetText(flatbed_, "mode", "Colour"), SANE_STATUS_INVAL);
  EXPECT_EQ(SetText(flatbed_, "mode", "gray"), SANE_STATUS_GOOD);
  EXPECT_EQ(SetText(flatbed_, "source", "Transparency Positive"), SANE_STATUS_INVAL);  // no film unit
  const int mode = IndexOf(flatbed_, "mode");
  const SANE_Int size = sane_scansuite_get_option_descriptor(flatbed_, mode)->size;
  EXPECT_EQ(size, 8);  // "Lineart" and its end
  std::string unterminated(size, 'L');
  EXPECT_EQ(sane_scansuite_control_option(flatbed_, mode, SANE_ACTION_SET_VALUE, unterminated.data(), nullptr),
            SANE_STATUS_INVAL);
  std::string fits = "Lineart";
  EXPECT_EQ(sane_scansuite_control_option(flatbed_, mode, SANE_ACTION_SET_VALUE, fits.data(), &info),
            SANE_STATUS_GOOD);
  EXPECT_EQ(info & SANE_INFO_RELOAD_OPTIONS, SANE_INFO_RELOAD_OPTIONS);
  // Line art makes the threshold active and the gamma inactive.
  EXPECT_EQ(SetWord(flatbed_, "threshold", 300, &info), SANE_STATUS_GOOD);
  EXPECT_EQ(GetWord(flatbed_, "threshold"), 255);
  EXPECT_EQ(SetWord(flatbed_, "custom-gamma", SANE_TRUE), SANE_STATUS_INVAL);

  // Read-only, group, out-of-range index, missing value, automatic setting.
  SANE_Word word = 1;
  char text[32] = "2.00";
  EXPECT_EQ(sane_scansuite_control_option(flatbed_, IndexOf(flatbed_, "firmware-version"),
                                          SANE_ACTION_SET_VALUE, text, nullptr), SANE_STATUS_INVAL);
  EXPECT_EQ(sane_scansuite_control_option(flatbed_, 1, SANE_ACTION_GET_VALUE, &word, nullptr), SANE_STATUS_INVAL);
  EXPECT_EQ(sane_scansuite_control_option(flatbed_, 20, SANE_ACTION_GET_VALUE, &word, nullptr), SANE_STATUS_INVAL);
  EXPECT_EQ(sane_scansuite_control_option(flatbed_, -1, SANE_ACTION_SET_VALUE, &word, nullptr), SANE_STATUS_INVAL);
  EXPECT_EQ(sane_scansuite_control_option(flatbed_, IndexOf(flatbed_, "resolution"), SANE_ACTION_SET_VALUE,
                                          nullptr, nullptr), SANE_STATUS_INVAL);
  EXPECT_EQ(sane_scansuite_control_option(flatbed_, IndexOf(flatbed_, "resolution"), SANE_ACTION_SET_AUTO,
                                          &word, nullptr), SANE_STATUS_INVAL);
  EXPECT_EQ(sane_scansuite_control_option(nullptr, 0, SANE_ACTION_GET_VALUE, &word, nullptr), SANE_STATUS_INVAL);
}

TEST_F(EntryPoints, ParametersAreExactBeforeAndDuringTheScan) {
  struct Case {
    const char* mode;
    int dpi;
    double l, t, r, b;
    SANE_Frame format;
    int depth, pixels, bytes, lines;
  };
  // Worked figures on the 600-dpi glass: 30 mm is 709 units, 118 pixels at 100 dpi; 13 mm is 307
  // units, 76 pixels at 150 dpi in 10 bytes; the whole glass at 25 dpi is 5100 units across (212
  // pixels) and 7015 down, which the library cuts at line 6959 (289 lines, not 292).
  const Case cases[] = {
      {"Color", 100, 10, 20, 40, 35, SANE_FRAME_RGB, 8, 118, 354, 59},
      {"Lineart", 150, 5, 100, 18, 109, SANE_FRAME_GRAY, 1, 76, 10, 53},
      {"Gray", 25, 0, 0, 215.9, 297.002, SANE_FRAME_GRAY, 8, 212, 212, 289},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    Request(flatbed_, c.mode, c.dpi, c.l, c.t, c.r, c.b);
    SANE_Parameters before{}, during{};
    ASSERT_EQ(sane_scansuite_get_parameters(flatbed_, &before), SANE_STATUS_GOOD);
    EXPECT_EQ(before.format, c.format);
    EXPECT_EQ(before.last_frame, SANE_TRUE);
    EXPECT_EQ(before.depth, c.depth);
    EXPECT_EQ(before.pixels_per_line, c.pixels);
    EXPECT_EQ(before.bytes_per_line, c.bytes);
    EXPECT_EQ(before.lines, c.lines);
    ASSERT_EQ(sane_scansuite_start(flatbed_), SANE_STATUS_GOOD);
    ASSERT_EQ(sane_scansuite_get_parameters(flatbed_, &during), SANE_STATUS_GOOD);
    EXPECT_EQ(std::memcmp(&before, &during, sizeof before), 0);
    EXPECT_EQ(ReadAll(flatbed_, 1000), long{c.bytes} * c.lines);
    sane_scansuite_cancel(flatbed_);
  }
  EXPECT_EQ(sane_scansuite_get_parameters(flatbed_, nullptr), SANE_STATUS_INVAL);
}

// Reads a whole scan into memory; empty when it does not end with EOF.
std::vector<SANE_Byte> ReadImage(SANE_Handle h) {
  std::vector<SANE_Byte> image, buffer(777);  // a size that splits lines
  for (;;) {
    SANE_Int got = 0;
    const SANE_Status s = sane_scansuite_read(h, buffer.data(), static_cast<SANE_Int>(buffer.size()), &got);
    if (s == SANE_STATUS_EOF) return image;
    if (s != SANE_STATUS_GOOD) return {};
    image.insert(image.end(), buffer.begin(), buffer.begin() + got);
  }
}

TEST_F(EntryPoints, LineArtIsTheGrayScanBelowTheThresholdPackedMostSignificantBitFirst) {
  // 76 pixels a line: 10 bytes, where the scanner pads its lines to 12.
  Request(flatbed_, "Gray", 150, 5, 100, 18, 109);
  ASSERT_EQ(sane_scansuite_start(flatbed_), SANE_STATUS_GOOD);
  const std::vector<SANE_Byte> gray = ReadImage(flatbed_);
  sane_scansuite_cancel(flatbed_);
  ASSERT_EQ(gray.size(), 76u * 53);
  for (int threshold : {128, 200}) {
    SCOPED_TRACE(threshold);
    Request(flatbed_, "Lineart", 150, 5, 100, 18, 109);
    ASSERT_EQ(SetWord(flatbed_, "threshold", threshold), SANE_STATUS_GOOD);
    ASSERT_EQ(sane_scansuite_start(flatbed_), SANE_STATUS_GOOD);
    const std::vector<SANE_Byte> lineArt = ReadImage(flatbed_);
    sane_scansuite_cancel(flatbed_);
    std::vector<SANE_Byte> expected(10 * 53, 0);
    for (size_t y = 0; y < 53; ++y) {
      for (size_t x = 0; x < 76; ++x) {
        if (gray[y * 76 + x] < threshold) expected[y * 10 + x / 8] |= 0x80 >> (x % 8);
      }
    }
    EXPECT_TRUE(lineArt == expected);
  }
}

TEST_F(EntryPoints, CallsOutOfOrderGetSaneStatuses) {
  SANE_Byte buffer[64];
  SANE_Int got = 7;
  SANE_Int fd = 0;
  EXPECT_EQ(sane_scansuite_read(flatbed_, buffer, sizeof buffer, &got), SANE_STATUS_INVAL);
  EXPECT_EQ(got, 0);
  EXPECT_EQ(sane_scansuite_set_io_mode(flatbed_, SANE_FALSE), SANE_STATUS_INVAL);
  EXPECT_EQ(sane_scansuite_get_select_fd(flatbed_, &fd), SANE_STATUS_INVAL);
  sane_scansuite_cancel(flatbed_);  // nothing to cancel: harmless

  // An absurd window: corners crossed. No image, and no scan.
  Request(flatbed_, "Gray", 50, 100, 100, 10, 10);
  SANE_Parameters p{};
  ASSERT_EQ(sane_scansuite_get_parameters(flatbed_, &p), SANE_STATUS_GOOD);
  EXPECT_EQ(p.lines, 0);
  EXPECT_EQ(p.pixels_per_line, 0);
  EXPECT_EQ(sane_scansuite_start(flatbed_), SANE_STATUS_INVAL);

  Request(flatbed_, "Gray", 50, 0, 0, 20, 20);
  ASSERT_EQ(sane_scansuite_start(flatbed_), SANE_STATUS_GOOD);
  EXPECT_EQ(sane_scansuite_start(flatbed_), SANE_STATUS_DEVICE_BUSY);
  EXPECT_EQ(SetWord(flatbed_, "resolution", 100), SANE_STATUS_DEVICE_BUSY);
  EXPECT_EQ(sane_scansuite_read(flatbed_, nullptr, 64, &got), SANE_STATUS_INVAL);
  EXPECT_EQ(sane_scansuite_read(flatbed_, buffer, 64, nullptr), SANE_STATUS_INVAL);
  EXPECT_EQ(sane_scansuite_read(flatbed_, buffer, 0, &got), SANE_STATUS_INVAL);
  EXPECT_EQ(sane_scansuite_read(flatbed_, buffer, -5, &got), SANE_STATUS_INVAL);
  EXPECT_EQ(sane_scansuite_set_io_mode(flatbed_, SANE_TRUE), SANE_STATUS_UNSUPPORTED);
  EXPECT_EQ(sane_scansuite_set_io_mode(flatbed_, SANE_FALSE), SANE_STATUS_GOOD);
  EXPECT_EQ(sane_scansuite_get_select_fd(flatbed_, &fd), SANE_STATUS_UNSUPPORTED);
  // The bad calls left the scan intact: 39 lines of 39 pixels.
  EXPECT_EQ(ReadAll(flatbed_, 1), 39 * 39);
  EXPECT_EQ(sane_scansuite_read(flatbed_, buffer, sizeof buffer, &got), SANE_STATUS_EOF);
  // After the page, a second start finds no document on the glass until the scan is ended.
  EXPECT_EQ(sane_scansuite_start(flatbed_), SANE_STATUS_NO_DOCS);
  ASSERT_EQ(sane_scansuite_start(flatbed_), SANE_STATUS_GOOD);
  sane_scansuite_cancel(flatbed_);
  EXPECT_EQ(sane_scansuite_read(flatbed_, buffer, sizeof buffer, &got), SANE_STATUS_CANCELLED);
  EXPECT_EQ(SetWord(flatbed_, "resolution", 100), SANE_STATUS_GOOD);
  // Close in the middle of a scan ends it; the scanner is free for the next one.
  ASSERT_EQ(sane_scansuite_start(flatbed_), SANE_STATUS_GOOD);
  EXPECT_EQ(sane_scansuite_read(flatbed_, buffer, sizeof buffer, &got), SANE_STATUS_GOOD);
  sane_scansuite_close(flatbed_);
  EXPECT_EQ(sane_scansuite_read(flatbed_, buffer, sizeof buffer, &got), SANE_STATUS_INVAL);
  ASSERT_EQ(sane_scansuite_open("0:2", &flatbed_), SANE_STATUS_GOOD);
  Request(flatbed_, "Gray", 50, 0, 0, 20, 20);
  ASSERT_EQ(sane_scansuite_start(flatbed_), SANE_STATUS_GOOD);
  EXPECT_EQ(ReadAll(flatbed_), 39 * 39);
}

TEST_F(EntryPoints, CancelFromAnotherThreadStopsWithinOneBlockAndTheScannerStaysUsable) {
  // 300 dpi gray across the glass: 2550-byte lines, many blocks of 256 lines. One thread reads
  // on and on, as a front end does; another cancels once data flows, mostly while a read is busy.
  Request(flatbed_, "Gray", 300, 0, 0, 215.9, 200);
  ASSERT_EQ(sane_scansuite_start(flatbed_), SANE_STATUS_GOOD);
  SANE_Parameters p{};
  ASSERT_EQ(sane_scansuite_get_parameters(flatbed_, &p), SANE_STATUS_GOOD);
  std::atomic<long> total{0};
  std::atomic<SANE_Status> last{SANE_STATUS_GOOD};
  std::thread reader([&] {
    std::vector<SANE_Byte> buffer(4096);
    SANE_Int got = 0;
    SANE_Status s;
    while ((s = sane_scansuite_read(flatbed_, buffer.data(), 4096, &got)) == SANE_STATUS_GOOD) total += got;
    last = s;
  });
  while (total == 0 && last == SANE_STATUS_GOOD) std::this_thread::yield();
  const long atCancel = total;
  sane_scansuite_cancel(flatbed_);
  reader.join();
  EXPECT_EQ(last.load(), SANE_STATUS_CANCELLED);
  EXPECT_LE(total - atCancel, 256L * p.bytes_per_line);  // the block in hand at most
  EXPECT_LT(total.load(), long{p.bytes_per_line} * p.lines);

  Request(flatbed_, "Color", 50, 0, 0, 20, 20);
  ASSERT_EQ(sane_scansuite_start(flatbed_), SANE_STATUS_GOOD);
  EXPECT_EQ(ReadAll(flatbed_), 39 * 39 * 3);
}

TEST_F(EntryPoints, AFilmBatchTakesTheFramesAndThenHasNoDocuments) {
  SANE_Handle film = nullptr;
  ASSERT_EQ(sane_scansuite_open("0:5", &film), SANE_STATUS_GOOD);
  ASSERT_EQ(SetText(film, "source", "transparency negative"), SANE_STATUS_GOOD);
  ASSERT_EQ(SetWord(film, "frames", 2), SANE_STATUS_GOOD);
  Request(film, "Gray", 50, 0, 0, 10, 10);
  for (int frame = 0; frame < 2; ++frame) {
    ASSERT_EQ(sane_scansuite_start(film), SANE_STATUS_GOOD) << frame;
    EXPECT_EQ(ReadAll(film), 19 * 19) << frame;
  }
  EXPECT_EQ(sane_scansuite_start(film), SANE_STATUS_NO_DOCS);
  // A new batch starts at the first frame again.
  ASSERT_EQ(sane_scansuite_start(film), SANE_STATUS_GOOD);
  sane_scansuite_cancel(film);
  sane_scansuite_close(film);
}

}  // namespace
