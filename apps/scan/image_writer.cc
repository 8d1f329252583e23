#include "image_writer.h"

#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <vector>

namespace {

class PnmWriter final : public ImageWriter {
 public:
  PnmWriter(const ImageShape& shape, FILE* file) : shape_(shape), file_(file) {
    const char* magic = shape.kind == ImageKind::kLineArt ? "P4"
                        : shape.kind == ImageKind::kGray  ? "P5"
                                                          : "P6";
    std::fprintf(file_, "%s\n# %u dpi\n%u %u\n", magic, shape.resolution, shape.width, shape.height);
    if (shape.kind != ImageKind::kLineArt) std::fprintf(file_, "255\n");
  }
  bool WriteLines(const uint8_t* lines, uint32_t count) override {
    const size_t bytes = size_t{LineBytes(shape_)} * count;
    return std::fwrite(lines, 1, bytes, file_) == bytes;
  }
  bool Finish() override { return std::fflush(file_) == 0 && !std::ferror(file_); }

 private:
  ImageShape shape_;
  FILE* file_;
};

class PngWriter final : public ImageWriter {
 public:
  PngWriter(const ImageShape& shape, FILE* file) : shape_(shape) {
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png_) info_ = png_create_info_struct(png_);
    if (!info_) return;
    if (setjmp(png_jmpbuf(png_))) {
      failed_ = true;
      return;
    }
    png_init_io(png_, file);
    const int depth = shape.kind == ImageKind::kLineArt ? 1 : 8;
    const int type = shape.kind == ImageKind::kColor ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
    png_set_IHDR(png_, info_, shape.width, shape.height, depth, type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    const auto perMetre = static_cast<png_uint_32>(std::lround(shape.resolution / 0.0254));
    png_set_pHYs(png_, info_, perMetre, perMetre, PNG_RESOLUTION_METER);
    png_write_info(png_, info_);
    // PNG's 1-bit gray has 0 for black; the scanner's line art has 1.
    if (shape.kind == ImageKind::kLineArt) png_set_invert_mono(png_);
    ready_ = true;
  }
  ~PngWriter() override { png_destroy_write_struct(&png_, &info_); }

  bool WriteLines(const uint8_t* lines, uint32_t count) override {
    if (!ready_ || failed_) return false;
    if (setjmp(png_jmpbuf(png_))) return !(failed_ = true);
    const uint32_t bytes = LineBytes(shape_);
    for (uint32_t i = 0; i < count; ++i) {
      png_write_row(png_, const_cast<png_bytep>(lines + size_t{i} * bytes));
    }
    return true;
  }
  bool Finish() override {
    if (!ready_ || failed_) return false;
    if (setjmp(png_jmpbuf(png_))) return false;
    png_write_end(png_, nullptr);
    return true;
  }
  bool ready() const { return ready_ && !failed_; }

 private:
  ImageShape shape_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  bool ready_ = false;
  bool failed_ = false;
};

class TiffWriter final : public ImageWriter {
 public:
  TiffWriter(const ImageShape& shape, FILE* file) : shape_(shape) {
    // libtiff writes through its own descriptor; the caller's stream is flushed first.
    std::fflush(file);
    tiff_ = TIFFFdOpen(fileno(file), "scan", "w");
    if (!tiff_) return;
    const int bits = shape.kind == ImageKind::kLineArt ? 1 : 8;
    const int samples = shape.kind == ImageKind::kColor ? 3 : 1;
    TIFFSetField(tiff_, TIFFTAG_IMAGEWIDTH, shape.width);
    TIFFSetField(tiff_, TIFFTAG_IMAGELENGTH, shape.height);
    TIFFSetField(tiff_, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tiff_, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tiff_, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff_, TIFFTAG_PHOTOMETRIC,
                 shape.kind == ImageKind::kColor    ? PHOTOMETRIC_RGB
                 : shape.kind == ImageKind::kGray   ? PHOTOMETRIC_MINISBLACK
                                                    : PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tiff_, TIFFTAG_COMPRESSION,
                 shape.kind == ImageKind::kLineArt ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW);
    if (shape.kind != ImageKind::kLineArt) TIFFSetField(tiff_, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tiff_, TIFFTAG_XRESOLUTION, static_cast<float>(shape.resolution));
    TIFFSetField(tiff_, TIFFTAG_YRESOLUTION, static_cast<float>(shape.resolution));
    TIFFSetField(tiff_, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tiff_, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff_, 0));
    row_.resize(LineBytes(shape));
  }
  ~TiffWriter() override {
    if (tiff_) TIFFCleanup(tiff_);
  }

  bool WriteLines(const uint8_t* lines, uint32_t count) override {
    if (!tiff_) return false;
    const uint32_t bytes = LineBytes(shape_);
    for (uint32_t i = 0; i < count; ++i, ++line_) {
      // TIFFWriteScanline may change the buffer it is given (encoders work in place).
      std::copy_n(lines + size_t{i} * bytes, bytes, row_.begin());
      if (TIFFWriteScanline(tiff_, row_.data(), line_, 0) < 0) return false;
    }
    return true;
  }
  bool Finish() override {
    if (!tiff_) return false;
    const bool ok = TIFFFlush(tiff_) == 1;
    TIFFCleanup(tiff_);  // leaves the descriptor to its stream
    tiff_ = nullptr;
    return ok;
  }

 private:
  ImageShape shape_;
  TIFF* tiff_ = nullptr;
  uint32_t line_ = 0;
  std::vector<uint8_t> row_;
};

}  // namespace

uint32_t LineBytes(const ImageShape& shape) {
  switch (shape.kind) {
    case ImageKind::kLineArt: return (shape.width + 7) / 8;
    case ImageKind::kGray: return shape.width;
    default: return 3 * shape.width;
  }
}

const char* Extension(FileFormat format) {
  switch (format) {
    case FileFormat::kPng: return "png";
    case FileFormat::kTiff: return "tif";
    default: return "pnm";
  }
}

std::unique_ptr<ImageWriter> MakeWriter(FileFormat format, const ImageShape& shape, FILE* file) {
  switch (format) {
    case FileFormat::kPnm: return std::make_unique<PnmWriter>(shape, file);
    case FileFormat::kPng: {
      auto png = std::make_unique<PngWriter>(shape, file);
      if (!png->ready()) return nullptr;
      return png;
    }
    case FileFormat::kTiff: return std::make_unique<TiffWriter>(shape, file);
  }
  return nullptr;
}
