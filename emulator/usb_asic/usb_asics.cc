#include "usb_asics.h"

#include <cstdlib>

#include "picture.h"
#include "platform/files/files.h"
#include "platform/files/winpath.h"
#include "platform/profile/profile.h"

namespace emulator {

namespace {
constexpr const char* kSection = "usbasic";

// A number of the section in [lo, hi]; anything else keeps the default and is noted.
long Number(const platform::ProfileFiles& ini, const std::string& file, const char* key, long def,
            long lo, long hi, std::vector<std::string>& problems) {
  std::string text = ini.GetStringValue(kSection, key, "", file);
  if (text.empty()) return def;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 0);
  if (end == text.c_str() || *end != '\0' || v < lo || v > hi) {
    problems.push_back(std::string("[usbasic] ") + key + "=" + text + ": not a number from " +
                       std::to_string(lo) + " to " + std::to_string(hi));
    return def;
  }
  return v;
}
}  // namespace

UsbAsics& UsbAsics::Install(platform::Host& host, const std::string& machineIni) {
  return host.FindOrAttach<UsbAsics>([&] { return std::unique_ptr<UsbAsics>(new UsbAsics(host, machineIni)); });
}

UsbAsics::UsbAsics(platform::Host& host, const std::string& file) {
  const platform::ProfileFiles& ini = host.profiles();
  std::string port = ini.GetStringValue(kSection, "port", "qusbdrv000", file);
  if (port.empty()) return;
  UsbAsicModel model;
  model.identity = static_cast<uint8_t>(Number(ini, file, "identity", 0xA5, 0, 255, problems_));
  model.carriageReply = static_cast<uint8_t>(Number(ini, file, "carriagereply", 0x01, 0, 255, problems_));
  model.bankCounterStuck = Number(ini, file, "bankstuck", 0, 0, 1, problems_) != 0;
  model.homeSensor = Number(ini, file, "homesensor", 1, 0, 1, problems_) != 0;
  model.paperTop = static_cast<int>(Number(ini, file, "papertop", 170, 0, 1000, problems_));
  std::shared_ptr<const Page> page = std::make_shared<TestChart>();
  std::string picture = ini.GetStringValue(kSection, "picture", "", file);
  if (!picture.empty()) {
    std::string error;
    auto hostPath = host.files().Resolve(picture);
    auto loaded = hostPath ? LoadPicture(hostPath->string(), 300, &error) : nullptr;
    if (loaded) page = loaded;
    else problems_.push_back("[usbasic] picture " + picture + ": " + error);
  }
  auto scanner = std::make_shared<UsbAsicScanner>(model, host.clock(), page);
  const bool later = !platform::EqualsNoCase(ini.GetStringValue(kSection, "completion", "later", file), "immediate");
  auto device = std::make_shared<UsbAsicPort>(port, scanner, host.faults(), later);
  if (!host.devices().Register(port, device)) {
    problems_.push_back("[usbasic] port=" + port + ": the name is taken or not a device name");
    return;
  }
  ports_.push_back(device);
}

UsbAsicPort* UsbAsics::Port(std::string_view name) const {
  for (const auto& p : ports_) {
    if (platform::EqualsNoCase(p->name(), name)) return p.get();
  }
  return nullptr;
}

}  // namespace emulator
