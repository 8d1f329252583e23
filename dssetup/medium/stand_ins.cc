#include "stand_ins.h"

#include <cmath>
#include <cstdint>

#include "platform/files/version_image.h"

namespace dssetup::medium {
namespace {

// A tone table: 256 bytes rising with the given gamma.
std::string ToneTable(double gamma) {
  std::string t(256, '\0');
  for (int i = 0; i < 256; ++i) {
    t[static_cast<size_t>(i)] =
        static_cast<char>(std::lround(255.0 * std::pow(i / 255.0, 1.0 / gamma)));
  }
  return t;
}

std::string Readme(const char* text) { return std::string(text) + "\r\n"; }

}  // namespace

std::vector<StandIn> StandInFiles() {
  using platform::PeWithVersion;
  const std::string ds = "Orvex TWAIN data source (stand-in)";
  std::vector<StandIn> files = {
      {"KVTWAIN", "KVTWAIN.DS", PeWithVersion(kDataSourceVersionMs, kDataSourceVersionLs, ds)},
      {"KVTWAIN", "KVSCAN32.DLL", PeWithVersion(0x00020001, 0x00000003, "scanner access")},
      {"KVTWAIN", "KVCTRL32.CPL", PeWithVersion(0x00010002, 0x00000000, "control panel applet")},
      {"KVTWAIN", "KVT32.INI",
       "[ScanOptions]\r\nScanDeviceType=0\r\nScanParallelType=11\r\nLPTID=1\r\n"
       "ScanSCSIType=1\r\nSCSIID=2\r\nSCSIHAID=0\r\n"},
      {"TABLES", "S6000R.LUT", ToneTable(1.0)},
      {"TABLES", "S6000T.LUT", ToneTable(1.4)},
      {"TABLES", "S8000R.LUT", ToneTable(1.2)},
      {"TABLES", "NORMAL.GAM", ToneTable(1.8)},
      {"TABLES", "BRIGHT.GAM", ToneTable(2.2)},
      {"TABLES", "FILM.GAM", ToneTable(2.6)},
      {"KVTWAIN\\DEUTSCH", "README.TXT", Readme("Orvex Scanner: Hinweise")},
      {"KVTWAIN\\ENGLISH", "README.TXT", Readme("Orvex Scanner: notes")},
      {"KVTWAIN\\FRENCH", "README.TXT", Readme("Orvex Scanner : remarques")},
      {"KVTWAIN\\ITALIAN", "README.TXT", Readme("Orvex Scanner: note")},
      {"KVTWAIN\\SPANISH", "README.TXT", Readme("Orvex Scanner: notas")},
      {"KVTWAIN\\COMMON\\WINASPI", "ASPIINST.EXE",
       PeWithVersion(0x00040000, 0x000003CA, "ASPI layer installer (stand-in)"), false},
  };
  return files;
}

}  // namespace dssetup::medium
