// The toolkit's modules and ordinals, its bitmaps' lifetimes, the exported DIB, resizing against
// OpenCV and the automatic crop.
#include <opencv2/imgproc.hpp>

#include "platform/system/errors.h"
#include "toolkit_support.h"

namespace platform::rastertk {
namespace {

TEST_F(ToolkitTest, ThreeModulesWithExactlyTheirOrdinals) {
  Modules& m = test_.host().modules();
  const std::pair<ModuleHandle, std::vector<uint16_t>> modules[] = {
      {kernel_, {110, 111, 113, 114, 134, 198}}, {image_, {126}}, {file_, {101, 103}}};
  for (const auto& [module, ordinals] : modules) {
    ASSERT_NE(module, 0u);
    for (uint16_t ordinal = 1; ordinal < 400; ++ordinal) {
      bool listed = std::find(ordinals.begin(), ordinals.end(), ordinal) != ordinals.end();
      SetLastError(0);
      EXPECT_EQ(m.GetProcAddress(module, OrdinalName(ordinal)) != nullptr, listed) << ordinal;
      if (!listed) {
        EXPECT_EQ(GetLastError(), 127u);
      }
    }
  }
  // The names are read without regard to case, as Windows reads module names.
  EXPECT_EQ(m.LoadLibrary("ltimg90n.DLL"), image_);
  m.FreeLibrary(image_);
}

TEST_F(ToolkitTest, BitmapsLiveUntilFreedAndStaleRecordsAreRefused) {
  Bitmap a = Random(9, 4, 24, 1);
  EXPECT_EQ(a.structSize, 136u);
  EXPECT_EQ(a.bytesPerLine, 28u);
  EXPECT_EQ(a.imageSize, 112u);
  EXPECT_EQ(Live(), 1u);
  Bitmap stale = a;
  EXPECT_EQ(release(&a), kRasterSuccess);
  EXPECT_EQ(Live(), 0u);
  EXPECT_EQ(a.handle, 0u);
  EXPECT_EQ(release(&a), kRasterSuccess);  // an empty record releases as nothing
  EXPECT_EQ(release(&stale), kRasterNoBitmap);
  EXPECT_EQ(resize(&stale, 3, 3), kRasterNoBitmap);
  EXPECT_EQ(exportDib(&stale), 0u);
  EXPECT_EQ(crop(&stale, 0, 0), kRasterNoBitmap);
  Bitmap empty{};
  EXPECT_EQ(init(&empty, 10, 10, 8), kRasterSuccess);
  EXPECT_EQ(resize(&empty, 3, 3), kRasterNoBitmap);  // initialised, but no pixels yet
  Bitmap zeroed{};
  EXPECT_EQ(fromDib(&zeroed, nullptr, nullptr), kRasterInvalidParameter);
  EXPECT_EQ(init(&empty, 10, 0x7FFFFFFF, 32), kRasterTooLarge);
  EXPECT_EQ(init(&empty, 1, 1, 0), kRasterBadBitCount);
}

// The export is a movable block: header, full colour table, rows, with the sizes stated.
TEST_F(ToolkitTest, ExportIsAMovableBlockHoldingAPackedDib) {
  Bitmap b = Random(13, 3, 4, 2);
  WorkMemory& memory = test_.host().memory();
  Hglobal block = exportDib(&b);
  ASSERT_NE(block, 0u);
  EXPECT_EQ(memory.GlobalSize(block), 40u + 16 * 4 + 8 * 3);
  auto* bytes = static_cast<const uint8_t*>(memory.GlobalLock(block));
  EXPECT_NE(reinterpret_cast<uintptr_t>(bytes), block);  // movable: the handle is not the address
  DibHeader h;
  std::memcpy(&h, bytes, 40);
  EXPECT_EQ(h.size, 40u);
  EXPECT_EQ(h.width, 13);
  EXPECT_EQ(h.height, 3);
  EXPECT_EQ(h.bitCount, 4);
  EXPECT_EQ(h.sizeImage, 24u);
  memory.GlobalUnlock(block);
  memory.GlobalFree(block);
  // Exported pixels fill a second bitmap the same.
  std::string first = Export(&b);
  Bitmap c{};
  init(&c, 13, 3, 4);
  ASSERT_EQ(fromDib(&c, reinterpret_cast<const DibHeader*>(first.data()),
                    reinterpret_cast<const uint8_t*>(first.data()) + 40 + 64), kRasterSuccess);
  EXPECT_EQ(Export(&c), first);
  release(&b);
  release(&c);
  EXPECT_EQ(memory.LiveBlocks(), 0u);
}

// Reductions average areas, enlargements interpolate: each against OpenCV on the same pixels.
// An 8-bit image with the grey ramp holds levels and is averaged like colour.
TEST_F(ToolkitTest, ResizeAveragesReductionsAndInterpolatesEnlargements) {
  struct Case {
    int bits;
    bool ramp;
    int width, height;
    int interpolation;
  };
  for (Case c : {Case{24, false, 40, 7, cv::INTER_AREA}, Case{32, false, 91, 50, cv::INTER_LINEAR},
                 Case{8, true, 17, 9, cv::INTER_AREA}, Case{24, false, 60, 10, cv::INTER_LINEAR}}) {
    Bitmap b = Random(45, 23, c.bits, unsigned(c.width), c.ramp);
    std::string before = Export(&b);
    int type = c.bits == 32 ? CV_8UC4 : c.bits == 24 ? CV_8UC3 : CV_8UC1;
    size_t tableBytes = c.bits == 8 ? 1024 : 0;
    cv::Mat source(23, 45, type, before.data() + 40 + tableBytes, DibStride(45, c.bits));
    cv::Mat expected;
    cv::resize(source, expected, cv::Size(c.width, c.height), 0, 0, c.interpolation);
    ASSERT_EQ(resize(&b, c.width, c.height), kRasterSuccess);
    EXPECT_EQ(b.width, c.width);
    EXPECT_EQ(b.height, c.height);
    EXPECT_EQ(b.imageSize, DibStride(c.width, c.bits) * uint64_t(c.height));
    std::string after = Export(&b);
    for (int y = 0; y < c.height; ++y) {
      ASSERT_EQ(std::memcmp(after.data() + 40 + tableBytes + y * DibStride(c.width, c.bits), expected.ptr(y),
                            expected.cols * expected.elemSize()), 0)
          << c.bits << " bits to " << c.width << "x" << c.height << ", row " << y;
    }
    release(&b);
  }
}

// The one-call resize of a caller's DIB against the three calls it stands for: the same bitmap,
// the same codes for every refused header, and no bitmap left behind by a failure.
TEST_F(ToolkitTest, ResizeDibIsConvertingThenResizingWithoutTheCopy) {
  auto resizeDib = Get<ResizeDibFn>(kernel_, kOrdinalResizeDib);
  ASSERT_NE(resizeDib, nullptr);
  auto threeCalls = [&](const std::string& dib, int32_t w, int32_t h, Bitmap* out) {
    DibHeader head;
    std::memcpy(&head, dib.data(), 40);
    const auto* rows = reinterpret_cast<const uint8_t*>(dib.data()) + (dib.size() - head.sizeImage);
    int32_t r = init(out, head.width, head.height, head.bitCount);
    if (r == kRasterSuccess) r = fromDib(out, reinterpret_cast<const DibHeader*>(dib.data()), rows);
    if (r == kRasterSuccess) r = resize(out, w, h);
    return r;
  };
  auto oneCall = [&](const std::string& dib, int32_t w, int32_t h, Bitmap* out) {
    DibHeader head;
    std::memcpy(&head, dib.data(), 40);
    const auto* rows = reinterpret_cast<const uint8_t*>(dib.data()) + (dib.size() - head.sizeImage);
    return resizeDib(out, reinterpret_cast<const DibHeader*>(dib.data()), rows, w, h);
  };
  for (int bits : {1, 4, 8, 24, 32}) {
    for (bool ramp : {false, true}) {
      Bitmap b = Random(37, 11, bits, unsigned(bits), ramp);
      const std::string dib = Export(&b);
      release(&b);
      for (auto [w, h] : {std::pair{18, 5}, std::pair{50, 30}}) {
        Bitmap expected{}, actual{};
        ASSERT_EQ(threeCalls(dib, w, h, &expected), kRasterSuccess);
        ASSERT_EQ(oneCall(dib, w, h, &actual), kRasterSuccess);
        EXPECT_EQ(Export(&actual), Export(&expected)) << bits << " bits to " << w << "x" << h;
        EXPECT_EQ(actual.imageSize, expected.imageSize);
        EXPECT_EQ(actual.colorCount, expected.colorCount);
        release(&expected);
        release(&actual);
      }
    }
  }
  Bitmap b = Random(9, 6, 8, 7);
  const std::string good = Export(&b);
  release(&b);
  using Change = void (*)(DibHeader*);
  const Change changes[] = {
      [](DibHeader* h) { h->height = -6; },      [](DibHeader* h) { h->width = 0; },
      [](DibHeader* h) { h->bitCount = 16; },    [](DibHeader* h) { h->compression = 1; },
      [](DibHeader* h) { h->sizeImage = 7; },    [](DibHeader* h) { h->clrUsed = 257; },
      [](DibHeader* h) { h->size = 39; },        [](DibHeader* h) { h->planes = 2; },
      [](DibHeader* h) { h->width = 0x7FFFFFFF; }};
  for (Change change : changes) {
    std::string dib = good;
    change(reinterpret_cast<DibHeader*>(dib.data()));
    Bitmap expected{}, actual{};
    int32_t code = threeCalls(dib, 4, 3, &expected);
    release(&expected);
    EXPECT_NE(code, kRasterSuccess);
    EXPECT_EQ(oneCall(dib, 4, 3, &actual), code);
    EXPECT_EQ(actual.handle, 0u);
  }
  Bitmap out{};
  std::string dib = good;
  EXPECT_EQ(oneCall(dib, 0, 3, &out), kRasterInvalidParameter);
  EXPECT_EQ(resizeDib(&out, nullptr, reinterpret_cast<const uint8_t*>(dib.data()), 4, 3),
            kRasterInvalidParameter);
  EXPECT_EQ(resizeDib(&out, reinterpret_cast<const DibHeader*>(dib.data()), nullptr, 4, 3),
            kRasterInvalidParameter);
  EXPECT_EQ(Live(), 0u);
}

TEST_F(ToolkitTest, FailedResizeLeavesTheBitmap) {
  Bitmap b = Random(10, 10, 8, 3);
  std::string before = Export(&b);
  EXPECT_EQ(resize(&b, 0, 5), kRasterInvalidParameter);
  EXPECT_EQ(resize(&b, 5, -1), kRasterInvalidParameter);
  EXPECT_EQ(resize(&b, 0x7FFFFFFF, 0x7FFFFFFF), kRasterTooLarge);
  EXPECT_EQ(b.width, 10);
  EXPECT_EQ(Export(&b), before);
  release(&b);
}

// White page, a dark block at columns 5..7 and picture rows 2..3 (counted from the top).
TEST_F(ToolkitTest, CropFindsTheContentWithinToleranceAndMargin) {
  for (int bits : {1, 8, 24}) {
    Bitmap b = Random(20, 10, bits, 5, bits == 8);
    std::string dib = Export(&b);
    size_t table = bits <= 8 ? (size_t{4} << bits) : 0;
    if (bits == 1) std::memcpy(dib.data() + 40, "\0\0\0\0\xff\xff\xff\0", 8);  // black, white
    auto* rows = reinterpret_cast<uint8_t*>(dib.data()) + 40 + table;
    uint32_t stride = DibStride(20, bits);
    auto set = [&](int x, int topY, int value) {
      uint8_t* row = rows + size_t(9 - topY) * stride;
      if (bits == 1) {
        row[x / 8] = uint8_t(value ? row[x / 8] | (0x80 >> (x % 8)) : row[x / 8] & ~(0x80 >> (x % 8)));
      } else {
        for (int c = 0; c < bits / 8; ++c) row[x * (bits / 8) + c] = uint8_t(value ? 255 : 0x30);
      }
    };
    for (int y = 0; y < 10; ++y) {
      for (int x = 0; x < 20; ++x) set(x, y, 1);
    }
    for (int y = 2; y <= 3; ++y) {
      for (int x = 5; x <= 7; ++x) set(x, y, 0);
    }
    release(&b);
    init(&b, 20, 10, bits);
    ASSERT_EQ(fromDib(&b, reinterpret_cast<const DibHeader*>(dib.data()), rows), kRasterSuccess);
    Bitmap copy{};
    init(&copy, 20, 10, bits);
    ASSERT_EQ(fromDib(&copy, reinterpret_cast<const DibHeader*>(dib.data()), rows), kRasterSuccess);
    EXPECT_EQ(crop(&b, 0, 0), kRasterSuccess) << bits;
    EXPECT_EQ(b.width, 3);
    EXPECT_EQ(b.height, 2);
    std::string cropped = Export(&b);
    // Every pixel of the result is the dark colour.
    if (bits == 24) {
      for (size_t i = 0; i < 9; ++i) EXPECT_EQ(uint8_t(cropped[40 + i]), 0x30);
    }
    if (bits == 1) {
      EXPECT_EQ(uint8_t(cropped[48]) & 0xE0, 0);
    }
    EXPECT_EQ(crop(&copy, 0, 2), kRasterSuccess);
    EXPECT_EQ(copy.width, 7);   // columns 3..9
    EXPECT_EQ(copy.height, 6);  // rows 0..5: the margin stops at the top edge
    release(&b);
    release(&copy);
  }
  Bitmap grey = Random(8, 8, 24, 9);
  EXPECT_EQ(crop(&grey, 255, 0), kRasterNothingToCrop);  // nothing differs by more than 255
  EXPECT_EQ(crop(&grey, 256, 0), kRasterInvalidParameter);
  EXPECT_EQ(grey.width, 8);
  EXPECT_EQ(crop(&grey, 0, 0xFFFFFFFF), kRasterSuccess);  // a margin past every edge keeps it all
  EXPECT_EQ(grey.width, 8);
  release(&grey);
  EXPECT_EQ(Live(), 0u);
}

}  // namespace
}  // namespace platform::rastertk
