// Image files read and written a line at a time, so that a page never has to fit in memory:
// PNG (libpng), TIFF (libtiff) and binary PNM (P4, P5, P6).
#ifndef APPS_IMGFILT_RASTER_FILE_H_
#define APPS_IMGFILT_RASTER_FILE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

namespace imgfiltApp {

enum class PixelKind { kBilevel, kGray, kColor };

// Larger images are refused before anything is allocated for them.
constexpr uint32_t kMaxWidth = 1u << 17;
constexpr uint32_t kMaxHeight = 1u << 20;

struct RasterInfo {
  uint32_t width = 0;
  uint32_t height = 0;
  PixelKind kind = PixelKind::kGray;
  uint32_t dpi = 0;  // 0 when the file does not say

  // Bytes of one line: bilevel 1 bit per pixel (most significant first, 1 = light), gray 1 byte,
  // colour 3 bytes R, G, B.
  size_t RowBytes() const;
};

// A file that cannot be read or written, with the text to show the user.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class RasterReader {
 public:
  virtual ~RasterReader() = default;
  const RasterInfo& info() const { return info_; }
  // The next line, RowBytes() bytes; throws FileError on a damaged or truncated file.
  virtual void ReadRow(uint8_t* row) = 0;

 protected:
  RasterInfo info_;
};

class RasterWriter {
 public:
  virtual ~RasterWriter() = default;
  virtual void WriteRow(const uint8_t* row) = 0;
  // Completes the file; throws FileError when it cannot be written.
  virtual void Finish() = 0;
};

// Opens a PNG, TIFF or PNM file, recognised by its first bytes.
std::unique_ptr<RasterReader> OpenRaster(const std::string& path);

// Creates a file of the kind its name ends in (.png, .tif/.tiff, .pbm/.pgm/.ppm/.pnm).
std::unique_ptr<RasterWriter> CreateRaster(const std::string& path, const RasterInfo& info);

// The format of each, in raster_png.cc, raster_tiff.cc and raster_pnm.cc.
std::unique_ptr<RasterReader> OpenPng(const std::string& path);
std::unique_ptr<RasterReader> OpenTiff(const std::string& path);
std::unique_ptr<RasterReader> OpenPnm(const std::string& path);
std::unique_ptr<RasterWriter> CreatePng(const std::string& path, const RasterInfo& info);
std::unique_ptr<RasterWriter> CreateTiff(const std::string& path, const RasterInfo& info);
std::unique_ptr<RasterWriter> CreatePnm(const std::string& path, const RasterInfo& info);

// Refuses a size beyond the limits above with a FileError naming `path`.
void CheckSize(const std::string& path, uint64_t width, uint64_t height);

}  // namespace imgfiltApp

#endif  // APPS_IMGFILT_RASTER_FILE_H_
