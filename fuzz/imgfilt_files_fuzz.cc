// The PNG, TIFF and PNM readers of the imgfilt program on fuzzed files: a damaged file must end
// in a FileError, never in a crash or a read outside the row buffers. At most a few rows are
// read, so that a header claiming a huge image costs nothing.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "raster_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/imgfilt_files_fuzz_" + std::to_string(getpid());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  try {
    const auto reader = imgfiltApp::OpenRaster(path);
    std::vector<uint8_t> row(reader->info().RowBytes());
    for (uint32_t y = 0; y < reader->info().height && y < 64; ++y) reader->ReadRow(row.data());
  } catch (const imgfiltApp::FileError&) {
  }
  return 0;
}
