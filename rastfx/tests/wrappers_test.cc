// The toolkit wrappers: conversion and initialisation, the DIB and file down-samples and the
// crop, each checked for what it leaves behind (rows, header, files, live bitmaps, global blocks).
#include <gtest/gtest.h>

#include <cstring>
#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

#include "platform/faults/faults.h"
#include "platform/files/files.h"
#include "platform/memory/memory.h"
#include "platform/modules/modules.h"
#include "rastfx/rastfx.h"
#include "test_host.h"

namespace rastfx {
namespace {

namespace rt = platform::rastertk;

// A DIB as callers hold it: the header with its colour table in one block, the rows in another.
struct Dib {
  std::vector<uint8_t> head;  // header and colour table
  std::vector<uint8_t> rows;
  rt::DibHeader* header() { return reinterpret_cast<rt::DibHeader*>(head.data()); }
  size_t stride() const {
    auto* h = reinterpret_cast<const rt::DibHeader*>(head.data());
    return (size_t(h->width) * h->bitCount + 31) / 32 * 4;
  }
};

Dib MakeDib(int32_t width, int32_t height, uint16_t bits, unsigned seed = 1) {
  Dib d;
  size_t colors = bits <= 8 ? size_t{1} << bits : 0;
  d.head.resize(40 + colors * 4);
  rt::DibHeader h{};
  h.size = 40;
  h.width = width;
  h.height = height;
  h.planes = 1;
  h.bitCount = bits;
  std::memcpy(d.head.data(), &h, sizeof h);
  std::mt19937 random(seed);
  for (size_t i = 0; i < colors * 4; ++i) d.head[40 + i] = (i % 4 == 3) ? 0 : uint8_t(random());
  d.rows.resize(d.stride() * size_t(height));
  for (auto& b : d.rows) b = uint8_t(random());
  return d;
}

class WrappersTest : public ::testing::Test {
 protected:
  size_t LiveBitmaps() { return rt::LiveBitmaps(host_.host()); }
  size_t LiveBlocks() { return host_.host().memory().LiveBlocks(); }
  int32_t Free(rt::Bitmap* bitmap) {
    platform::Modules& modules = host_.host().modules();
    platform::ModuleHandle kernel = modules.LoadLibrary(rt::kKernelModule);
    auto release = reinterpret_cast<rt::FreeBitmapFn>(
        modules.GetProcAddress(kernel, platform::OrdinalName(rt::kOrdinalFreeBitmap)));
    int32_t r = release(bitmap);
    modules.FreeLibrary(kernel);
    return r;
  }
  platform::testing::TestHost host_;
};

TEST_F(WrappersTest, ConvertKeepsTheCallerValuesAndTheCallerReleases) {
  Dib dib = MakeDib(7, 5, 24);
  rt::Bitmap bitmap;
  std::memset(&bitmap, 0xCC, sizeof bitmap);  // output only: whatever was there goes
  ASSERT_EQ(P_ConvertDIB2LToolsBitmapFormat(dib.header(), dib.rows.data(), 0xDEADBEEF, 0x12345678,
                                            &bitmap), rt::kRasterSuccess);
  EXPECT_EQ(bitmap.valueA, 0xDEADBEEFu);
  EXPECT_EQ(bitmap.valueB, 0x12345678u);
  EXPECT_EQ(bitmap.width, 7);
  EXPECT_EQ(bitmap.height, 5);
  EXPECT_EQ(bitmap.bitsPerPixel, 24);
  EXPECT_EQ(bitmap.imageSize, 24u * 5);
  EXPECT_EQ(LiveBitmaps(), 1u);
  EXPECT_EQ(Free(&bitmap), rt::kRasterSuccess);
  EXPECT_EQ(LiveBitmaps(), 0u);

  rt::Bitmap empty{};
  ASSERT_EQ(P_Initlbitmap(&empty, 1, 0xFFFFFFFF, 640, 480, 8), rt::kRasterSuccess);
  EXPECT_EQ(empty.valueA, 1u);
  EXPECT_EQ(empty.valueB, 0xFFFFFFFFu);
  EXPECT_EQ(empty.bytesPerLine, 640u);
  EXPECT_EQ(empty.colorCount, 256u);
  EXPECT_EQ(LiveBitmaps(), 0u);  // an initialised bitmap holds no pixels yet
  EXPECT_EQ(P_Initlbitmap(&empty, 1, 2, 640, 480, 16), rt::kRasterBadBitCount);
  EXPECT_EQ(P_Initlbitmap(&empty, 1, 2, 0, 480, 8), rt::kRasterInvalidParameter);
  EXPECT_EQ(P_Initlbitmap(nullptr, 1, 2, 640, 480, 8), rt::kRasterInvalidParameter);
}

// Each refused header with its code; nothing is left behind.
TEST_F(WrappersTest, RefusedHeadersHaveTheirOwnCodes) {
  struct Case {
    const char* what;
    void (*change)(rt::DibHeader&);
    int32_t code;
  };
  const Case cases[] = {
      {"header of 39 bytes", [](rt::DibHeader& h) { h.size = 39; }, rt::kRasterBadHeader},
      {"header of 125 bytes", [](rt::DibHeader& h) { h.size = 125; }, rt::kRasterBadHeader},
      {"two planes", [](rt::DibHeader& h) { h.planes = 2; }, rt::kRasterBadHeader},
      {"top-down rows", [](rt::DibHeader& h) { h.height = -h.height; }, rt::kRasterInvalidParameter},
      {"no width", [](rt::DibHeader& h) { h.width = 0; }, rt::kRasterInvalidParameter},
      {"16 bits", [](rt::DibHeader& h) { h.bitCount = 16; }, rt::kRasterBadBitCount},
      {"2 bits", [](rt::DibHeader& h) { h.bitCount = 2; }, rt::kRasterBadBitCount},
      {"run-length", [](rt::DibHeader& h) { h.compression = 1; }, rt::kRasterCompressed},
      {"bit fields", [](rt::DibHeader& h) { h.compression = 3; }, rt::kRasterCompressed},
      {"image size one more", [](rt::DibHeader& h) { h.sizeImage = 20 * 6 + 1; }, rt::kRasterBadImageSize},
      {"image size one less", [](rt::DibHeader& h) { h.sizeImage = 20 * 6 - 1; }, rt::kRasterBadImageSize},
      {"257 colours", [](rt::DibHeader& h) { h.clrUsed = 257; }, rt::kRasterBadHeader},
  };
  for (const Case& c : cases) {
    Dib dib = MakeDib(20, 6, 8);
    c.change(*dib.header());
    const Dib before = dib;
    rt::Bitmap bitmap{};
    EXPECT_EQ(P_ConvertDIB2LToolsBitmapFormat(dib.header(), dib.rows.data(), 1, 2, &bitmap), c.code) << c.what;
    EXPECT_EQ(P_ImageDownSample(dib.rows.data(), dib.header(), 1, 2, 10, 3), c.code) << c.what;
    EXPECT_EQ(P_SingleAutoCrop(dib.rows.data(), dib.header(), 1, 2, 0, 0), c.code) << c.what;
    EXPECT_EQ(dib.head, before.head) << c.what;
    EXPECT_EQ(dib.rows, before.rows) << c.what;
  }
  // The limits themselves are accepted: a stated image size that is right, 256 colours.
  for (auto change : {+[](rt::DibHeader& h) { h.sizeImage = 20 * 6; }, +[](rt::DibHeader& h) { h.clrUsed = 256; },
                      +[](rt::DibHeader& h) { h.size = 124; }}) {
    Dib dib = MakeDib(20, 6, 8);
    dib.head.resize(dib.head.size() + 84);  // room for a larger header's colour table offset
    change(*dib.header());
    rt::Bitmap bitmap{};
    EXPECT_EQ(P_ConvertDIB2LToolsBitmapFormat(dib.header(), dib.rows.data(), 1, 2, &bitmap), rt::kRasterSuccess);
    Free(&bitmap);
  }
  EXPECT_EQ(P_ConvertDIB2LToolsBitmapFormat(nullptr, nullptr, 1, 2, nullptr), rt::kRasterInvalidParameter);
  Dib dib = MakeDib(20, 6, 8);
  rt::Bitmap bitmap{};
  EXPECT_EQ(P_ConvertDIB2LToolsBitmapFormat(dib.header(), nullptr, 1, 2, &bitmap), rt::kRasterInvalidParameter);
  EXPECT_EQ(LiveBitmaps(), 0u);
}

// Halving a 24-bit DIB gives what OpenCV's area resize gives for the same pixels.
TEST_F(WrappersTest, HalvedColourDibEqualsOpenCvsAreaResize) {
  Dib dib = MakeDib(101, 64, 24, 7);  // 303 bytes a row, 1 of padding
  cv::Mat source(64, 101, CV_8UC3, dib.rows.data(), dib.stride());
  cv::Mat expected;
  cv::resize(source, expected, cv::Size(50, 32), 0, 0, cv::INTER_AREA);
  ASSERT_EQ(P_ImageDownSample(dib.rows.data(), dib.header(), 3, 4, 50, 32), rt::kRasterSuccess);
  EXPECT_EQ(dib.header()->width, 50);
  EXPECT_EQ(dib.header()->height, 32);
  EXPECT_EQ(dib.header()->sizeImage, 152u * 32);  // 150 bytes padded to 152
  for (int y = 0; y < 32; ++y) {
    ASSERT_EQ(std::memcmp(dib.rows.data() + y * 152, expected.ptr(y), 150), 0) << y;
  }
  EXPECT_EQ(LiveBitmaps(), 0u);
  EXPECT_EQ(LiveBlocks(), 0u);
}

// A palette image keeps its colour table and is resized by nearest neighbour on its indices:
// halving takes every second pixel of every second row.
TEST_F(WrappersTest, PaletteImagesKeepTheirTableAndTheirIndices) {
  for (uint16_t bits : {uint16_t{1}, uint16_t{4}, uint16_t{8}}) {
    Dib dib = MakeDib(40, 20, bits, bits);
    const Dib before = dib;
    ASSERT_EQ(P_ImageDownSample(dib.rows.data(), dib.header(), 0, 0, 20, 10), rt::kRasterSuccess) << bits;
    EXPECT_TRUE(std::equal(dib.head.begin() + 40, dib.head.end(), before.head.begin() + 40));
    size_t inStride = before.stride(), outStride = dib.stride();
    auto index = [bits](const uint8_t* row, int x) {
      int perByte = 8 / bits;
      return (row[x / perByte] >> (8 - bits * (x % perByte + 1))) & ((1 << bits) - 1);
    };
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 20; ++x) {
        ASSERT_EQ(index(dib.rows.data() + y * outStride, x), index(before.rows.data() + 2 * y * inStride, 2 * x))
            << bits << " bits at " << x << "," << y;
      }
    }
  }
  EXPECT_EQ(LiveBitmaps(), 0u);
}

// A result larger than the caller's rows is refused, as is a failed resize or a missing export
// block: rows and header stay as they were and nothing is left allocated.
TEST_F(WrappersTest, FailuresLeaveRowsAndHeaderAlone) {
  Dib dib = MakeDib(30, 10, 24, 3);
  const Dib before = dib;
  EXPECT_EQ(P_ImageDownSample(dib.rows.data(), dib.header(), 0, 0, 31, 10), rt::kRasterNoRoom);
  EXPECT_EQ(P_ImageDownSample(dib.rows.data(), dib.header(), 0, 0, 30, 11), rt::kRasterNoRoom);
  EXPECT_EQ(P_ImageDownSample(dib.rows.data(), dib.header(), 0, 0, 0, 5), rt::kRasterInvalidParameter);
  EXPECT_EQ(P_ImageDownSample(dib.rows.data(), dib.header(), 0, 0, 0x80000000u, 5), rt::kRasterInvalidParameter);
  EXPECT_EQ(P_ImageDownSample(nullptr, dib.header(), 0, 0, 10, 5), rt::kRasterInvalidParameter);
  host_.host().faults().FailEvery("memory.allocate");
  EXPECT_EQ(P_ImageDownSample(dib.rows.data(), dib.header(), 0, 0, 15, 5), rt::kRasterNoMemory);
  host_.host().faults().Clear("memory.allocate");
  EXPECT_EQ(dib.head, before.head);
  EXPECT_EQ(dib.rows, before.rows);
  EXPECT_EQ(LiveBitmaps(), 0u);
  EXPECT_EQ(LiveBlocks(), 0u);
  // The same size fits exactly (32-bit rows have no padding to spare).
  Dib same = MakeDib(30, 10, 32, 4);
  EXPECT_EQ(P_ImageDownSample(same.rows.data(), same.header(), 0, 0, 10, 30), rt::kRasterSuccess);
  EXPECT_EQ(same.header()->width, 10);
  EXPECT_EQ(LiveBitmaps(), 0u);
}

TEST_F(WrappersTest, FileDownSampleResizesInPlaceAndKeepsTheFormat) {
  // A 4 x 2 BMP written byte by byte: rows bottom-up, 12 bytes each.
  std::string bmp = "BM";
  auto put32 = [&bmp](uint32_t v) { bmp.append(reinterpret_cast<const char*>(&v), 4); };
  auto put16 = [&bmp](uint16_t v) { bmp.append(reinterpret_cast<const char*>(&v), 2); };
  put32(14 + 40 + 24); put16(0); put16(0); put32(54);
  put32(40); put32(4); put32(2); put16(1); put16(24); put32(0); put32(24); put32(0); put32(0); put32(0); put32(0);
  for (int i = 0; i < 24; ++i) bmp.push_back(char(i * 10));
  host_.WriteFile("C:\\SCANS\\PAGE.BMP", bmp);
  ASSERT_EQ(P_FileDownSample("C:\\SCANS\\PAGE.BMP", 2, 1), rt::kRasterSuccess);
  std::optional<std::string> after = host_.host().files().ReadFile("C:\\SCANS\\PAGE.BMP");
  ASSERT_TRUE(after);
  ASSERT_EQ(after->size(), 14u + 40 + 8);
  EXPECT_EQ(after->substr(0, 2), "BM");
  int32_t width, height;
  std::memcpy(&width, after->data() + 18, 4);
  std::memcpy(&height, after->data() + 22, 4);
  EXPECT_EQ(width, 2);
  EXPECT_EQ(height, 1);
  // Area averages of 2 x 2 blocks: first pixel's blue (0 + 30 + 120 + 150) / 4 = 75.
  EXPECT_EQ(uint8_t((*after)[54]), 75);
  EXPECT_EQ(LiveBitmaps(), 0u);
}

TEST_F(WrappersTest, FileDownSampleStopsAtTheFirstFailureWithTheFileUntouched) {
  EXPECT_EQ(P_FileDownSample("C:\\SCANS\\NONE.PNG", 2, 2), rt::kRasterFileNotFound);
  EXPECT_FALSE(host_.host().files().Exists("C:\\SCANS\\NONE.PNG"));
  host_.WriteFile("C:\\SCANS\\JUNK.PNG", "\x89PNG\r\n\x1a\n but not really");
  EXPECT_EQ(P_FileDownSample("C:\\SCANS\\JUNK.PNG", 2, 2), rt::kRasterFileFormat);
  EXPECT_EQ(host_.host().files().ReadFile("C:\\SCANS\\JUNK.PNG"), "\x89PNG\r\n\x1a\n but not really");
  EXPECT_EQ(P_FileDownSample(nullptr, 2, 2), rt::kRasterInvalidParameter);
  EXPECT_EQ(LiveBitmaps(), 0u);
}

TEST_F(WrappersTest, AutoCropReportsContentAndChangesNothing) {
  Dib dib = MakeDib(16, 8, 24);
  std::fill(dib.rows.begin(), dib.rows.end(), 0xFF);
  const Dib blank = dib;
  EXPECT_EQ(P_SingleAutoCrop(dib.rows.data(), dib.header(), 1, 2, 0, 0), rt::kRasterNothingToCrop);
  dib.rows[3 * dib.stride() + 5 * 3] = 0x10;  // one dark pixel
  const Dib before = dib;
  EXPECT_EQ(P_SingleAutoCrop(dib.rows.data(), dib.header(), 1, 2, 0, 4), rt::kRasterSuccess);
  EXPECT_EQ(P_SingleAutoCrop(dib.rows.data(), dib.header(), 1, 2, 0xEF, 0), rt::kRasterNothingToCrop);
  EXPECT_EQ(P_SingleAutoCrop(dib.rows.data(), dib.header(), 1, 2, 256, 0), rt::kRasterInvalidParameter);
  EXPECT_EQ(dib.rows, before.rows);
  EXPECT_EQ(dib.head, before.head);
  EXPECT_EQ(LiveBitmaps(), 0u);
}

// With no host to run on, the exports fail with a code instead of throwing.
TEST_F(WrappersTest, NoExceptionLeavesAnExport) {
  platform::Host* previous = platform::Host::Install(nullptr);
  rt::Bitmap bitmap{};
  Dib dib = MakeDib(4, 4, 8);
  EXPECT_EQ(P_Initlbitmap(&bitmap, 0, 0, 4, 4, 8), rt::kRasterFailure);
  EXPECT_EQ(P_ImageDownSample(dib.rows.data(), dib.header(), 0, 0, 2, 2), rt::kRasterFailure);
  EXPECT_EQ(P_FileDownSample("C:\\X.BMP", 2, 2), rt::kRasterFailure);
  std::vector<uint8_t> rows = dib.rows;
  EXPECT_EQ(P_ImageDescreen(rows.data(), 8, 0, 0, 4, 4, 0, 1.0), 0);
  EXPECT_EQ(rows, dib.rows);
  platform::Host::Install(previous);
}

}  // namespace
}  // namespace rastfx
