// The toolkit's pixels: one DIB-shaped image per live bitmap, and the checks every entry makes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/rastertk/rastertk.h"

namespace platform::rastertk {

// Bytes left as they are when a vector grows: pixels about to be overwritten whole are not
// cleared first.
template <class T>
struct UninitializedAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  UninitializedAllocator() = default;
  template <class U>
  UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}  // NOLINT
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
using PixelBytes = std::vector<uint8_t, UninitializedAllocator<uint8_t>>;

struct Image {
  int32_t width = 0;
  int32_t height = 0;
  int bitsPerPixel = 0;
  uint32_t stride = 0;
  std::vector<uint8_t> palette;  // 4 bytes (blue, green, red, 0) per entry
  PixelBytes pixels;             // bottom-up rows of `stride` bytes
  int32_t sourceFormat = 0;

  uint8_t* Row(int32_t bottomUpIndex) { return pixels.data() + size_t(bottomUpIndex) * stride; }
  const uint8_t* Row(int32_t bottomUpIndex) const {
    return pixels.data() + size_t(bottomUpIndex) * stride;
  }
  // Row `y` counted from the top of the picture.
  uint8_t* TopRow(int32_t y) { return Row(height - 1 - y); }
  const uint8_t* TopRow(int32_t y) const { return Row(height - 1 - y); }
};

bool SupportedDepth(int bitsPerPixel);
// Checks a geometry: kRasterSuccess, or why it is refused. Fills the stride and size.
int32_t CheckGeometry(int64_t width, int64_t height, int bitsPerPixel, uint32_t* stride,
                      uint64_t* imageSize);
// An image of this geometry with, up to 8 bits, a grey-ramp colour table; its pixels zeroed, or
// left for the caller to write whole. Null when the memory cannot be had.
enum class Pixels { kZeroed, kToBeWritten };
std::unique_ptr<Image> MakeImage(int32_t width, int32_t height, int bitsPerPixel,
                                 Pixels pixels = Pixels::kZeroed);
// Zeroes the bytes of each row past its pixels (what whole-pixel writers leave alone).
void ClearPadding(Image& image);
bool IsGreyRamp(const Image& image);
bool IsGreyRamp(int bitsPerPixel, const std::vector<uint8_t>& palette);

// Pixels read where they lie, an image's own or a caller's DIB rows, without a copy.
struct PixelView {
  int32_t width = 0;
  int32_t height = 0;
  int bitsPerPixel = 0;
  uint32_t stride = 0;
  const uint8_t* pixels = nullptr;  // bottom-up rows of `stride` bytes
  const std::vector<uint8_t>* palette = nullptr;
  int32_t sourceFormat = 0;

  const uint8_t* Row(int32_t bottomUpIndex) const { return pixels + size_t(bottomUpIndex) * stride; }
};
PixelView ViewOf(const Image& image);

// The live bitmaps of one host: the handle a record holds leads here and nowhere else, so a
// record that was never filled, or was freed, or was copied from a freed one, is refused.
// One bitmap is used by one thread at a time; the store itself is safe from any thread.
class BitmapStore : public HostService {
 public:
  uint64_t Add(std::unique_ptr<Image> image);
  Image* Find(uint64_t handle);
  // Puts `image` in place of the one behind `handle`.
  void Replace(uint64_t handle, std::unique_ptr<Image> image);
  bool Remove(uint64_t handle);
  size_t Live() const;

 private:
  mutable std::mutex mutex_;
  std::map<uint64_t, std::unique_ptr<Image>> images_;
  uint64_t next_ = 0x5250000000000001ull;
};

// The record's view of an image: geometry, sizes and the handle.
void Describe(Bitmap* bitmap, const Image& image, uint64_t handle);

// DIBs: reading a header and its rows, writing a packed DIB.
int32_t CheckDibHeader(const DibHeader& header, uint32_t* colorCount);
int32_t ImageFromDib(const DibHeader& header, const uint8_t* colorTable, const uint8_t* rows,
                     std::unique_ptr<Image>* out);
// The caller's DIB as ImageFromDib would check and read it, its rows left where they are: the
// view holds `rows` and `palette` (filled here) and is good while both are.
int32_t ViewDib(const DibHeader& header, const uint8_t* colorTable, const uint8_t* rows,
                std::vector<uint8_t>* palette, PixelView* view);
std::string PackedDib(const Image& image);  // header, colour table, rows
size_t PackedDibSize(const Image& image);
void WritePackedDib(const Image& image, uint8_t* out);  // PackedDibSize() bytes

// Resizing and cropping (OpenCV's imgproc).
int32_t ResizeImage(const PixelView& in, int32_t width, int32_t height, std::unique_ptr<Image>* out);
int32_t AutoCropImage(const Image& in, uint32_t tolerance, uint32_t margin,
                      std::unique_ptr<Image>* out);

// Files, by content; each decoder refuses what it cannot read with kRasterFileFormat.
int32_t DecodeImageFile(const std::string& bytes, std::unique_ptr<Image>* out);
int32_t DecodeBmp(const std::string& bytes, std::unique_ptr<Image>* out);
int32_t DecodePng(const std::string& bytes, std::unique_ptr<Image>* out);
int32_t DecodeTiff(const std::string& bytes, std::unique_ptr<Image>* out);
int32_t EncodeBmp(const Image& image, std::string* out);
int32_t EncodePng(const Image& image, std::string* out);
int32_t EncodeTiff(const Image& image, std::string* out);

}  // namespace platform::rastertk
