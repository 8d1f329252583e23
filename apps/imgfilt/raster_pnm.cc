// Binary PNM: P4 (bilevel, 1 = black), P5 (gray) and P6 (colour), 8 bits per sample.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "raster_file.h"

namespace imgfiltApp {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// P4 stores 1 for black; the library's bilevel lines store 1 for light.
void FlipBits(uint8_t* row, size_t n) {
  for (size_t i = 0; i < n; ++i) row[i] = static_cast<uint8_t>(~row[i]);
}

class PnmReader : public RasterReader {
 public:
  explicit PnmReader(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "rb")) {
    if (!file_) throw FileError(path + ": cannot open");
    std::fgetc(file_.get());  // 'P', checked by the caller
    const int type = std::fgetc(file_.get());
    const uint64_t width = Number(), height = Number();
    const uint64_t maxval = type == '4' ? 1 : Number();
    if (maxval != 1 && maxval != 255) throw FileError(path + ": only 8-bit PNM samples (maximum 255) are read");
    CheckSize(path, width, height);
    std::fgetc(file_.get());  // the single white-space byte before the samples
    info_.width = static_cast<uint32_t>(width);
    info_.height = static_cast<uint32_t>(height);
    info_.kind = type == '4' ? PixelKind::kBilevel : type == '5' ? PixelKind::kGray : PixelKind::kColor;
  }

  void ReadRow(uint8_t* row) override {
    const size_t n = info_.RowBytes();
    if (std::fread(row, 1, n, file_.get()) != n) throw FileError(path_ + ": the file is truncated");
    if (info_.kind == PixelKind::kBilevel) FlipBits(row, n);
  }

 private:
  // A decimal header field after white space and comments.
  uint64_t Number() {
    int c = std::fgetc(file_.get());
    while (c == '#' || std::isspace(c)) {
      if (c == '#') {
        while (c != '\n' && c != EOF) c = std::fgetc(file_.get());
      }
      c = std::fgetc(file_.get());
    }
    if (!std::isdigit(c)) throw FileError(path_ + ": damaged PNM header");
    uint64_t v = 0;
    for (; std::isdigit(c); c = std::fgetc(file_.get())) {
      v = v * 10 + static_cast<uint64_t>(c - '0');
      if (v > (uint64_t{1} << 40)) throw FileError(path_ + ": damaged PNM header (a size is out of range)");
    }
    std::ungetc(c, file_.get());
    return v;
  }

  std::string path_;
  File file_;
};

class PnmWriter : public RasterWriter {
 public:
  PnmWriter(const std::string& path, const RasterInfo& info) : path_(path), info_(info), file_(std::fopen(path.c_str(), "wb")) {
    if (!file_) throw FileError(path + ": cannot create");
    const char type = info.kind == PixelKind::kBilevel ? '4' : info.kind == PixelKind::kGray ? '5' : '6';
    std::fprintf(file_.get(), "P%c\n%u %u\n%s", type, info.width, info.height, type == '4' ? "" : "255\n");
    row_.resize(info.RowBytes());
  }

  void WriteRow(const uint8_t* row) override {
    std::memcpy(row_.data(), row, row_.size());
    if (info_.kind == PixelKind::kBilevel) FlipBits(row_.data(), row_.size());
    if (std::fwrite(row_.data(), 1, row_.size(), file_.get()) != row_.size()) throw FileError(path_ + ": write failed");
  }

  void Finish() override {
    if (std::fclose(file_.release()) != 0) throw FileError(path_ + ": write failed");
  }

 private:
  std::string path_;
  RasterInfo info_;
  File file_;
  std::vector<uint8_t> row_;
};

}  // namespace

std::unique_ptr<RasterReader> OpenPnm(const std::string& path) { return std::make_unique<PnmReader>(path); }

std::unique_ptr<RasterWriter> CreatePnm(const std::string& path, const RasterInfo& info) {
  return std::make_unique<PnmWriter>(path, info);
}

}  // namespace imgfiltApp
