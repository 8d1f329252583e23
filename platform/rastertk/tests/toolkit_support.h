// The toolkit's operations looked up by ordinal in a test host, and bitmaps made from pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/memory/memory.h"
#include "platform/modules/modules.h"
#include "platform/rastertk/rastertk.h"
#include "test_host.h"

namespace platform::rastertk {

class ToolkitTest : public ::testing::Test {
 protected:
  ToolkitTest() {
    Install(test_.host());
    Modules& m = test_.host().modules();
    kernel_ = m.LoadLibrary(kKernelModule);
    image_ = m.LoadLibrary(kImageModule);
    file_ = m.LoadLibrary(kFileModule);
    init = Get<InitBitmapFn>(kernel_, kOrdinalInitBitmap);
    fromDib = Get<BitmapFromDibFn>(kernel_, kOrdinalBitmapFromDib);
    resize = Get<ResizeBitmapFn>(kernel_, kOrdinalResizeBitmap);
    exportDib = Get<ExportDibFn>(kernel_, kOrdinalExportDib);
    release = Get<FreeBitmapFn>(kernel_, kOrdinalFreeBitmap);
    crop = Get<AutoCropFn>(image_, kOrdinalAutoCrop);
    load = Get<LoadFileFn>(file_, kOrdinalLoadFile);
    save = Get<SaveFileFn>(file_, kOrdinalSaveFile);
  }
  template <class Fn>
  Fn Get(ModuleHandle module, uint16_t ordinal) {
    return reinterpret_cast<Fn>(test_.host().modules().GetProcAddress(module, OrdinalName(ordinal)));
  }

  // A bitmap of random pixels; up to 8 bits a random colour table, or the grey ramp when asked.
  Bitmap Random(int32_t width, int32_t height, int bits, unsigned seed, bool greyRamp = false) {
    std::mt19937 random(seed);
    size_t colors = bits <= 8 ? size_t{1} << bits : 0;
    std::vector<uint8_t> head(40 + colors * 4);
    DibHeader h{40, width, height, 1, uint16_t(bits), 0, 0, 0, 0, 0, 0};
    std::memcpy(head.data(), &h, 40);
    for (size_t i = 0; i < colors; ++i) {
      for (int c = 0; c < 3; ++c) head[40 + i * 4 + c] = greyRamp ? uint8_t(i) : uint8_t(random());
    }
    std::vector<uint8_t> rows(DibStride(width, bits) * size_t(height));
    for (auto& b : rows) b = uint8_t(random());
    // Padding and the unused bits of a row's last byte are zero, as files bring them back.
    size_t stride = DibStride(width, bits), used = (size_t(width) * bits + 7) / 8;
    int spare = int(used * 8 - size_t(width) * bits);
    for (size_t y = 0; y < size_t(height); ++y) {
      uint8_t* row = rows.data() + y * stride;
      std::fill(row + used, row + stride, 0);
      row[used - 1] = uint8_t(row[used - 1] & (0xFF << spare));
    }
    Bitmap bitmap{};
    EXPECT_EQ(init(&bitmap, width, height, bits), kRasterSuccess);
    EXPECT_EQ(fromDib(&bitmap, reinterpret_cast<DibHeader*>(head.data()), rows.data()), kRasterSuccess);
    return bitmap;
  }

  // The packed DIB the toolkit exports, copied out of its global block (which is freed).
  std::string Export(Bitmap* bitmap) {
    WorkMemory& memory = test_.host().memory();
    Hglobal block = exportDib(bitmap);
    if (!block) return {};
    std::string out(static_cast<const char*>(memory.GlobalLock(block)), memory.GlobalSize(block));
    memory.GlobalUnlock(block);
    memory.GlobalFree(block);
    return out;
  }

  size_t Live() { return LiveBitmaps(test_.host()); }

  testing::TestHost test_;
  ModuleHandle kernel_ = 0, image_ = 0, file_ = 0;
  InitBitmapFn init = nullptr;
  BitmapFromDibFn fromDib = nullptr;
  ResizeBitmapFn resize = nullptr;
  ExportDibFn exportDib = nullptr;
  FreeBitmapFn release = nullptr;
  AutoCropFn crop = nullptr;
  LoadFileFn load = nullptr;
  SaveFileFn save = nullptr;
};

}  // namespace platform::rastertk
