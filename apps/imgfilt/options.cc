#include "options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace imgfiltApp {

const char kUsage[] =
    "usage: imgfilt [operations] [--band N] [--dpi N] INPUT [OUTPUT]\n"
    "  reads PNG, TIFF or binary PNM; writes the kind OUTPUT's name ends in\n"
    "operations, applied in this order whatever the order given:\n"
    "  --invert            complement every pixel\n"
    "  --mirror            mirror left to right\n"
    "  --median            3 x 3 median\n"
    "  --descreen LPI      remove a halftone screen of LPI lines per inch\n"
    "  --blur N            smoothing level (2: weighted 3 x 5, 3: box 3 x 5, else box 3 x 3)\n"
    "  --make-clear N      preset sharpening 0..255\n"
    "  --sharpen N         sharpening level (2, 3 or other)\n"
    "  --unsharp N         unsharp mask strength 0..255\n"
    "  --resize WxH        scale to W x H pixels\n"
    "  --threshold N       gray to bilevel at level N\n"
    "  --halftone P        gray to bilevel by dither pattern P (0..4)\n"
    "  --rotate DEG        turn by DEG degrees (on its own, without the operations above)\n"
    "analyses (printed):\n"
    "  --detect-lpi        the screen ruling of a colour or gray scan\n"
    "  --auto-type         line art, gray photograph or colour document\n"
    "  --band N            lines per band fed to the chain (default 64)\n"
    "  --dpi N             scan resolution for --descreen (default: the file's, else 300)\n";

namespace {

bool ToNumber(const std::string& text, uint32_t max, uint32_t& out) {
  uint64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v > max) return false;
  out = static_cast<uint32_t>(v);
  return true;
}

bool ToSize(const std::string& text, uint32_t& w, uint32_t& h) {
  const size_t x = text.find_first_of("xX");
  return x != std::string::npos && ToNumber(text.substr(0, x), 1u << 20, w) && ToNumber(text.substr(x + 1), 1u << 20, h) &&
         w > 0 && h > 0;
}

struct ByteOption {
  const char* name;
  uint16_t bit;
  uint8_t ProcessParam::*field;
};

constexpr ByteOption kByteOptions[] = {
    {"--descreen", IMGFILT_OP_DESCREEN, &ProcessParam::screenRuling},
    {"--blur", IMGFILT_OP_BLUR, &ProcessParam::blurLevel},
    {"--make-clear", IMGFILT_OP_MAKE_CLEAR, &ProcessParam::makeClearLevel},
    {"--sharpen", IMGFILT_OP_SHARPEN, &ProcessParam::sharpenLevel},
    {"--unsharp", IMGFILT_OP_UNSHARP, &ProcessParam::unsharpLevel},
    {"--threshold", IMGFILT_OP_THRESHOLD, &ProcessParam::threshold},
    {"--halftone", IMGFILT_OP_HALFTONE, &ProcessParam::halftonePattern},
};

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
  Options o;
  std::vector<std::string> files;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string* {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return nullptr;
      }
      return &args[++i];
    };
    bool known = true;
    if (a == "--invert") {
      o.operations |= IMGFILT_OP_INVERT;
    } else if (a == "--mirror") {
      o.operations |= IMGFILT_OP_MIRROR;
    } else if (a == "--median") {
      o.operations |= IMGFILT_OP_MEDIAN;
    } else if (a == "--detect-lpi") {
      o.detectLpi = true;
    } else if (a == "--auto-type") {
      o.autoType = true;
    } else if (a == "--resize" || a == "--band" || a == "--dpi" || a == "--rotate") {
      const std::string* v = value();
      if (v == nullptr) return std::nullopt;
      bool ok = true;
      if (a == "--resize") {
        ok = ToSize(*v, o.resizeWidth, o.resizeHeight);
        o.operations |= IMGFILT_OP_SCALING;
      } else if (a == "--band") {
        ok = ToNumber(*v, 1u << 16, o.band) && o.band > 0;
      } else if (a == "--dpi") {
        ok = ToNumber(*v, 65535, o.dpi) && o.dpi > 0;
      } else {
        char* end = nullptr;
        const float deg = std::strtof(v->c_str(), &end);
        ok = end != v->c_str() && *end == '\0' && std::isfinite(deg);
        o.rotate = deg;
      }
      if (!ok) {
        error = "bad value for " + a + ": " + *v;
        return std::nullopt;
      }
    } else {
      known = false;
      for (const ByteOption& b : kByteOptions) {
        if (a != b.name) continue;
        known = true;
        const std::string* v = value();
        uint32_t n = 0;
        if (v == nullptr) return std::nullopt;
        if (!ToNumber(*v, 255, n)) {
          error = "bad value for " + a + ": " + *v + " (0..255)";
          return std::nullopt;
        }
        o.operations |= b.bit;
        o.settings.*b.field = static_cast<uint8_t>(n);
      }
    }
    if (known) continue;
    if (a.size() > 1 && a[0] == '-') {
      error = "unknown option " + a;
      return std::nullopt;
    }
    files.push_back(a);
  }
  if ((o.operations & IMGFILT_OP_THRESHOLD) && (o.operations & IMGFILT_OP_HALFTONE)) {
    error = "--threshold and --halftone exclude each other";
    return std::nullopt;
  }
  const bool analysesOnly = (o.detectLpi || o.autoType) && o.operations == 0 && !o.rotate;
  if (files.empty() || files.size() > 2 || (files.size() == 1 && !analysesOnly)) {
    error = "give an input file and an output file";
    return std::nullopt;
  }
  o.input = files[0];
  if (files.size() == 2) o.output = files[1];
  return o;
}

}  // namespace imgfiltApp
