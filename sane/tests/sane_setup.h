// What the backend's tests share: a fresh host root with the film scanner switched on, a SANE
// configuration folder that names the backend and the root, and the programs run on them.
#pragma once

#include <filesystem>
#include <string>

#include "temp_dir.h"

namespace sanetest {

struct Outcome {
  int status = -1;
  std::string out;  // standard output, and standard error when asked for
};

// Runs a shell command; its standard output (and error, with `withErrors`) is collected.
Outcome Shell(const std::string& command, bool withErrors = true);

class SaneSetup {
 public:
  // Provisions the root (through `scan -L`) and puts the film scanner on target 5.
  SaneSetup();
  const std::filesystem::path& root() const { return root_.path(); }
  std::filesystem::path configFolder() const { return root_.path() / "sane.d"; }
  // The environment the SANE programs need to find the backend and its host, as a prefix
  // for a shell command.
  std::string SaneEnvironment() const;
  // Runs scanimage, and the suite's scan, with these arguments.
  Outcome ScanImage(const std::string& args, bool withErrors = false) const;
  Outcome Scan(const std::string& args, bool withErrors = false) const;

 private:
  platform::testing::TempDir root_;
};

// The decoded pixels of a PNG: 8 bits a sample (1-bit images widened to 0 and 255), gray or RGB
// as stored. Empty `pixels` when the file does not decode.
struct Pixels {
  uint32_t width = 0, height = 0, channels = 0;
  std::string pixels;
  bool operator==(const Pixels&) const = default;
};
Pixels DecodePng(const std::filesystem::path& file);

}  // namespace sanetest
