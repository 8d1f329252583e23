// Files: every depth through BMP, PNG and TIFF and back, the format a file keeps, atomic saves
// and the files that are refused.
#include "platform/faults/faults.h"
#include "platform/files/files.h"
#include "toolkit_support.h"

namespace platform::rastertk {
namespace {

class FilesTest : public ToolkitTest {
 protected:
  std::string Read(const char* path) { return test_.host().files().ReadFile(path).value_or(""); }
};

TEST_F(FilesTest, EveryDepthSurvivesEveryFormat) {
  struct Depth {
    int bits;
    bool ramp;
  };
  const Depth depths[] = {{1, false}, {4, false}, {8, false}, {8, true}, {24, false}, {32, false}};
  const std::pair<int32_t, const char*> formats[] = {
      {kFormatBmp, "BM"}, {kFormatPng, "\x89PNG"}, {kFormatTiff, "II*"}};
  for (auto [format, magic] : formats) {
    for (Depth d : depths) {
      Bitmap b = Random(37, 11, d.bits, unsigned(d.bits + format), d.ramp);
      std::string before = Export(&b);
      ASSERT_EQ(save("C:\\IMAGE.DAT", &b, format, d.bits, 0), kRasterSuccess);
      EXPECT_EQ(Read("C:\\IMAGE.DAT").substr(0, std::strlen(magic)), magic);
      Bitmap back{};
      ASSERT_EQ(load("C:\\IMAGE.DAT", &back, 0, 1), kRasterSuccess) << format << " " << d.bits;
      EXPECT_EQ(back.sourceFormat, format);
      EXPECT_EQ(Export(&back), before) << "format " << format << ", " << d.bits << " bits";
      release(&b);
      release(&back);
    }
  }
  EXPECT_EQ(Live(), 0u);
}

// Format 6 writes what the bitmap was read as; a bitmap from no file is written as BMP.
TEST_F(FilesTest, FormatSixKeepsTheFormatTheFileWasReadIn) {
  Bitmap b = Random(5, 5, 24, 1);
  ASSERT_EQ(save("C:\\A.BMP", &b, kFormatAsLoaded, 24, 0), kRasterSuccess);
  EXPECT_EQ(Read("C:\\A.BMP").substr(0, 2), "BM");
  ASSERT_EQ(save("C:\\B.TIF", &b, kFormatTiff, 24, 0), kRasterSuccess);
  Bitmap tiff{};
  ASSERT_EQ(load("C:\\B.TIF", &tiff, 0, 1), kRasterSuccess);
  ASSERT_EQ(resize(&tiff, 2, 2), kRasterSuccess);
  ASSERT_EQ(save("C:\\B.TIF", &tiff, kFormatAsLoaded, 24, 0), kRasterSuccess);
  EXPECT_EQ(Read("C:\\B.TIF").substr(0, 3), "II*");
  release(&b);
  release(&tiff);
}

TEST_F(FilesTest, SaveRefusesWhatItDoesNotWriteAndReplacesFilesWhole) {
  Bitmap b = Random(6, 6, 8, 2);
  EXPECT_EQ(save("C:\\X.BMP", &b, kFormatBmp, 24, 0), kRasterBadFormatCode);
  EXPECT_EQ(save("C:\\X.BMP", &b, 4, 8, 0), kRasterBadFormatCode);
  EXPECT_EQ(save("C:\\X.BMP", &b, 0, 8, 0), kRasterBadFormatCode);
  EXPECT_EQ(save("C:\\X.BMP", &b, kFormatBmp, 8, 1), kRasterInvalidParameter);
  EXPECT_EQ(save(nullptr, &b, kFormatBmp, 8, 0), kRasterInvalidParameter);
  EXPECT_FALSE(test_.host().files().Exists("C:\\X.BMP"));
  test_.WriteFile("C:\\KEEP.BMP", "old contents");
  test_.host().faults().FailEvery("files");
  EXPECT_EQ(save("C:\\KEEP.BMP", &b, kFormatBmp, 8, 0), kRasterFileWrite);
  test_.host().faults().Clear("files");
  EXPECT_EQ(Read("C:\\KEEP.BMP"), "old contents");
  EXPECT_EQ(save("C:\\NO\\SUCH\\FOLDER.BMP", &b, kFormatBmp, 8, 0), kRasterFileWrite);
  release(&b);
}

TEST_F(FilesTest, LoadRefusesMissingDamagedAndForeignFiles) {
  Bitmap b{};
  EXPECT_EQ(load("C:\\NONE.PNG", &b, 0, 1), kRasterFileNotFound);
  EXPECT_EQ(load("C:\\WINDOWS", &b, 0, 1), kRasterFileNotFound);
  test_.WriteFile("C:\\TEXT.BMP", "hello, world: not an image at all");
  EXPECT_EQ(load("C:\\TEXT.BMP", &b, 0, 1), kRasterFileFormat);
  test_.WriteFile("C:\\EMPTY.BMP", "");
  EXPECT_EQ(load("C:\\EMPTY.BMP", &b, 0, 1), kRasterFileFormat);
  // Each format cut short keeps only its beginning.
  Bitmap source = Random(30, 20, 24, 4);
  for (int32_t format : {kFormatBmp, kFormatPng, kFormatTiff}) {
    ASSERT_EQ(save("C:\\FULL", &source, format, 24, 0), kRasterSuccess);
    std::string full = Read("C:\\FULL");
    test_.WriteFile("C:\\CUT", full.substr(0, full.size() / 2));
    EXPECT_EQ(load("C:\\CUT", &b, 0, 1), kRasterFileFormat) << format;
  }
  // A run-length BMP is refused for its compression.
  ASSERT_EQ(save("C:\\FULL", &source, kFormatBmp, 24, 0), kRasterSuccess);
  std::string rle = Read("C:\\FULL");
  rle[14 + 16] = 1;
  test_.WriteFile("C:\\RLE.BMP", rle);
  EXPECT_EQ(load("C:\\RLE.BMP", &b, 0, 1), kRasterCompressed);
  EXPECT_EQ(load("C:\\FULL", &b, 8, 1), kRasterBadBitCount);
  EXPECT_EQ(load("C:\\FULL", &b, 0, 0), kRasterInvalidParameter);
  EXPECT_EQ(load("C:\\FULL", &b, 24, 1), kRasterSuccess);
  release(&b);
  release(&source);
  EXPECT_EQ(Live(), 0u);
}

// A BMP file may store its rows top-down (negative height): it is read the right way up, so it
// exports and saves as the bottom-up file with the same picture. Worked file: 3 x 2 at 24 bits,
// rows of 9 bytes and 3 padding bytes, written by hand.
TEST_F(FilesTest, TopDownBmpFilesAreReadTheRightWayUp) {
  const std::string top = "\x01\x02\x03\x04\x05\x06\x07\x08\x09", bottom = "\xA1\xA2\xA3\xA4\xA5\xA6\xA7\xA8\xA9";
  const std::string pad(3, '\0');
  auto file = [&](int32_t height, const std::string& rows) {
    std::string bytes = "BM";
    auto le32 = [&bytes](uint32_t v) { bytes.append(reinterpret_cast<const char*>(&v), 4); };
    le32(uint32_t(54 + rows.size()));
    le32(0);
    le32(54);
    DibHeader h{40, 3, height, 1, 24, 0, 0, 0, 0, 0, 0};
    bytes.append(reinterpret_cast<const char*>(&h), sizeof h);
    return bytes + rows;
  };
  test_.WriteFile("C:\\DOWN.BMP", file(-2, top + pad + bottom + pad));
  test_.WriteFile("C:\\UP.BMP", file(2, bottom + pad + top + pad));
  Bitmap down{}, up{};
  ASSERT_EQ(load("C:\\DOWN.BMP", &down, 0, 1), kRasterSuccess);
  ASSERT_EQ(load("C:\\UP.BMP", &up, 0, 1), kRasterSuccess);
  EXPECT_EQ(down.height, 2);
  std::string exported = Export(&down);
  EXPECT_EQ(exported.substr(40), bottom + pad + top + pad);  // the DIB's rows run bottom-up
  EXPECT_EQ(exported, Export(&up));
  // Saved back under its own name, it is a bottom-up file of the same picture.
  ASSERT_EQ(save("C:\\DOWN.BMP", &down, kFormatAsLoaded, 24, 0), kRasterSuccess);
  std::string saved = Read("C:\\DOWN.BMP");
  int32_t savedHeight = 0;
  std::memcpy(&savedHeight, saved.data() + 22, 4);
  EXPECT_EQ(savedHeight, 2);
  EXPECT_EQ(saved.substr(54), bottom + pad + top + pad);
  // One row top-down is read; a height of 0 and the most negative height are refused.
  test_.WriteFile("C:\\ONE.BMP", file(-1, top + pad));
  Bitmap one{};
  EXPECT_EQ(load("C:\\ONE.BMP", &one, 0, 1), kRasterSuccess);
  EXPECT_EQ(Export(&one).substr(40), top + pad);
  Bitmap refused{};
  test_.WriteFile("C:\\ZERO.BMP", file(0, ""));
  EXPECT_EQ(load("C:\\ZERO.BMP", &refused, 0, 1), kRasterBadHeader);
  test_.WriteFile("C:\\MIN.BMP", file(INT32_MIN, top + pad));
  EXPECT_EQ(load("C:\\MIN.BMP", &refused, 0, 1), kRasterBadHeader);
  // A top-down file too short for its rows is refused like any other.
  test_.WriteFile("C:\\SHORT.BMP", file(-2, top + pad));
  EXPECT_EQ(load("C:\\SHORT.BMP", &refused, 0, 1), kRasterFileFormat);
  for (Bitmap* b : {&down, &up, &one}) release(b);
  EXPECT_EQ(Live(), 0u);
}

}  // namespace
}  // namespace platform::rastertk
