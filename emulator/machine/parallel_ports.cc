#include "parallel_ports.h"

#include <cstdio>
#include <sstream>

#include "parallel_identity_scanner.h"
#include "platform/files/files.h"
#include "platform/files/version_image.h"
#include "platform/host/host.h"
#include "platform/ports/ports.h"
#include "platform/profile/profile.h"
#include "platform/system/system.h"

namespace emulator {

namespace {

std::vector<std::string> List(const std::string& text) {
  std::vector<std::string> items;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    const size_t b = item.find_first_not_of(' ');
    const size_t e = item.find_last_not_of(' ');
    if (b != std::string::npos) items.push_back(item.substr(b, e - b + 1));
  }
  return items;
}

uint16_t Address(const std::string& text) {
  return static_cast<uint16_t>(std::strtoul(text.c_str(), nullptr, 0));
}

void WriteAspiFile(platform::Host& host, const std::string& version) {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (std::sscanf(version.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d) != 4) return;
  const std::string path = host.system().SystemFolder() + "\\wnaspi32.dll";
  host.files().WriteFileAtomic(path, platform::PeWithVersion(a << 16 | (b & 0xFFFF),
                                                             c << 16 | (d & 0xFFFF),
                                                             "ASPI for Win32 layer"));
}

}  // namespace

void InstallParallelPorts(platform::Host& host, const std::string& file) {
  const platform::ProfileFiles& ini = host.profiles();
  platform::Ports& ports = platform::Ports::Of(host);
  std::vector<uint16_t> table;
  for (const std::string& item : List(ini.GetStringValue("ports", "bios", "0x378", file))) {
    table.push_back(Address(item));
  }
  ports.SetParallelTable(table);
  const std::string enumerated = ini.GetStringValue("ports", "enumerated", "", file);
  if (!enumerated.empty()) ports.SetEnumeratedPorts(List(enumerated));
  const std::vector<std::string> identity = List(ini.GetStringValue("ports", "identity", "", file));
  if (!identity.empty()) {
    // The device's section: the third field, else [identity].
    MachineDescription problems;
    const IdentityModel model = ParseIdentityDevice(
        ini, file, identity.size() > 2 ? identity[2] : "identity", problems);
    const bool fast = identity.size() > 1 && identity[1] == "highspeed";
    ports.Attach(Address(identity[0]), 8,
                 std::make_shared<ParallelIdentityScanner>(
                     model, fast ? ParallelIdentityScanner::Interface::kHighSpeed
                                 : ParallelIdentityScanner::Interface::kStandard));
  }
  const std::string aspi = ini.GetStringValue("ports", "wnaspi32", "", file);
  if (!aspi.empty()) WriteAspiFile(host, aspi);
}

}  // namespace emulator
