// PNG through libpng, one row at a time. libpng reports errors by a long jump: every function
// that calls it sets the jump point first and turns the jump into a FileError, and creates no
// object with a destructor after that point.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "raster_file.h"

namespace imgfiltApp {
namespace {

class PngFile {
 protected:
  explicit PngFile(const std::string& path) : path_(path) {}

  static void OnError(png_structp png, png_const_charp message) {
    auto* self = static_cast<PngFile*>(png_get_error_ptr(png));
    std::snprintf(self->message_, sizeof self->message_, "%s", message);
    png_longjmp(png, 1);
  }
  static void OnWarning(png_structp, png_const_charp) {}

  [[noreturn]] void Fail() const { throw FileError(path_ + ": " + message_); }

  std::string path_;
  char message_[200] = "damaged PNG file";
  std::FILE* file_ = nullptr;
  png_structp png_ = nullptr;
  png_infop infoPtr_ = nullptr;
};

class PngReader : public RasterReader, PngFile {
 public:
  explicit PngReader(const std::string& path) : PngFile(path) {
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) throw FileError(path + ": cannot open");
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, static_cast<PngFile*>(this), OnError, OnWarning);
    if (png_ != nullptr) infoPtr_ = png_create_info_struct(png_);
    if (infoPtr_ == nullptr) {
      Close();
      throw FileError(path + ": out of memory");
    }
    if (!ReadHeader()) {
      Close();
      Fail();
    }
  }
  ~PngReader() override { Close(); }

  void ReadRow(uint8_t* row) override {
    if (setjmp(png_jmpbuf(png_))) Fail();
    png_read_row(png_, row, nullptr);
  }

 private:
  bool ReadHeader() {
    if (setjmp(png_jmpbuf(png_))) return false;
    png_set_user_limits(png_, kMaxWidth, kMaxHeight);
    png_set_chunk_malloc_max(png_, 8u << 20);
    png_init_io(png_, file_);
    png_read_info(png_, infoPtr_);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png_, infoPtr_, &width, &height, &depth, &colour, &interlace, nullptr, nullptr);
    if (interlace != PNG_INTERLACE_NONE) {
      std::snprintf(message_, sizeof message_, "interlaced PNG files are not read (they need the whole image at once)");
      return false;
    }
    info_.width = width;
    info_.height = height;
    const bool gray = (colour & PNG_COLOR_MASK_COLOR) == 0;
    info_.kind = gray && depth == 1 && colour == PNG_COLOR_TYPE_GRAY ? PixelKind::kBilevel
                 : gray                                               ? PixelKind::kGray
                                                                      : PixelKind::kColor;
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png_);
    if (info_.kind == PixelKind::kGray && depth < 8) png_set_expand_gray_1_2_4_to_8(png_);
    if (depth == 16) png_set_strip_16(png_);
    png_set_strip_alpha(png_);
    png_uint_32 res_x = 0, res_y = 0;
    int unit = 0;
    if (png_get_pHYs(png_, infoPtr_, &res_x, &res_y, &unit) != 0 && unit == PNG_RESOLUTION_METER) {
      info_.dpi = static_cast<uint32_t>(res_x * 0.0254 + 0.5);
    }
    png_read_update_info(png_, infoPtr_);
    if (png_get_rowbytes(png_, infoPtr_) != info_.RowBytes()) {
      std::snprintf(message_, sizeof message_, "unexpected PNG row layout");
      return false;
    }
    return true;
  }

  void Close() {
    if (png_ != nullptr) png_destroy_read_struct(&png_, infoPtr_ != nullptr ? &infoPtr_ : nullptr, nullptr);
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
  }
};

class PngWriter : public RasterWriter, PngFile {
 public:
  PngWriter(const std::string& path, const RasterInfo& info) : PngFile(path) {
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) throw FileError(path + ": cannot create");
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, static_cast<PngFile*>(this), OnError, OnWarning);
    if (png_ != nullptr) infoPtr_ = png_create_info_struct(png_);
    if (infoPtr_ == nullptr || !WriteHeader(info)) {
      Close();
      Fail();
    }
  }
  ~PngWriter() override { Close(); }

  void WriteRow(const uint8_t* row) override {
    if (setjmp(png_jmpbuf(png_))) Fail();
    png_write_row(png_, row);
  }

  void Finish() override {
    if (setjmp(png_jmpbuf(png_))) Fail();
    png_write_end(png_, nullptr);
    Close();
  }

 private:
  bool WriteHeader(const RasterInfo& info) {
    if (setjmp(png_jmpbuf(png_))) return false;
    png_init_io(png_, file_);
    const int depth = info.kind == PixelKind::kBilevel ? 1 : 8;
    const int colour = info.kind == PixelKind::kColor ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
    png_set_IHDR(png_, infoPtr_, info.width, info.height, depth, colour, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (info.dpi != 0) {
      const auto perMetre = static_cast<png_uint_32>(info.dpi / 0.0254 + 0.5);
      png_set_pHYs(png_, infoPtr_, perMetre, perMetre, PNG_RESOLUTION_METER);
    }
    png_write_info(png_, infoPtr_);
    return true;
  }

  void Close() {
    if (png_ != nullptr) png_destroy_write_struct(&png_, infoPtr_ != nullptr ? &infoPtr_ : nullptr);
    if (file_ != nullptr && std::fclose(file_) != 0) std::snprintf(message_, sizeof message_, "write failed");
    file_ = nullptr;
  }
};

}  // namespace

std::unique_ptr<RasterReader> OpenPng(const std::string& path) { return std::make_unique<PngReader>(path); }

std::unique_ptr<RasterWriter> CreatePng(const std::string& path, const RasterInfo& info) {
  return std::make_unique<PngWriter>(path, info);
}

}  // namespace imgfiltApp
