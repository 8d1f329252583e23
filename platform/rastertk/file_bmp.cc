// BMP files: a 14-byte file header, then a packed DIB (header, colour table) and the rows where
// the file header's offset says. Files with top-down rows are read; files are written bottom-up.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "image.h"

namespace platform::rastertk {
namespace {

constexpr size_t kFileHeaderSize = 14;

uint32_t Le32(const std::string& bytes, size_t at) {
  uint32_t v;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

// Swaps the first row with the last, and so on inwards.
void TurnOver(Image& image) {
  for (int32_t top = 0, bottom = image.height - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(image.Row(top), image.Row(top) + image.stride, image.Row(bottom));
  }
}

}  // namespace

int32_t DecodeBmp(const std::string& bytes, std::unique_ptr<Image>* out) {
  if (bytes.size() < kFileHeaderSize + sizeof(DibHeader) || bytes[0] != 'B' || bytes[1] != 'M') {
    return kRasterFileFormat;
  }
  uint64_t pixelsAt = Le32(bytes, 10);
  DibHeader header;
  std::memcpy(&header, bytes.data() + kFileHeaderSize, sizeof header);
  // A negative height is a file whose rows run top-down: read as its bottom-up twin and turned
  // over afterwards. The most negative height has no positive twin and is refused as any
  // non-positive height is.
  bool topDown = header.height < 0 && header.height != INT32_MIN;
  if (topDown) header.height = -header.height;
  uint32_t colors = 0;
  if (int32_t r = CheckDibHeader(header, &colors); r != kRasterSuccess) return r;
  uint64_t tableAt = kFileHeaderSize + uint64_t(header.size);
  uint64_t tableEnd = tableAt + uint64_t(colors) * 4;
  uint64_t size = DibStride(header.width, header.bitCount) * uint64_t(header.height);
  if (tableEnd > bytes.size() || pixelsAt < tableEnd || pixelsAt > bytes.size() ||
      bytes.size() - pixelsAt < size) {
    return kRasterFileFormat;
  }
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  int32_t r = ImageFromDib(header, data + tableAt, data + pixelsAt, out);
  if (r != kRasterSuccess) return r;
  if (topDown) TurnOver(**out);
  (*out)->sourceFormat = kFormatBmp;
  return r;
}

int32_t EncodeBmp(const Image& image, std::string* out) {
  std::string dib = PackedDib(image);
  uint64_t total = kFileHeaderSize + dib.size();
  if (total > 0xFFFFFFFFull) return kRasterTooLarge;
  uint8_t header[kFileHeaderSize] = {'B', 'M'};
  uint32_t size = uint32_t(total);
  uint32_t pixelsAt = uint32_t(kFileHeaderSize + sizeof(DibHeader) + image.palette.size());
  std::memcpy(header + 2, &size, 4);
  std::memcpy(header + 10, &pixelsAt, 4);
  out->assign(reinterpret_cast<const char*>(header), sizeof header);
  out->append(dib);
  return kRasterSuccess;
}

}  // namespace platform::rastertk
