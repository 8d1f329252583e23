#include "scan_options.h"

#include <cctype>
#include <cstdlib>
#include <vector>

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The value of the one name that `text` is a prefix of (without regard to case).
template <class T>
std::optional<T> ByPrefix(const std::string& text, const std::vector<std::pair<const char*, T>>& names) {
  if (text.empty()) return std::nullopt;
  std::optional<T> found;
  const std::string want = Lower(text);
  for (const auto& [name, value] : names) {
    const std::string n = Lower(name);
    if (n == want) return value;
    if (n.compare(0, want.size(), want) == 0) {
      if (found) return std::nullopt;  // ambiguous
      found = value;
    }
  }
  return found;
}

bool ParseInt(const std::string& text, int lo, int hi, int* out) {
  if (text.empty() || text.size() > 9) return false;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || v < lo || v > hi) return false;
  *out = static_cast<int>(v);
  return true;
}

bool ParseMm(const std::string& text, double* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !(v >= 0) || v > 10000) return false;
  *out = v;
  return true;
}

}  // namespace

std::optional<int> ModeByName(const std::string& name) {
  return ByPrefix<int>(name, {{"Lineart", kModeLineArt}, {"Gray", kModeGray}, {"Color", kModeColor}});
}

std::optional<int> SourceByName(const std::string& name) {
  return ByPrefix<int>(name, {{"Flatbed", kSourceReflective},
                              {"Positive", kSourcePositive},
                              {"Negative", kSourceNegative}});
}

std::optional<FileFormat> FormatByName(const std::string& name) {
  return ByPrefix<FileFormat>(name, {{"pnm", FileFormat::kPnm},
                                     {"png", FileFormat::kPng},
                                     {"tiff", FileFormat::kTiff}});
}

const char* ModeName(int mode) {
  return mode == kModeLineArt ? "Lineart" : mode == kModeGray ? "Gray" : "Color";
}

const char* SourceName(int source) {
  return source == kSourcePositive ? "Positive" : source == kSourceNegative ? "Negative" : "Flatbed";
}

void PrintUsage(std::ostream& out) {
  out << "usage: scan [-d N] [options] [-o FILE]   scan a page (or film frames) to a file\n"
         "       scan -L | --list-devices          list the scanners found\n"
         "       scan -d N --info                  describe one scanner\n"
         "options:\n"
         "  -d, --device N          the scanner numbered N by -L (default: the first found)\n"
         "  -L, --list-devices      list every scanner found\n"
         "  -i, --info              describe the scanner in full\n"
         "  --mode Lineart|Gray|Color   (a unique prefix will do; default Color)\n"
         "  --resolution DPI        (default 150)\n"
         "  -l MM, -t MM            top-left corner of the area, in millimetres (default 0)\n"
         "  -x MM, -y MM            width and height of the area (default: to the glass's end)\n"
         "  --source Flatbed|Positive|Negative   (film needs a film unit; default Flatbed)\n"
         "  --format pnm|png|tiff   (default: from the output file's name, else pnm)\n"
         "  -o, --output-file FILE  where the image goes (default: standard output; not tiff)\n"
         "  -p, --progress          print the percentage done on standard error\n"
         "  --batch[=FORMAT]        one file per film frame, FORMAT with %d for the frame\n"
         "                          number (default out%d.EXT, numbered from 1)\n"
         "  --batch-start N, --batch-count N   first number (default 1), and how many\n"
         "                          frames (default 1)\n"
         "  --base FOLDER           the scanning application's folder (default C:\\TOVELINK)\n"
         "  -h, --help              this text, with the ranges of the chosen scanner\n"
         "The file is written under a temporary name and renamed when complete; a failed scan\n"
         "leaves nothing under the requested name.\n"
         "Exit status: 0 done; 1 no scanner (or not the one asked for); 2 bad command line;\n"
         "3 the scan failed (the scanner's reason is printed); 4 cancelled; 5 the output file\n"
         "could not be written.\n"
         "The machine is the host root $SCANSUITE_ROOT, else the user's data folder.\n";
}

int ParseScanOptions(int argc, char** argv, ScanOptions* o, std::ostream& err) {
  auto bad = [&](const std::string& what) {
    err << "scan: " << what << "\n";
    return kExitUsage;
  };
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::optional<std::string> attached;
    if (arg.rfind("--", 0) == 0) {
      const size_t eq = arg.find('=');
      if (eq != std::string::npos) {
        attached = arg.substr(eq + 1);
        arg = arg.substr(0, eq);
      }
    } else if (arg.size() > 2 && arg[0] == '-' && std::string("dltxyo").find(arg[1]) != std::string::npos) {
      attached = arg.substr(2);
      arg = arg.substr(0, 2);
    }
    auto value = [&](std::string* out) {
      if (attached) {
        *out = *attached;
        return true;
      }
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "-h" || arg == "--help") {
      o->help = true;
    } else if (arg == "-L" || arg == "--list-devices") {
      o->list = true;
    } else if (arg == "-i" || arg == "--info") {
      o->info = true;
    } else if (arg == "-p" || arg == "--progress") {
      o->progress = true;
    } else if (arg == "-d" || arg == "--device") {
      if (!value(&v) || !ParseInt(v, 0, 99, &o->device)) return bad("\"" + v + "\" is not a device number");
    } else if (arg == "--base") {
      if (!value(&o->base)) return bad("--base needs a folder");
    } else if (arg == "--mode") {
      if (!value(&v) || !ModeByName(v)) return bad("--mode is Lineart, Gray or Color, not \"" + v + "\"");
      o->mode = *ModeByName(v);
    } else if (arg == "--resolution") {
      if (!value(&v) || !ParseInt(v, 1, 65535, &o->resolution)) return bad("bad --resolution \"" + v + "\"");
    } else if (arg == "-l" || arg == "-t" || arg == "-x" || arg == "-y") {
      double mm = 0;
      if (!value(&v) || !ParseMm(v, &mm)) return bad("bad " + arg + " \"" + v + "\" (millimetres)");
      if (arg == "-l") o->left = mm;
      if (arg == "-t") o->top = mm;
      if (arg == "-x") o->width = mm;
      if (arg == "-y") o->height = mm;
    } else if (arg == "--source") {
      if (!value(&v) || !SourceByName(v)) return bad("--source is Flatbed, Positive or Negative, not \"" + v + "\"");
      o->source = *SourceByName(v);
    } else if (arg == "--format") {
      if (!value(&v) || !FormatByName(v)) return bad("--format is pnm, png or tiff, not \"" + v + "\"");
      o->format = *FormatByName(v);
    } else if (arg == "-o" || arg == "--output-file") {
      if (!value(&o->output) || o->output.empty()) return bad("--output-file needs a name");
    } else if (arg == "--batch") {
      o->batch = attached.value_or("");
    } else if (arg == "--batch-start") {
      if (!value(&v) || !ParseInt(v, 0, 999999, &o->batchStart)) return bad("bad --batch-start \"" + v + "\"");
    } else if (arg == "--batch-count") {
      if (!value(&v) || !ParseInt(v, 1, 9999, &o->batchCount)) return bad("bad --batch-count \"" + v + "\"");
    } else {
      err << "scan: unexpected \"" << argv[i] << "\"\n";
      PrintUsage(err);
      return kExitUsage;
    }
  }
  if (o->list && (o->info || o->device >= 0)) return bad("-L lists every scanner; leave out -d and --info");
  if (o->batch && !o->output.empty()) return bad("--batch names its own files; leave out -o");
  return 0;
}
