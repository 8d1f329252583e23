// imgfilt: runs the image library's banded chain over an image file, a band at a time, as a
// scanning front end does while the scanner reads; prints screen detection on request.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "imgfilt.h"
#include "options.h"
#include "raster_file.h"

namespace imgfiltApp {
namespace {

constexpr uint32_t kDefaultDpi = 300;
constexpr uint32_t kAnalysisSide = 2048;  // screen detection looks at the top-left of the page

uint32_t Aligned4(size_t bytes) { return static_cast<uint32_t>((bytes + 3) & ~size_t{3}); }

uint8_t ImageType(PixelKind kind) {
  return kind == PixelKind::kBilevel ? IMGFILT_TYPE_BILEVEL : kind == PixelKind::kGray ? IMGFILT_TYPE_GRAY : IMGFILT_TYPE_COLOR;
}

// The operations that make sense for the input; a mistake is reported before any work.
void CheckOperations(const Options& o, PixelKind kind) {
  const uint16_t bilevelOps = IMGFILT_OP_THRESHOLD | IMGFILT_OP_HALFTONE;
  if (kind == PixelKind::kBilevel && (o.operations & ~(IMGFILT_OP_INVERT | IMGFILT_OP_MIRROR)) != 0) {
    throw FileError(o.input + ": a bilevel image takes only --invert and --mirror");
  }
  if (kind == PixelKind::kColor && (o.operations & bilevelOps) != 0) {
    throw FileError(o.input + ": --threshold and --halftone need a gray image");
  }
}

// Copies without processing when no operation is asked for.
void Copy(RasterReader& in, RasterWriter& out) {
  std::vector<uint8_t> row(in.info().RowBytes());
  for (uint32_t y = 0; y < in.info().height; ++y) {
    in.ReadRow(row.data());
    out.WriteRow(row.data());
  }
}

class ChainRun {
 public:
  ChainRun(const Options& o, RasterReader& in) : o_(o), in_(in), info_(in.info()) {
    const bool scales = (o.operations & IMGFILT_OP_SCALING) != 0;
    extra_ = GetExtraLineNum(o.operations);
    p_ = o.settings;
    p_.lineBytes = Aligned4(info_.RowBytes());
    p_.width = info_.width;
    p_.totalLines = info_.height + extra_;  // the extra lines repeat the image's last line
    p_.targetWidth = scales ? o.resizeWidth : info_.width;
    p_.targetHeight = scales ? o.resizeHeight : info_.height;
    p_.imageType = ImageType(info_.kind);
    p_.orientation = 0;
    p_.operations = o.operations;
    const uint32_t dpi = o.dpi != 0 ? o.dpi : info_.dpi != 0 ? info_.dpi : kDefaultDpi;
    p_.xResolution = p_.yResolution = static_cast<uint16_t>(std::min<uint32_t>(dpi, 65535));
    out_.width = p_.targetWidth;
    out_.height = p_.targetHeight;
    out_.kind = (o.operations & (IMGFILT_OP_THRESHOLD | IMGFILT_OP_HALFTONE)) ? PixelKind::kBilevel : info_.kind;
    out_.dpi = scales && info_.dpi != 0 ? static_cast<uint32_t>(uint64_t{info_.dpi} * p_.targetWidth / info_.width) : info_.dpi;
  }

  const RasterInfo& outputInfo() const { return out_; }

  // Feeds every band through the chain and writes what comes out.
  void Run(RasterWriter& writer) {
    const uint32_t firstBand = std::max(o_.band, extra_ + 1);  // a first band must outlast the filters
    const size_t bpp = info_.kind == PixelKind::kColor ? 3 : 1;
    const size_t outStride = std::max<size_t>(p_.lineBytes, Aligned4(size_t{p_.targetWidth} * bpp));
    const uint64_t outLines = uint64_t{p_.targetHeight} * firstBand / info_.height + 2 + firstBand;
    std::vector<uint8_t> band(size_t{firstBand} * p_.lineBytes), dest(outLines * outStride);
    std::vector<uint8_t> last(p_.lineBytes);
    // The chain lowers the record's total by the lines it consumes; the file still delivers all.
    const uint32_t total = p_.totalLines;
    uint32_t delivered = 0, written = 0;
    for (bool first = true;; first = false) {
      const uint32_t n = std::min(first ? firstBand : o_.band, total - delivered);
      for (uint32_t i = 0; i < n; ++i, ++delivered) {
        uint8_t* row = &band[size_t{i} * p_.lineBytes];
        if (delivered < info_.height) {
          in_.ReadRow(row);
          std::memcpy(last.data(), row, last.size());
        } else {
          std::memcpy(row, last.data(), last.size());
        }
      }
      p_.lines = n;
      p_.bandState = first ? IMGFILT_BAND_FIRST : IMGFILT_BAND_MIDDLE;
      const uint32_t code = DoImgfiltess(band.data(), dest.data(), &p_);
      if (code != IMGFILT_CHAIN_DONE) throw FileError("the chain refused a band (code " + std::to_string(code) + ")");
      for (uint32_t y = 0; y < p_.outLines && written < out_.height; ++y, ++written) {
        writer.WriteRow(&dest[size_t{y} * p_.outLineBytes]);
      }
      if (p_.bandState == IMGFILT_BAND_LAST || p_.bandState == IMGFILT_BAND_ONLY) break;
    }
    if (written != out_.height) throw FileError("the chain gave " + std::to_string(written) + " lines instead of " + std::to_string(out_.height));
  }

 private:
  const Options& o_;
  RasterReader& in_;
  RasterInfo info_;
  RasterInfo out_;
  ProcessParam p_{};
  uint32_t extra_ = 0;
};

void Process(const Options& o) {
  const std::unique_ptr<RasterReader> in = OpenRaster(o.input);
  CheckOperations(o, in->info().kind);
  if (o.operations == 0) {
    const std::unique_ptr<RasterWriter> out = CreateRaster(o.output, in->info());
    Copy(*in, *out);
    out->Finish();
    return;
  }
  ChainRun run(o, *in);
  const std::unique_ptr<RasterWriter> out = CreateRaster(o.output, run.outputInfo());
  run.Run(*out);
  out->Finish();
}

// Screen ruling of the top-left of the page: a block found by AutoDescreenColor, measured by
// DetectLpiColor. Gray pages are measured as colour with three equal channels.
void DetectLpi(const std::string& path) {
  const std::unique_ptr<RasterReader> in = OpenRaster(path);
  const RasterInfo& info = in->info();
  if (info.kind == PixelKind::kBilevel) throw FileError(path + ": --detect-lpi needs a gray or colour image");
  const uint32_t lines = std::min(info.height, kAnalysisSide), width = std::min(info.width, kAnalysisSide);
  const uint32_t lineBytes = Aligned4(size_t{width} * 3);
  std::vector<uint8_t> image(size_t{lineBytes} * lines), row(info.RowBytes());
  for (uint32_t y = 0; y < lines; ++y) {
    in->ReadRow(row.data());
    uint8_t* out = &image[size_t{y} * lineBytes];
    for (uint32_t x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) out[3 * x + c] = info.kind == PixelKind::kColor ? row[3 * x + c] : row[x];
    }
  }
  ImageRect block{};
  AutoDescreenColor(image.data(), lineBytes, width, lines, &block, nullptr);
  if (block.right > static_cast<int32_t>(width) || block.bottom > static_cast<int32_t>(lines)) {
    std::printf("screen ruling: no flat textured 128 x 128 block to measure on\n");
    return;
  }
  uint8_t ruling = 0;
  DetectLpiColor(image.data(), lineBytes, width, lines, &ruling, &block);
  if (ruling == 0) {
    std::printf("screen ruling: none (block at %d,%d)\n", block.left, block.top);
  } else {
    std::printf("screen ruling: %u lpi (block at %d,%d)\n", ruling, block.left, block.top);
  }
}

// Turns the whole image by `degrees` (bilinear, white where nothing of the source lands) and
// writes it. The turned page is held whole: a rotation needs every source line for any output
// line.
void Rotate(const Options& o) {
  const std::unique_ptr<RasterReader> in = OpenRaster(o.input);
  const RasterInfo& info = in->info();
  if (info.kind == PixelKind::kBilevel) throw FileError(o.input + ": --rotate needs a gray or colour image");
  const bool colour = info.kind == PixelKind::kColor;
  const uint32_t lineBytes = Aligned4(info.RowBytes());
  uint32_t width = 0, height = 0;
  if (GetRotateSize(info.width, info.height, &width, &height, *o.rotate) != 0) {
    throw FileError("the turned image would be too large");
  }
  RasterInfo outInfo = info;
  outInfo.width = width;
  outInfo.height = height;
  const uint32_t outBytes = Aligned4(outInfo.RowBytes());
  std::vector<uint8_t> source(size_t{lineBytes} * info.height), turned(size_t{outBytes} * height);
  std::vector<uint8_t> lineBuffer(lineBytes);
  for (uint32_t y = 0; y < info.height; ++y) in->ReadRow(&source[size_t{y} * lineBytes]);
  const auto rotate = colour ? RotationColor : RotationGray;
  const uint8_t code = rotate(source.data(), turned.data(), lineBytes, info.width, info.height,
                              info.height, outBytes, *o.rotate, 0, 3, lineBuffer.data());
  if (code != 0) throw FileError("rotation failed with code " + std::to_string(code));
  const std::unique_ptr<RasterWriter> out = CreateRaster(o.output, outInfo);
  for (uint32_t y = 0; y < height; ++y) out->WriteRow(&turned[size_t{y} * outBytes]);
  out->Finish();
}

// Line art, gray photograph or colour document, from the whole page read as colour (every
// step-th pixel of every step-th line, so that a large page needs no more than 2048 x 2048).
void AutoType(const std::string& path) {
  const std::unique_ptr<RasterReader> in = OpenRaster(path);
  const RasterInfo& info = in->info();
  if (info.kind == PixelKind::kBilevel) {
    std::printf("scan type: line art (a bilevel image)\n");
    return;
  }
  const uint32_t step = std::max<uint32_t>(1, (std::max(info.width, info.height) + kAnalysisSide - 1) / kAnalysisSide);
  const uint32_t width = (info.width + step - 1) / step, lines = (info.height + step - 1) / step;
  const uint32_t lineBytes = Aligned4(size_t{width} * 3);
  std::vector<uint8_t> image(size_t{lineBytes} * lines), row(info.RowBytes());
  for (uint32_t y = 0; y < info.height; ++y) {
    in->ReadRow(row.data());
    if (y % step != 0) continue;
    uint8_t* out = &image[size_t{y / step} * lineBytes];
    for (uint32_t x = 0; x < width; ++x) {
      const size_t at = size_t{x} * step;
      for (int c = 0; c < 3; ++c) out[3 * x + c] = info.kind == PixelKind::kColor ? row[3 * at + c] : row[at];
    }
  }
  const uint8_t type = AutoTypeColor(image.data(), lineBytes, width, lines, nullptr);
  static const char* const kNames[] = {"line art", "gray photograph", "colour document"};
  std::printf("scan type: %s\n", type <= 2 ? kNames[type] : "unknown");
}

int Main(const std::vector<std::string>& args) {
  std::string error;
  const std::optional<Options> o = ParseOptions(args, error);
  if (!o) {
    std::fprintf(stderr, "imgfilt: %s\n%s", error.c_str(), kUsage);
    return 1;
  }
  // A rotation runs on its own: the chain streams the page band by band, a turn needs it whole.
  if (o->rotate && o->operations != 0) {
    std::fprintf(stderr, "imgfilt: --rotate runs on its own, without the chain's operations\n");
    return 1;
  }
  try {
    if (o->detectLpi) DetectLpi(o->input);
    if (o->autoType) AutoType(o->input);
    if (o->rotate && !o->output.empty()) Rotate(*o);
    else if (!o->output.empty()) Process(*o);
  } catch (const FileError& e) {
    std::fprintf(stderr, "imgfilt: %s\n", e.what());
    return 2;
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "imgfilt: out of memory\n");
    return 3;
  }
  return 0;
}

}  // namespace
}  // namespace imgfiltApp

int main(int argc, char** argv) { return imgfiltApp::Main(std::vector<std::string>(argv + 1, argv + argc)); }
