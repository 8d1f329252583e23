#include "raster_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace imgfiltApp {

size_t RasterInfo::RowBytes() const {
  switch (kind) {
    case PixelKind::kBilevel: return (size_t{width} + 7) / 8;
    case PixelKind::kGray: return width;
    case PixelKind::kColor: return size_t{width} * 3;
  }
  return 0;
}

void CheckSize(const std::string& path, uint64_t width, uint64_t height) {
  if (width == 0 || height == 0) throw FileError(path + ": the image has no pixels");
  if (width > kMaxWidth || height > kMaxHeight) {
    throw FileError(path + ": the image is too large (" + std::to_string(width) + " x " + std::to_string(height) +
                    "; at most " + std::to_string(kMaxWidth) + " x " + std::to_string(kMaxHeight) + ")");
  }
}

std::unique_ptr<RasterReader> OpenRaster(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) throw FileError(path + ": cannot open: " + std::strerror(errno));
  unsigned char magic[8] = {};
  const size_t got = std::fread(magic, 1, sizeof magic, f);
  std::fclose(f);
  static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (got == 8 && std::memcmp(magic, kPng, 8) == 0) return OpenPng(path);
  if (got >= 4 && (std::memcmp(magic, "II*\0", 4) == 0 || std::memcmp(magic, "MM\0*", 4) == 0)) return OpenTiff(path);
  if (got >= 2 && magic[0] == 'P' && magic[1] >= '4' && magic[1] <= '6') return OpenPnm(path);
  throw FileError(path + ": not a PNG, TIFF or binary PNM file");
}

std::unique_ptr<RasterWriter> CreateRaster(const std::string& path, const RasterInfo& info) {
  std::string lower = path;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  auto ends = [&lower](const char* suffix) {
    const size_t n = std::strlen(suffix);
    return lower.size() >= n && lower.compare(lower.size() - n, n, suffix) == 0;
  };
  if (ends(".png")) return CreatePng(path, info);
  if (ends(".tif") || ends(".tiff")) return CreateTiff(path, info);
  if (ends(".pbm") || ends(".pgm") || ends(".ppm") || ends(".pnm")) return CreatePnm(path, info);
  throw FileError(path + ": the output name must end in .png, .tif, .tiff, .pbm, .pgm, .ppm or .pnm");
}

}  // namespace imgfiltApp
