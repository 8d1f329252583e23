// TIFF through libtiff, one scanline at a time: strips of 1-bit or 8-bit gray and 8-bit RGB.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "raster_file.h"

namespace imgfiltApp {
namespace {

// libtiff's last error text, for the message the user sees.
thread_local char gTiffError[256] = "";

void OnTiffError(const char*, const char* format, va_list args) { std::vsnprintf(gTiffError, sizeof gTiffError, format, args); }

struct TiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};

std::unique_ptr<TIFF, TiffCloser> Open(const std::string& path, const char* mode) {
  TIFFSetErrorHandler(OnTiffError);
  TIFFSetWarningHandler(nullptr);
  gTiffError[0] = '\0';
  std::unique_ptr<TIFF, TiffCloser> t(TIFFOpen(path.c_str(), mode));
  if (!t) throw FileError(path + ": " + (gTiffError[0] != '\0' ? gTiffError : "cannot open TIFF file"));
  return t;
}

class TiffReader : public RasterReader {
 public:
  explicit TiffReader(const std::string& path) : path_(path), tiff_(Open(path, "r")) {
    uint32_t width = 0, height = 0;
    uint16_t bits = 1, samples = 1, planar = PLANARCONFIG_CONTIG, photometric = PHOTOMETRIC_MINISBLACK;
    TIFFGetField(tiff_.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff_.get(), TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tiff_.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff_.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff_.get(), TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(tiff_.get(), TIFFTAG_PHOTOMETRIC, &photometric);
    CheckSize(path, width, height);
    const bool gray = samples == 1 && (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE);
    const bool rgb = samples == 3 && photometric == PHOTOMETRIC_RGB && planar == PLANARCONFIG_CONTIG && bits == 8;
    if (TIFFIsTiled(tiff_.get()) || !(rgb || (gray && (bits == 1 || bits == 8)))) {
      throw FileError(path + ": only stripped 1-bit or 8-bit gray and 8-bit RGB TIFF files are read");
    }
    info_.width = width;
    info_.height = height;
    info_.kind = rgb ? PixelKind::kColor : bits == 1 ? PixelKind::kBilevel : PixelKind::kGray;
    flip_ = photometric == PHOTOMETRIC_MINISWHITE;
    float res = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tiff_.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
    if (TIFFGetField(tiff_.get(), TIFFTAG_XRESOLUTION, &res) && res > 0 && res < 100000) {
      info_.dpi = static_cast<uint32_t>(unit == RESUNIT_CENTIMETER ? res * 2.54f + 0.5f : res + 0.5f);
    }
    const tmsize_t line = TIFFScanlineSize(tiff_.get());
    if (line <= 0 || static_cast<size_t>(line) < info_.RowBytes()) throw FileError(path + ": damaged TIFF file");
    scanline_.resize(static_cast<size_t>(line));
  }

  void ReadRow(uint8_t* row) override {
    if (TIFFReadScanline(tiff_.get(), scanline_.data(), next_++, 0) < 0) {
      throw FileError(path_ + ": " + (gTiffError[0] != '\0' ? gTiffError : "damaged TIFF file"));
    }
    for (size_t i = 0; i < info_.RowBytes(); ++i) row[i] = flip_ ? static_cast<uint8_t>(~scanline_[i]) : scanline_[i];
  }

 private:
  std::string path_;
  std::unique_ptr<TIFF, TiffCloser> tiff_;
  std::vector<uint8_t> scanline_;
  uint32_t next_ = 0;
  bool flip_ = false;  // 0 means white in the file
};

class TiffWriter : public RasterWriter {
 public:
  TiffWriter(const std::string& path, const RasterInfo& info) : path_(path), tiff_(Open(path, "w")) {
    TIFF* t = tiff_.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, info.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, info.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, info.kind == PixelKind::kBilevel ? 1 : 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, info.kind == PixelKind::kColor ? 3 : 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, info.kind == PixelKind::kColor ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
    if (info.dpi != 0) {
      TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<float>(info.dpi));
      TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<float>(info.dpi));
      TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    }
    row_.resize(info.RowBytes());
  }

  void WriteRow(const uint8_t* row) override {
    std::copy_n(row, row_.size(), row_.data());  // libtiff may encode in place
    if (TIFFWriteScanline(tiff_.get(), row_.data(), next_++, 0) < 0) throw FileError(path_ + ": write failed");
  }

  void Finish() override {
    if (!TIFFFlush(tiff_.get())) throw FileError(path_ + ": write failed");
    tiff_.reset();
  }

 private:
  std::string path_;
  std::unique_ptr<TIFF, TiffCloser> tiff_;
  std::vector<uint8_t> row_;
  uint32_t next_ = 0;
};

}  // namespace

std::unique_ptr<RasterReader> OpenTiff(const std::string& path) { return std::make_unique<TiffReader>(path); }

std::unique_ptr<RasterWriter> CreateTiff(const std::string& path, const RasterInfo& info) {
  return std::make_unique<TiffWriter>(path, info);
}

}  // namespace imgfiltApp
