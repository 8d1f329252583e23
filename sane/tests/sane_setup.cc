#include "sane_setup.h"

#include <png.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace sanetest {

namespace {
std::string Bin() {
  const char* bin = std::getenv("SCANSUITE_BIN");
  return bin ? bin : "";
}
}  // namespace

Outcome Shell(const std::string& command, bool withErrors) {
  Outcome r;
  FILE* pipe = popen((command + (withErrors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
  if (pipe == nullptr) return r;
  char buffer[4096];
  while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) r.out.append(buffer, n);
  const int raw = pclose(pipe);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

SaneSetup::SaneSetup() {
  Scan("-L");
  const std::filesystem::path machine = root() / "machine.ini";
  std::ifstream in(machine);
  std::stringstream text;
  text << in.rdbuf();
  std::string ini = text.str();
  const std::string off = ";target5=film";
  if (auto at = ini.find(off); at != std::string::npos) ini.replace(at, off.size(), "target5=film");
  std::ofstream(machine) << ini;
  std::filesystem::create_directories(configFolder());
  std::ofstream(configFolder() / "dll.conf") << "scansuite\n";
  std::ofstream(configFolder() / "scansuite.conf") << "# the test's host\nroot " << root().string() << "\n";
}

std::string SaneSetup::SaneEnvironment() const {
  return std::string(SCANSUITE_SANE_PRELOAD) + " SANE_CONFIG_DIR='" + configFolder().string() + "' LD_LIBRARY_PATH='" +
         SCANSUITE_SANE_BACKEND_FOLDER + "' SCANSUITE_ROOT=/nonexistent ";
}

Outcome SaneSetup::ScanImage(const std::string& args, bool withErrors) const {
  return Shell(SaneEnvironment() + "scanimage " + args, withErrors);
}

Outcome SaneSetup::Scan(const std::string& args, bool withErrors) const {
  return Shell("SCANSUITE_ROOT='" + root().string() + "' '" + Bin() + "/scan' " + args, withErrors);
}

Pixels DecodePng(const std::filesystem::path& file) {
  Pixels p;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, file.c_str())) return p;
  p.channels = (image.format & PNG_FORMAT_FLAG_COLOR) ? 3 : 1;
  image.format = p.channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  std::string pixels(PNG_IMAGE_SIZE(image), '\0');
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return p;
  }
  p.width = image.width;
  p.height = image.height;
  p.pixels = std::move(pixels);
  return p;
}

}  // namespace sanetest
