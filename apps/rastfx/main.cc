// rastfx descreen SIGMA IN OUT   blurs a halftone screen away (8-bit grey, 24- or 32-bit colour)
// rastfx resize WxH IN OUT       resizes (area averaging down, bilinear up)
// rastfx crop [TOLERANCE [MARGIN]] IN OUT
//                                crops to what differs from the top-left pixel by more than
//                                TOLERANCE (default 16) in a channel, keeping MARGIN pixels
// Files are BMP, PNG or TIFF, read by content; OUT's extension (.bmp, .png, .tif, .tiff) chooses
// the format written, any other keeps IN's. Paths with a drive letter are on the host's drives;
// others are paths of this machine.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/host/host.h"
#include "platform/memory/memory.h"
#include "platform/modules/modules.h"
#include "rastfx/rastfx.h"

namespace {

namespace rt = platform::rastertk;

bool IsWindowsPath(const std::string& s) { return (s.size() >= 2 && s[1] == ':') || s.starts_with("\\"); }

std::string HostArgument(const std::string& s) {
  return IsWindowsPath(s) ? s : std::filesystem::absolute(s).lexically_normal().string();
}

int32_t FormatFor(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (ext == ".bmp") return rt::kFormatBmp;
  if (ext == ".png") return rt::kFormatPng;
  if (ext == ".tif" || ext == ".tiff") return rt::kFormatTiff;
  return rt::kFormatAsLoaded;
}

const char* Describe(int32_t code) {
  switch (code) {
    case rt::kRasterNoMemory: return "not enough memory";
    case rt::kRasterInvalidParameter: return "invalid size or argument";
    case rt::kRasterBadHeader: case rt::kRasterBadBitCount: case rt::kRasterCompressed:
    case rt::kRasterBadImageSize: return "an image layout the toolkit does not take";
    case rt::kRasterTooLarge: return "the image is too large";
    case rt::kRasterNoRoom: return "the result does not fit";
    case rt::kRasterFileNotFound: return "file not found";
    case rt::kRasterFileRead: return "the file cannot be read";
    case rt::kRasterFileFormat: return "not a BMP, PNG or TIFF file that can be read";
    case rt::kRasterFileWrite: return "the file cannot be written";
    case rt::kRasterBadFormatCode: return "that format cannot hold this image";
    case rt::kRasterNothingToCrop: return "nothing but background: nothing to crop";
  }
  return "the toolkit failed";
}

struct Failure {
  int32_t code;
};

void Check(int32_t code) {
  if (code != rt::kRasterSuccess) throw Failure{code};
}

// The toolkit's operations, from its modules in the current host.
class Toolkit {
 public:
  Toolkit() : modules_(platform::Host::Current().modules()) {
    rt::Install(platform::Host::Current());
    kernel_ = modules_.LoadLibrary(rt::kKernelModule);
    image_ = modules_.LoadLibrary(rt::kImageModule);
    file_ = modules_.LoadLibrary(rt::kFileModule);
  }
  ~Toolkit() {
    for (auto m : {kernel_, image_, file_}) modules_.FreeLibrary(m);
  }
  template <class Fn>
  Fn Get(platform::ModuleHandle module, uint16_t ordinal) const {
    auto f = reinterpret_cast<Fn>(modules_.GetProcAddress(module, platform::OrdinalName(ordinal)));
    if (!f) throw Failure{rt::kRasterFailure};
    return f;
  }
  platform::Modules& modules_;
  platform::ModuleHandle kernel_, image_, file_;
};

// A bitmap read from a file, released at the end.
class Picture {
 public:
  Picture(const Toolkit& tk, const std::string& path) : tk_(tk), bitmap_{} {
    Check(tk.Get<rt::LoadFileFn>(tk.file_, rt::kOrdinalLoadFile)(path.c_str(), &bitmap_, 0, 1));
  }
  ~Picture() {
    try {
      tk_.Get<rt::FreeBitmapFn>(tk_.kernel_, rt::kOrdinalFreeBitmap)(&bitmap_);
    } catch (const Failure&) {
    }
  }
  rt::Bitmap* get() { return &bitmap_; }

  // The picture as a packed DIB: header, colour table, rows.
  std::vector<uint8_t> Dib() {
    platform::WorkMemory& memory = platform::Host::Current().memory();
    platform::Hglobal block = tk_.Get<rt::ExportDibFn>(tk_.kernel_, rt::kOrdinalExportDib)(&bitmap_);
    if (!block) throw Failure{rt::kRasterNoMemory};
    auto* bytes = static_cast<const uint8_t*>(memory.GlobalLock(block));
    std::vector<uint8_t> dib(bytes, bytes + memory.GlobalSize(block));
    memory.GlobalUnlock(block);
    memory.GlobalFree(block);
    return dib;
  }
  void Replace(std::vector<uint8_t>& dib, size_t rowsAt) {
    auto* header = reinterpret_cast<const rt::DibHeader*>(dib.data());
    auto fill = tk_.Get<rt::BitmapFromDibFn>(tk_.kernel_, rt::kOrdinalBitmapFromDib);
    Check(fill(&bitmap_, header, dib.data() + rowsAt));
  }
  void Save(const std::string& path) {
    auto save = tk_.Get<rt::SaveFileFn>(tk_.file_, rt::kOrdinalSaveFile);
    Check(save(path.c_str(), &bitmap_, FormatFor(path), bitmap_.bitsPerPixel, 0));
  }

 private:
  const Toolkit& tk_;
  rt::Bitmap bitmap_;
};

size_t RowsAt(const std::vector<uint8_t>& dib) {
  auto* h = reinterpret_cast<const rt::DibHeader*>(dib.data());
  return 40 + (h->bitCount <= 8 ? size_t{4} << h->bitCount : 0);
}

bool IsGreyRamp(const std::vector<uint8_t>& dib) {
  for (size_t i = 0; i < 256; ++i) {
    if (dib[40 + i * 4] != i || dib[41 + i * 4] != i || dib[42 + i * 4] != i) return false;
  }
  return true;
}

int Descreen(double sigma, const std::string& in, const std::string& out) {
  Toolkit tk;
  Picture picture(tk, in);
  std::vector<uint8_t> dib = picture.Dib();
  auto* h = reinterpret_cast<rt::DibHeader*>(dib.data());
  if (h->bitCount < 8 || (h->bitCount == 8 && !IsGreyRamp(dib))) {
    std::fprintf(stderr, "rastfx: descreen needs a grey or colour image, not a palette image\n");
    return 2;
  }
  P_ImageDescreen(dib.data() + RowsAt(dib), h->bitCount, 0, 0, uint32_t(h->width), uint32_t(h->height), 0, sigma);
  picture.Replace(dib, RowsAt(dib));
  picture.Save(out);
  return 0;
}

int Resize(uint32_t width, uint32_t height, const std::string& in, const std::string& out) {
  Toolkit tk;
  Picture picture(tk, in);
  if (uint64_t(width) * height <= uint64_t(picture.get()->width) * uint64_t(picture.get()->height) &&
      width <= uint32_t(picture.get()->width)) {
    // A reduction goes through the library, over the picture's own rows.
    std::vector<uint8_t> dib = picture.Dib();
    size_t rowsAt = RowsAt(dib);
    Check(P_ImageDownSample(dib.data() + rowsAt, reinterpret_cast<rt::DibHeader*>(dib.data()), 0, 0, width, height));
    picture.Replace(dib, rowsAt);
  } else {
    Check(tk.Get<rt::ResizeBitmapFn>(tk.kernel_, rt::kOrdinalResizeBitmap)(picture.get(), int32_t(width),
                                                                            int32_t(height)));
  }
  picture.Save(out);
  return 0;
}

int Crop(uint32_t tolerance, uint32_t margin, const std::string& in, const std::string& out) {
  Toolkit tk;
  Picture picture(tk, in);
  Check(tk.Get<rt::AutoCropFn>(tk.image_, rt::kOrdinalAutoCrop)(picture.get(), tolerance, margin));
  picture.Save(out);
  std::printf("cropped to %d x %d\n", picture.get()->width, picture.get()->height);
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: rastfx descreen SIGMA IN OUT\n"
               "       rastfx resize WIDTHxHEIGHT IN OUT\n"
               "       rastfx crop [TOLERANCE [MARGIN]] IN OUT\n");
  return 1;
}

bool ParseNumber(const char* text, uint32_t* value) {
  char* end = nullptr;
  unsigned long v = std::strtoul(text, &end, 10);
  if (end == text || *end != '\0' || v > 0x7FFFFFFF || text[0] == '-') return false;
  *value = uint32_t(v);
  return true;
}

int Run(int argc, char** argv) {
  if (argc < 4) return Usage();
  std::string command = argv[1];
  std::string in = HostArgument(argv[argc - 2]), out = HostArgument(argv[argc - 1]);
  if (command == "descreen" && argc == 5) {
    char* end = nullptr;
    double sigma = std::strtod(argv[2], &end);
    if (end == argv[2] || *end != '\0' || !(sigma > 0) || sigma > 1000) return Usage();
    return Descreen(sigma, in, out);
  }
  if (command == "resize" && argc == 5) {
    std::string size = argv[2];
    size_t x = size.find('x');
    uint32_t w = 0, h = 0;
    if (x == std::string::npos || !ParseNumber(size.substr(0, x).c_str(), &w) ||
        !ParseNumber(size.substr(x + 1).c_str(), &h) || w == 0 || h == 0) {
      return Usage();
    }
    return Resize(w, h, in, out);
  }
  if (command == "crop" && argc >= 4 && argc <= 6) {
    uint32_t tolerance = 16, margin = 0;
    if (argc >= 5 && !ParseNumber(argv[2], &tolerance)) return Usage();
    if (argc == 6 && !ParseNumber(argv[3], &margin)) return Usage();
    return Crop(tolerance, margin, in, out);
  }
  return Usage();
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const Failure& f) {
    std::fprintf(stderr, "rastfx: %s (%d)\n", Describe(f.code), int(f.code));
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "rastfx: %s\n", e.what());
    return 2;
  }
}
