// The command line of `scan`, in the conventions of the usual scanning front ends: options with
// values as "--name value" or "--name=value", short options as "-x value" or "-xvalue".
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "image_writer.h"
#include "scancore/scan_param.h"

// Exit statuses, documented in --help and the README.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNoScanner = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitScanFailed = 3;
inline constexpr int kExitCancelled = 4;
inline constexpr int kExitOutput = 5;

struct ScanOptions {
  bool help = false;
  bool list = false;
  bool info = false;
  int device = -1;  // -1: the first scanner found
  std::string base = "C:\\TOVELINK";
  int mode = kModeColor;
  int resolution = 150;
  double left = 0, top = 0;                        // mm
  std::optional<double> width, height;             // mm; default: to the end of the glass
  int source = kSourceReflective;
  std::optional<FileFormat> format;                // default: from the output name, else PNM
  std::string output;                              // empty: standard output
  bool progress = false;
  std::optional<std::string> batch;                // --batch[=FORMAT]
  int batchStart = 1;
  int batchCount = 1;                              // frames in a batch
};

// 0 when parsed; else the exit status, the reason written to `err`.
int ParseScanOptions(int argc, char** argv, ScanOptions* options, std::ostream& err);
// The mode, source or format a (case-insensitive, unique prefix of a) name stands for.
std::optional<int> ModeByName(const std::string& name);
std::optional<int> SourceByName(const std::string& name);
std::optional<FileFormat> FormatByName(const std::string& name);
const char* ModeName(int mode);
const char* SourceName(int source);
void PrintUsage(std::ostream& out);
