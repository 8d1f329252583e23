// The image side of an emulated scanner: the window the host set, the geometry that follows from
// it, and the lines the sensor delivers for it.
//
// The sensor model, per pixel and channel (c = page value 0..255, s = element sensitivity, M =
// largest A/D level, W = white level the correction uses, T = the channel's gamma table):
//   level     = c * s * M / (255 * 255)
//   corrected = min(M, level * 255 / W)   with the host's white line (W = 0 taken as 1);
//             = c * M / 255               with the scanner's own shading (reflective scans
//                                         without host tables);
//             = level                     otherwise (the sensor's stripes show)
//   out       = T[corrected] when the window asks for tables and one was sent,
//               else corrected >> (bits - 8)
// Gray is the luminance of the page through the green elements; line art sets a bit (most
// significant first) where the gray output is below the threshold. Negative film inverts c.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "chart.h"
#include "scanner_model.h"

namespace emulator {

enum class Composition : uint8_t { kLineArt = 0, kGray = 2, kColor = 5 };

// The 54-byte SET WINDOW parameter data, decoded.
struct ScanWindow {
  uint16_t xRes = 0, yRes = 0;
  uint32_t left = 0, top = 0, width = 0, length = 0;  // in 1/optical-resolution inch
  uint8_t threshold = 0;
  Composition composition = Composition::kColor;
  uint8_t bitsPerPixel = 8;
  bool padToFour = false;
  uint8_t testMode = 0;
  uint8_t byte49 = 0, byte50 = 0;

  bool TablesWanted() const { return byte49 & 1; }
  bool HostTables() const { return byte50 & 0x40; }
  int Source() const;  // 0 reflective, 1 positive film, 2 negative film, 3 fourth source
  int Channels() const { return composition == Composition::kColor ? 3 : 1; }
};

// Why a window was refused: the sense to answer with.
struct WindowError {
  uint8_t asc, ascq;
};

// Parses and checks the parameter data against the model. On error, returns the sense.
std::optional<WindowError> ParseWindow(const uint8_t* data, uint32_t length,
                                       const ScannerModel& model, ScanWindow* out);

struct ScanGeometry {
  uint16_t pixelsPerLine = 0;
  uint16_t bytesPerLine = 0;
  uint16_t lines = 0;          // raw lines, colour alignment lines included
  int greenDelay = 0, blueDelay = 0;
  int lineSpan = 0;
};

ScanGeometry GeometryFor(const ScanWindow& window, const ScannerModel& model);

// Sensitivity of sensor element `element` (0 .. width-1 at the optical resolution) for a
// channel (0 red, 1 green, 2 blue): 216..255, or 255 everywhere on a flat sensor.
uint8_t Sensitivity(const ScannerModel& model, uint32_t element, int channel);
// One byte of the white reference the scanner returns for shading: sensitivity plus noise of
// at most 2 levels, differing by line.
uint8_t ShadingSample(const ScannerModel& model, int line, uint32_t element, int channel);

// Softens each colour plane of a raw line as an out-of-focus lens does: a box blur whose radius
// grows with the distance from the best focus (none at the best focus).
void Defocus(const ScanGeometry& geometry, int channels, uint32_t distance, uint8_t* line);

// The raw lines of one scan, made on demand. Rows of the page that look alike are made once.
class ScanImage {
 public:
  struct Settings {
    const ScannerModel* model;
    const Page* page;
    ScanWindow window;
    ScanGeometry geometry;
    const std::map<int, std::vector<uint8_t>>* gamma;  // by channel, used when wanted
    const std::vector<uint8_t>* hostWhite;             // channels x width, or null
  };
  explicit ScanImage(const Settings& settings);

  // Writes raw line `line` (bytesPerLine bytes) to `out`.
  void RawLine(uint32_t line, uint8_t* out);
  // What a host that aligns the colours should make of the raw lines: image line `line`
  // (bytesPerLine bytes, padding zero) with colour pixels interleaved red, green, blue (blue,
  // green, red with `bgr`), softened as a lens `defocus` from its best focus softens it.
  void ImageLine(uint32_t line, uint32_t defocus, bool bgr, uint8_t* out);

 private:
  const uint8_t* PlaneRow(int64_t imageLine, int channel);
  void MakeRow(int64_t imageLine, uint8_t* out);  // all channels of one image row
  void BuildTables();

  Settings s_;
  int channels_;
  uint32_t ppl_;
  // Output by page value: the distinct rows of 256 (few: a row depends on a pixel only through
  // its sensitivity and white level), and where each pixel's row starts, per channel.
  std::vector<uint8_t> rows256_;
  std::vector<size_t> rowOf_;
  std::vector<int64_t> chartX_;    // page x of each pixel centre
  std::unordered_map<int64_t, std::vector<uint8_t>> rows_;  // row key -> channels x ppl bytes
  std::vector<uint8_t> scratch_;
};

}  // namespace emulator
