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

}  // namespace
}  // namespace platform::rastertk
