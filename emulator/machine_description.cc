#include "machine_description.h"

#include <cstdlib>
#include <sstream>

#include "platform/profile/profile.h"
#include "platform/files/winpath.h"

namespace emulator {

namespace {
constexpr std::string_view kDefaultMachine =
    "; Emulated hardware of this host: host adapters in bus order and the devices on them.\n"
    "; Adapter kinds: scsi (a SCSI host adapter), epp (the parallel-to-SCSI adapter), usb (the\n"
    "; still-image layer's USB scanners). completion: immediate, or later (completed from another\n"
    "; thread through the request's event). targetN=DEVICE puts a device on target N; add\n"
    "; \",late\" for one switched on late (it answers only after a bus rescan).\n"
    "[machine]\n"
    "adapters=hba0,epp0,usb0\n"
    "\n"
    "[hba0]\n"
    "kind=scsi\n"
    "identifier=hba0 scsi\n"
    "maxtransfer=0x10000\n"
    "completion=immediate\n"
    "target2=flatbed\n"
    ";target4=firmware\n"
    ";target5=film\n"
    ";target6=identity\n"
    "\n"
    "[epp0]\n"
    "kind=epp\n"
    "identifier=eppscsi\n"
    "completion=later\n"
    "base=0x378\n"
    "; port modes the parallel port carries: 01 BPP, 02 EPP, 04 SPP, 08 ECP, 10 and 20 faster EPP\n"
    "modes=0x3F\n"
    "target0=parallel\n"
    "\n"
    "[usb0]\n"
    "kind=usb\n"
    "identifier=stiaspi\n"
    "completion=later\n"
    "target0=usbscanner\n"
    "\n"
    "; Devices. type: scanner (the default) or identity (the setup's identity protocol).\n"
    "[flatbed]\n"
    "model=Color   FlatbedScanner_4\n"
    "optical=600\n"
    "adbits=10\n"
    "revision=1.05\n"
    "date=Jan 15 1999\n"
    "delays=8,16\n"
    "warmup=0\n"
    "\n"
    "[parallel]\n"
    "model=Color   FlatbedScanner_3\n"
    "optical=300\n"
    "adbits=8\n"
    "revision=0105\n"
    "date=Mar 02 1998\n"
    "delays=4,8\n"
    "\n"
    "[usbscanner]\n"
    "model=Color   FlatbedScanner_5\n"
    "optical=300\n"
    "adbits=12\n"
    "revision=1205\n"
    "date=Nov 30 1999\n"
    "delays=-2,4\n"
    "\n"
    "; A scanner that waits for its firmware (its image is named in the application's\n"
    "; bin\\Model.ini under [SCSI], key 3).\n"
    "[firmware]\n"
    "model=Color   FlatbedScanner10\n"
    "optical=600\n"
    "adbits=12\n"
    "firmware=3\n"
    "firmwaresize=0\n"
    "\n"
    "; A film scanner with its holder.\n"
    "[film]\n"
    "model=Color   FlatbedScanner_9\n"
    "optical=1200\n"
    "adbits=12\n"
    "holder=2,0x11,0x22,0x33\n"
    "\n"
    "; A scanner of the setup's identity protocol (ESC I over WRITE and READ).\n"
    "[identity]\n"
    "type=identity\n"
    "name=Orvex   SCANNER 6000\n"
    "level=B4\n"
    "resolutions=75,150,300,600\n"
    "\n"
    "; The USB scanner of the still-image minidriver, behind the device path \\\\.\\qusbdrv000.\n"
    "[usbasic]\n"
    "port=qusbdrv000\n"
    "identity=0xA5\n"
    "papertop=170\n";

bool ParseNumber(const std::string& text, long long* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 0);
  if (end == text.c_str() || *end != '\0') return false;
  *out = v;
  return true;
}

class Reader {
 public:
  Reader(const platform::ProfileFiles& ini, const std::string& file, MachineDescription& description)
      : ini_(ini), file_(file), description_(description) {}

  std::string Text(const std::string& section, const std::string& key, const std::string& def = "") {
    return ini_.GetStringValue(section, key, def, file_);
  }

  // A number in [lo, hi], else the default and a problem noted.
  long long Number(const std::string& section, const std::string& key, long long def, long long lo,
                   long long hi) {
    std::string text = Text(section, key);
    if (text.empty()) return def;
    long long v = 0;
    if (!ParseNumber(text, &v) || v < lo || v > hi) {
      description_.problems.push_back("[" + section + "] " + key + "=" + text + ": not a number from " +
                               std::to_string(lo) + " to " + std::to_string(hi));
      return def;
    }
    return v;
  }

  std::vector<long long> Numbers(const std::string& section, const std::string& key) {
    std::vector<long long> out;
    std::stringstream in(Text(section, key));
    std::string item;
    while (std::getline(in, item, ',')) {
      long long v = 0;
      if (ParseNumber(item, &v)) out.push_back(v);
      else description_.problems.push_back("[" + section + "] " + key + ": \"" + item + "\" is not a number");
    }
    return out;
  }

  MachineDescription& description() { return description_; }

 private:
  const platform::ProfileFiles& ini_;
  const std::string& file_;
  MachineDescription& description_;
};

ScannerModel ReadScanner(Reader& r, const std::string& s) {
  ScannerModel m;
  m.vendorProduct = r.Text(s, "model", m.vendorProduct);
  m.revision = r.Text(s, "revision", m.revision);
  m.firmwareDate = r.Text(s, "date", m.firmwareDate);
  m.opticalRes = static_cast<uint16_t>(r.Number(s, "optical", m.opticalRes, 75, 4800));
  long long bits = r.Number(s, "adbits", m.adBits, 8, 12);
  if (bits != 8 && bits != 10 && bits != 12) {
    r.description().problems.push_back("[" + s + "] adbits must be 8, 10 or 12");
    bits = 8;
  }
  m.adBits = static_cast<uint8_t>(bits);
  m.option = static_cast<uint8_t>(r.Number(s, "option", 0, 0, 2));
  auto delays = r.Numbers(s, "delays");
  if (delays.size() == 2 && std::llabs(delays[0]) < 64 && std::llabs(delays[1]) < 64) {
    m.greenDelay = static_cast<int>(delays[0]);
    m.blueDelay = static_cast<int>(delays[1]);
  } else if (!delays.empty()) {
    r.description().problems.push_back("[" + s + "] delays: two line counts from -63 to 63");
  }
  m.warmUpSeconds = static_cast<uint32_t>(r.Number(s, "warmup", 0, 0, 3600));
  m.scanStartMs = static_cast<uint32_t>(r.Number(s, "scanstart", m.scanStartMs, 0, 600000));
  m.flatSensor = r.Number(s, "flat", 0, 0, 1) != 0;
  std::string firmware = r.Text(s, "firmware");
  if (!firmware.empty()) {
    m.waitsForFirmware = true;
    m.firmwareId = static_cast<uint8_t>(r.Number(s, "firmware", 0, 0, 255));
    m.firmwareSize = static_cast<uint32_t>(r.Number(s, "firmwaresize", 0, 0, 0xFFFFFF));
    m.firmwareBootMs = static_cast<uint32_t>(r.Number(s, "firmwareboot", m.firmwareBootMs, 0, 600000));
    m.firmwareNeverAccepted = r.Number(s, "firmwarerefused", 0, 0, 1) != 0;
  }
  auto holder = r.Numbers(s, "holder");
  if (!holder.empty()) {
    m.holderType = static_cast<uint8_t>(holder[0]);
    for (size_t i = 1; i < holder.size() && i < 4; ++i) m.holderDetails[i - 1] = static_cast<uint8_t>(holder[i]);
  }
  m.bestFocus = static_cast<uint32_t>(r.Number(s, "bestfocus", m.bestFocus, 0, 0xFFFFFF));
  m.picture = r.Text(s, "picture");
  return m;
}

IdentityModel ReadIdentity(Reader& r, const std::string& s) {
  IdentityModel m;
  m.name = r.Text(s, "name", m.name);
  std::string level = r.Text(s, "level", "B4");
  if (level.size() == 2) {
    m.levelLetter = level[0];
    m.levelDigit = level[1];
  }
  m.maxWidth = static_cast<uint16_t>(r.Number(s, "width", m.maxWidth, 1, 65535));
  m.maxHeight = static_cast<uint16_t>(r.Number(s, "height", m.maxHeight, 1, 65535));
  auto res = r.Numbers(s, "resolutions");
  if (!res.empty()) {
    m.resolutions.clear();
    for (long long v : res) m.resolutions.push_back(static_cast<uint16_t>(v));
  }
  return m;
}

void ReadAdapter(Reader& r, const std::string& name, MachineDescription& description) {
  AdapterDescription a;
  a.name = name;
  std::string kind = platform::ToLowerAscii(r.Text(name, "kind", "scsi"));
  if (kind == "epp") a.kind = AdapterDescription::Kind::kEpp;
  else if (kind == "usb") a.kind = AdapterDescription::Kind::kUsb;
  else if (kind != "scsi") description.problems.push_back("[" + name + "] kind=" + kind + ": scsi, epp or usb");
  a.info.identifier = r.Text(name, "identifier", name).substr(0, 16);
  a.info.managerId = r.Text(name, "manager", a.info.managerId).substr(0, 16);
  a.info.maxTransfer = static_cast<uint32_t>(r.Number(name, "maxtransfer", 0x10000, 512, 0x7FFFFFFF));
  if (platform::EqualsNoCase(r.Text(name, "completion", "immediate"), "later")) {
    a.completion = platform::ScsiAdapter::Completion::kLater;
  }
  a.base = static_cast<uint32_t>(r.Number(name, "base", 0x378, 0, 0xFFFF));
  a.modes = static_cast<uint8_t>(r.Number(name, "modes", 0x3F, 0, 0xFF));
  for (int t = 0; t < platform::ScsiAdapter::kTargets; ++t) {
    std::string value = r.Text(name, "target" + std::to_string(t));
    if (value.empty()) continue;
    TargetDescription target{t, value, false};
    if (auto comma = value.find(','); comma != std::string::npos) {
      target.device = value.substr(0, comma);
      target.late = platform::EqualsNoCase(value.substr(comma + 1), "late");
    }
    a.targets.push_back(target);
  }
  description.adapters.push_back(a);
}
}  // namespace

std::string_view DefaultMachineText() { return kDefaultMachine; }

MachineDescription ParseMachine(const platform::ProfileFiles& ini, const std::string& file) {
  MachineDescription description;
  Reader r(ini, file, description);
  std::stringstream list(r.Text("machine", "adapters"));
  std::string name;
  while (std::getline(list, name, ',')) {
    if (!name.empty()) ReadAdapter(r, name, description);
  }
  for (AdapterDescription& a : description.adapters) {
    for (const TargetDescription& t : a.targets) {
      if (description.devices.count(t.device)) continue;
      if (ini.GetKeys(t.device, file).empty()) {
        description.problems.push_back("[" + a.name + "] target" + std::to_string(t.target) + "=" +
                                t.device + ": no section [" + t.device + "]");
        continue;
      }
      DeviceDescription d;
      if (platform::EqualsNoCase(r.Text(t.device, "type", "scanner"), "identity")) {
        d.type = DeviceDescription::Type::kIdentity;
        d.identity = ReadIdentity(r, t.device);
      } else {
        d.scanner = ReadScanner(r, t.device);
      }
      description.devices[t.device] = d;
    }
  }
  return description;
}

IdentityModel ParseIdentityDevice(const platform::ProfileFiles& ini, const std::string& file,
                                  const std::string& section, MachineDescription& description) {
  Reader r(ini, file, description);
  return ReadIdentity(r, section);
}

}  // namespace emulator
