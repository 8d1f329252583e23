// The command line of imgfilt: the chain in the words users know, mapped onto ProcessParam.
#ifndef APPS_IMGFILT_OPTIONS_H_
#define APPS_IMGFILT_OPTIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imgfilt.h"

namespace imgfiltApp {

struct Options {
  std::string input;
  std::string output;          // empty with --detect-lpi or --auto-type alone
  uint16_t operations = 0;     // IMGFILT_OP_ bits
  ProcessParam settings{};     // levels, ruling, threshold, pattern
  uint32_t resizeWidth = 0;   // --resize W x H
  uint32_t resizeHeight = 0;
  uint32_t band = 64;          // lines per band
  uint32_t dpi = 0;            // 0: the file's, else 300
  std::optional<float> rotate; // degrees
  bool detectLpi = false;
  bool autoType = false;
};

// Parses argv; on a mistake returns nullopt and sets `error`.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error);

extern const char kUsage[];

}  // namespace imgfiltApp

#endif  // APPS_IMGFILT_OPTIONS_H_
