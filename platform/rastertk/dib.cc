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

int32_t ImageFromDib(const DibHeader& header, const uint8_t* colorTable, const uint8_t* rows,
                     std::unique_ptr<Image>* out) {
  uint32_t colors = 0;
  if (int32_t r = CheckDibHeader(header, &colors); r != kRasterSuccess) return r;
  std::unique_ptr<Image> image = MakeImage(header.width, header.height, header.bitCount, Pixels::kToBeWritten);
  if (!image) return kRasterNoMemory;
  // A short colour table (clrUsed below the full count) leaves the rest black.
  if (colors > 0) {
    std::memset(image->palette.data(), 0, image->palette.size());
    std::memcpy(image->palette.data(), colorTable, size_t(colors) * 4);
    for (size_t i = 0; i < image->palette.size(); i += 4) image->palette[i + 3] = 0;
  }
  std::memcpy(image->pixels.data(), rows, image->pixels.size());
  *out = std::move(image);
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
