// Writers of the scanned image, fed band by band as the lines arrive: PNM (P4, P5, P6), PNG
// (libpng) and TIFF (libtiff). Line art arrives with 1 meaning black, most significant bit first.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

enum class ImageKind { kLineArt, kGray, kColor };
enum class FileFormat { kPnm, kPng, kTiff };

struct ImageShape {
  ImageKind kind = ImageKind::kColor;
  uint32_t width = 0;       // pixels
  uint32_t height = 0;      // lines
  uint32_t resolution = 0;  // dpi, both ways
};

class ImageWriter {
 public:
  virtual ~ImageWriter() = default;
  // `lines` lines of the image's own width (no padding), in order.
  virtual bool WriteLines(const uint8_t* lines, uint32_t count) = 0;
  // Completes the file; false when anything could not be written.
  virtual bool Finish() = 0;
};

// A writer onto `file`, which stays the caller's; null when the format cannot start.
std::unique_ptr<ImageWriter> MakeWriter(FileFormat format, const ImageShape& shape, FILE* file);
// Bytes of one line as the writers take it.
uint32_t LineBytes(const ImageShape& shape);
const char* Extension(FileFormat format);
