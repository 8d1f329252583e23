// DIBs in and out: the header checks, a bitmap filled from a header and its rows, and the packed
// DIB an export hands back.
#include <cstring>

#include "image.h"

namespace platform::rastertk {

constexpr uint32_t kBiRgb = 0;
// The largest header Windows defines (BITMAPV5HEADER): the colour table is read past the header,
// so a size beyond every defined one would send that read into whatever follows.
constexpr uint32_t kLargestHeader = 124;

int32_t CheckDibHeader(const DibHeader& h, uint32_t* colorCount) {
  if (h.size < sizeof(DibHeader) || h.size > kLargestHeader || h.planes != 1 || h.width <= 0 || h.height <= 0) {
    return kRasterBadHeader;
  }
  if (!SupportedDepth(h.bitCount)) return kRasterBadBitCount;
  if (h.compression != kBiRgb) return kRasterCompressed;
  uint32_t stride = 0;
  uint64_t size = 0;
  if (int32_t r = CheckGeometry(h.width, h.height, h.bitCount, &stride, &size); r != kRasterSuccess) {
    return r;
  }
  if (h.sizeImage != 0 && h.sizeImage != size) return kRasterBadImageSize;
  uint32_t full = h.bitCount <= 8 ? 1u << h.bitCount : 0;
  if (h.clrUsed > full) return kRasterBadHeader;
  *colorCount = h.clrUsed != 0 ? h.clrUsed : full;
  return kRasterSuccess;
}

namespace {

// A short colour table (clrUsed below the full count) leaves the rest black.
void ReadColorTable(const uint8_t* colorTable, uint32_t colors, std::vector<uint8_t>* palette) {
  if (colors == 0) return;
  std::memset(palette->data(), 0, palette->size());
  std::memcpy(palette->data(), colorTable, size_t(colors) * 4);
  for (size_t i = 0; i < palette->size(); i += 4) (*palette)[i + 3] = 0;
}

}  // namespace

int32_t ImageFromDib(const DibHeader& header, const uint8_t* colorTable, const uint8_t* rows,
                     std::unique_ptr<Image>* out) {
  uint32_t colors = 0;
  if (int32_t r = CheckDibHeader(header, &colors); r != kRasterSuccess) return r;
  std::unique_ptr<Image> image = MakeImage(header.width, header.height, header.bitCount, Pixels::kToBeWritten);
  if (!image) return kRasterNoMemory;
  ReadColorTable(colorTable, colors, &image->palette);
  std::memcpy(image->pixels.data(), rows, image->pixels.size());
  *out = std::move(image);
  return kRasterSuccess;
}

int32_t ViewDib(const DibHeader& header, const uint8_t* colorTable, const uint8_t* rows,
                std::vector<uint8_t>* palette, PixelView* view) {
  uint32_t colors = 0;
  if (int32_t r = CheckDibHeader(header, &colors); r != kRasterSuccess) return r;
  uint32_t stride = 0;
  uint64_t size = 0;
  if (int32_t r = CheckGeometry(header.width, header.height, header.bitCount, &stride, &size); r != kRasterSuccess) {
    return r;
  }
  palette->assign(header.bitCount <= 8 ? (size_t{4} << header.bitCount) : 0, 0);
  ReadColorTable(colorTable, colors, palette);
  *view = PixelView{header.width, header.height, header.bitCount, stride, rows, palette, 0};
  return kRasterSuccess;
}

size_t PackedDibSize(const Image& image) {
  return sizeof(DibHeader) + image.palette.size() + image.pixels.size();
}

void WritePackedDib(const Image& image, uint8_t* out) {
  DibHeader h{};
  h.size = sizeof h;
  h.width = image.width;
  h.height = image.height;
  h.planes = 1;
  h.bitCount = uint16_t(image.bitsPerPixel);
  h.compression = kBiRgb;
  h.sizeImage = uint32_t(image.pixels.size());
  h.xPelsPerMeter = h.yPelsPerMeter = 0;
  h.clrUsed = 0;
  h.clrImportant = 0;
  std::memcpy(out, &h, sizeof h);
  // Colour images have no table (and an empty vector may have no storage at all).
  if (!image.palette.empty()) std::memcpy(out + sizeof h, image.palette.data(), image.palette.size());
  std::memcpy(out + sizeof h + image.palette.size(), image.pixels.data(), image.pixels.size());
}

std::string PackedDib(const Image& image) {
  std::string out(PackedDibSize(image), '\0');
  WritePackedDib(image, reinterpret_cast<uint8_t*>(out.data()));
  return out;
}

}  // namespace platform::rastertk
