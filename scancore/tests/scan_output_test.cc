// `scan` writing images: the files read back with libpng and libtiff have the size, mode and
// resolution asked for, and the three formats hold the same pixels.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>
#include <tiffio.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out;
};

Outcome Scan(const fs::path& root, const std::string& args) {
  const std::string command = "cd '" + root.string() + "' && SCANSUITE_ROOT='" + root.string() +
                              "' SCANSUITE_UI=scripted '" + std::getenv("SCANSUITE_BIN") +
                              "/scan' " + args + " 2>&1";
  Outcome r;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return r;
  char buffer[512];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) r.out.append(buffer, n);
  const int raw = pclose(pipe);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

struct Raster {
  uint32_t width = 0, height = 0;
  int bits = 0, channels = 0;
  double dpi = 0;
  uint32_t perMetre = 0;  // PNG
  std::vector<uint8_t> rows;  // packed rows, 1 = black for 1-bit
};

Raster ReadPnm(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic, comment;
  in >> magic;
  in.get();
  if (in.peek() == '#') std::getline(in, comment);
  Raster r;
  in >> r.width >> r.height;
  int max = 1;
  if (magic != "P4") in >> max;
  in.get();
  r.bits = magic == "P4" ? 1 : 8;
  r.channels = magic == "P6" ? 3 : 1;
  const size_t row = r.bits == 1 ? (r.width + 7) / 8 : size_t{r.width} * r.channels;
  r.rows.resize(row * r.height);
  in.read(reinterpret_cast<char*>(r.rows.data()), static_cast<std::streamsize>(r.rows.size()));
  if (!in) r.rows.clear();
  return r;
}

// The stream stays the caller's (libpng's error jump must not cross its closing).
Raster ReadPngFrom(FILE* f) {
  Raster r;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return Raster{};
  }
  png_init_io(png, f);
  png_read_info(png, info);
  r.width = png_get_image_width(png, info);
  r.height = png_get_image_height(png, info);
  r.bits = png_get_bit_depth(png, info);
  r.channels = png_get_channels(png, info);
  png_uint_32 x = 0, y = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &x, &y, &unit) && unit == PNG_RESOLUTION_METER && x == y) r.perMetre = x;
  if (r.bits == 1) png_set_invert_mono(png);  // to 1 = black, as the other formats
  const size_t row = png_get_rowbytes(png, info);
  r.rows.resize(row * r.height);
  for (uint32_t i = 0; i < r.height; ++i) png_read_row(png, r.rows.data() + i * row, nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return r;
}

Raster ReadPng(const fs::path& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return Raster{};
  Raster r = ReadPngFrom(f);
  std::fclose(f);
  return r;
}

Raster ReadTiff(const fs::path& path) {
  Raster r;
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (!tiff) return r;
  uint16_t bits = 0, samples = 0, photometric = 0, unit = 0;
  float xres = 0;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &r.width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &r.height);
  TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric);
  if (TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &xres) && TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &unit) &&
      unit == RESUNIT_INCH) {
    r.dpi = xres;
  }
  r.bits = bits;
  r.channels = samples;
  // 1-bit images must say that 1 is black; 8-bit gray that 0 is.
  const uint16_t want = samples == 3 ? PHOTOMETRIC_RGB : bits == 1 ? PHOTOMETRIC_MINISWHITE
                                                                   : PHOTOMETRIC_MINISBLACK;
  if (photometric != want) r.channels = -1;
  const size_t row = static_cast<size_t>(TIFFScanlineSize(tiff));
  r.rows.resize(row * r.height);
  for (uint32_t i = 0; i < r.height; ++i) {
    if (TIFFReadScanline(tiff, r.rows.data() + i * row, i, 0) < 0) r.rows.clear();
  }
  TIFFClose(tiff);
  return r;
}

class ScanOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("SCANSUITE_BIN") == nullptr) GTEST_SKIP() << "SCANSUITE_BIN is not set";
  }
  fs::path At(const std::string& name) const { return root.path() / name; }
  platform::testing::TempDir root;
};

// One inch across, half an inch down, from an inch in: 150 dpi gives 150 x 75.
const std::string kArea = "-d 1 --resolution 150 -l 25.4 -t 25.4 -x 25.4 -y 12.7";

TEST_F(ScanOutput, EveryModeInEveryFormatReadsBackAlike) {
  struct Case { const char* mode; int bits, channels; };
  for (Case c : {Case{"Color", 8, 3}, Case{"gr", 8, 1}, Case{"L", 1, 1}}) {
    SCOPED_TRACE(c.mode);
    for (const char* format : {"pnm", "png", "tiff"}) {
      Outcome r = Scan(root.path(), kArea + " --mode " + c.mode + " --format " + format + " -o out." + format);
      ASSERT_EQ(r.status, 0) << r.out;
    }
    const Raster pnm = ReadPnm(At("out.pnm"));
    const Raster png = ReadPng(At("out.png"));
    const Raster tif = ReadTiff(At("out.tiff"));
    for (const Raster* r : {&pnm, &png, &tif}) {
      EXPECT_EQ(r->width, 150u);
      EXPECT_EQ(r->height, 75u);
      EXPECT_EQ(r->bits, c.bits);
      EXPECT_EQ(r->channels, c.channels);
      EXPECT_FALSE(r->rows.empty());
    }
    EXPECT_EQ(png.perMetre, 5906u);  // 150 / 0.0254, rounded
    EXPECT_EQ(tif.dpi, 150.0);
    EXPECT_TRUE(pnm.rows == png.rows);
    EXPECT_TRUE(pnm.rows == tif.rows);
  }
  EXPECT_FALSE(fs::exists(At("out.png.part")));
}

// The top of the default chart is a gray ramp from black on the left to white on the right.
TEST_F(ScanOutput, GrayRampRunsFromBlackToWhite) {
  Outcome r = Scan(root.path(), "-d 1 --mode Gray --resolution 50 -t 12 -y 2 -o ramp.png");
  ASSERT_EQ(r.status, 0) << r.out;
  const Raster png = ReadPng(At("ramp.png"));
  ASSERT_EQ(png.width, 425u);  // 8.5 in at 50 dpi, the whole glass by default
  ASSERT_FALSE(png.rows.empty());
  EXPECT_LT(png.rows[30], 40);
  EXPECT_GT(png.rows[400], 215);
  for (size_t x = 40; x + 40 < 400; x += 40) EXPECT_LE(png.rows[x], png.rows[x + 40]) << x;
}

TEST_F(ScanOutput, FailuresLeaveNoFileBehind) {
  Outcome r = Scan(root.path(), kArea + " --source Negative -o film.png");
  EXPECT_EQ(r.status, 3) << r.out;
  EXPECT_NE(r.out.find("needs a film unit"), std::string::npos) << r.out;
  r = Scan(root.path(), kArea + " -o missing/dir/out.png");
  EXPECT_EQ(r.status, 5) << r.out;
  r = Scan(root.path(), kArea + " --resolution 5000 -o big.png");
  EXPECT_EQ(r.status, 2) << r.out;
  r = Scan(root.path(), kArea + " --format tiff");
  EXPECT_EQ(r.status, 2) << r.out;  // TIFF needs a file it can seek in
  for (const auto& entry : fs::directory_iterator(root.path())) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name.find(".png") == std::string::npos && name.find(".part") == std::string::npos) << name;
  }
}

TEST_F(ScanOutput, HelpGivesTheChosenScannersRanges) {
  Outcome r = Scan(root.path(), "-d 1 --help");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("--resolution 25..1200dpi [150]"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("-x 0..215.9mm [215.9]"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Exit status: 0 done"), std::string::npos) << r.out;
}

TEST_F(ScanOutput, ProgressCountsUpToAHundred) {
  Outcome r = Scan(root.path(), kArea + " -p -o p.pnm");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Progress: 0%"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Progress: 100%"), std::string::npos) << r.out;
}

// Film frames: one file per frame, numbered from 1, the holder loaded first and positioned.
TEST_F(ScanOutput, BatchOfFilmFrames) {
  std::ofstream(At("machine.ini"))
      << "[machine]\nadapters=hba0\n[hba0]\nkind=scsi\nidentifier=hba0\ntarget5=f\n"
         "[f]\nmodel=Color   FlatbedScanner_9\noptical=1200\nadbits=12\nholder=2,0x11,0x22,0x33\n";
  Outcome r = Scan(root.path(), "--source Pos --mode Gray --resolution 100 -x 36 -y 24 "
                                "--batch --batch-count 3 --format png");
  ASSERT_EQ(r.status, 0) << r.out;
  for (int frame : {1, 2, 3}) {
    const Raster png = ReadPng(At("out" + std::to_string(frame) + ".png"));
    EXPECT_EQ(png.width, 141u) << frame;   // 36 mm at 100 dpi
    EXPECT_EQ(png.height, 94u) << frame;   // 24 mm
  }
  EXPECT_FALSE(fs::exists(At("out4.png")));
  r = Scan(root.path(), "--source Neg --mode Gray --resolution 100 -x 36 -y 24 --batch=frame-%d.tif "
                        "--batch-start 7");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(ReadTiff(At("frame-7.tif")).width, 141u);
}

}  // namespace
