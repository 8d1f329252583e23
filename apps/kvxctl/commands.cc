#include "commands.h"

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>

#include "device.h"
#include "gray_png.h"
#include "kvxscan/kvx_interface.h"
#include "platform/clock/event.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/pnp_manager.h"
#include "platform/kernel/user_memory.h"
#include "platform/system/errors.h"
#include "platform/usb/usb_bus.h"

namespace kvxctl {

namespace {
using namespace kvxscan;

std::optional<uint32_t> Number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  try {
    size_t used = 0;
    unsigned long value = std::stoul(text, &used, 0);
    if (used != text.size() || value > 0xFFFFFFFFul) return std::nullopt;
    return static_cast<uint32_t>(value);
  } catch (...) {
    return std::nullopt;
  }
}

// "12,34,0x56" -> bytes.
std::optional<std::vector<uint8_t>> ByteList(const std::string& text) {
  std::vector<uint8_t> out;
  size_t at = 0;
  while (at <= text.size()) {
    size_t comma = text.find(',', at);
    auto value = Number(text.substr(at, comma == std::string::npos ? std::string::npos : comma - at));
    if (!value || *value > 0xFF) return std::nullopt;
    out.push_back(static_cast<uint8_t>(*value));
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  return out;
}

template <class T>
std::vector<uint8_t> Bytes(const T& value) {
  const auto* p = reinterpret_cast<const uint8_t*>(&value);
  return std::vector<uint8_t>(p, p + sizeof(T));
}

int UsageError(const std::string& what) {
  std::cerr << "kvxctl: " << what << "\n";
  return kExitUsage;
}

std::string ModuleBesideProgram() {
  if (const char* bin = std::getenv("SCANSUITE_BIN")) return std::string(bin) + "/KvxScan.sys";
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return (self.parent_path() / "KvxScan.sys").string();
}

bool WriteRegisters(Session& s, platform::DeviceHandle h, uint32_t address, const std::vector<uint8_t>& values) {
  platform::UserBuffer data(values.size());
  if (!data.data()) return false;
  std::memcpy(data.data(), values.data(), values.size());
  std::vector<uint8_t> none;
  uint32_t n = 0;
  return s.Control(h, IOCTL_KVX_WRITE_REGISTERS,
                   Bytes(KVX_REGISTER_BLOCK{address, static_cast<uint32_t>(values.size()), data.address()}), none, &n);
}
}  // namespace

int Install(const Args& args) {
  std::string module = args.empty() ? ModuleBesideProgram() : args[0];
  Session s;
  std::string error;
  if (!platform::PnpManager::InstallDriver(s.host(), kService, kHardwareId, module, &error)) {
    std::cerr << "kvxctl: " << error << "\n";
    return kExitFile;
  }
  std::string path = s.PublishedPath();
  std::cout << "installed " << kService << " as " << platform::PnpManager::ImagePath(kService) << "\n";
  if (!path.empty()) std::cout << "device " << path << "\n";
  return kExitOk;
}

int Uninstall(const Args&) {
  Session s;
  std::string error;
  if (!platform::PnpManager::UninstallDriver(s.host(), kService, kHardwareId, &error)) {
    std::cerr << "kvxctl: " << error << "\n";
    return kExitFile;
  }
  std::cout << "uninstalled " << kService << "\n";
  return kExitOk;
}

int List(const Args&) {
  Session s;
  platform::Kernel& kernel = platform::Kernel::Of(s.host());
  platform::UsbBus& bus = platform::UsbBus::Of(kernel);
  platform::PnpManager& pnp = platform::PnpManager::Of(kernel);
  for (platform::DEVICE_OBJECT* pdo : bus.Devices()) {
    int port = bus.Port(pdo);
    std::string path = s.PublishedPath(port);
    std::cout << "port " << port << "  " << bus.HardwareId(pdo) << "  "
              << (pnp.FunctionDevice(pdo) ? path : std::string("no driver")) << "\n";
  }
  return kExitOk;
}

int Info(const Args&) {
  Session s;
  auto h = s.Open();
  if (h == platform::kInvalidDeviceHandle) return kExitNoDevice;
  std::vector<uint8_t> version(sizeof(KVX_VERSION)), descriptors(sizeof(KVX_DESCRIPTORS));
  uint32_t n = 0, d = 0;
  if (!s.Control(h, IOCTL_KVX_GET_VERSION, {}, version, &n) || !s.Control(h, IOCTL_KVX_GET_VERSION, {}, descriptors, &d)) {
    return kExitRequestFailed;
  }
  KVX_VERSION v;
  std::memcpy(&v, version.data(), sizeof v);
  std::cout << "version " << v.Major << "." << v.Minor << "." << v.Build << "\n";
  // The reply is the driver's descriptor block, laid out as the shared header says.
  const uint8_t* block = descriptors.data();
  std::cout << "device descriptor        "
            << Hex(block + offsetof(KVX_DESCRIPTORS, Device), sizeof(platform::USB_DEVICE_DESCRIPTOR)) << "\n";
  std::cout << "configuration descriptor "
            << Hex(block + offsetof(KVX_DESCRIPTORS, Configuration), sizeof(platform::USB_CONFIGURATION_DESCRIPTOR)) << "\n";
  std::cout << "interface descriptor     "
            << Hex(block + offsetof(KVX_DESCRIPTORS, Interface), sizeof(platform::USB_INTERFACE_DESCRIPTOR)) << "\n";
  constexpr uint32_t kEndpoint = sizeof(platform::USB_ENDPOINT_DESCRIPTOR);
  for (uint32_t at = offsetof(KVX_DESCRIPTORS, Endpoints); at + kEndpoint <= d; at += kEndpoint) {
    std::cout << "endpoint descriptor      " << Hex(block + at, kEndpoint) << "\n";
  }
  return kExitOk;
}

int Registers(const Args& args) {
  if (args.empty()) return UsageError("regs ADDRESS [COUNT] | regs ADDRESS=B,B,...");
  Session s;
  size_t eq = args[0].find('=');
  auto address = Number(args[0].substr(0, eq));
  if (!address) return UsageError("bad register address " + args[0]);
  if (eq != std::string::npos) {
    auto values = ByteList(args[0].substr(eq + 1));
    if (!values) return UsageError("bad register values " + args[0]);
    auto h = s.Open();
    if (h == platform::kInvalidDeviceHandle) return kExitNoDevice;
    return WriteRegisters(s, h, *address, *values) ? kExitOk : kExitRequestFailed;
  }
  auto count = args.size() > 1 ? Number(args[1]) : std::optional<uint32_t>(1);
  if (!count || *count == 0 || *count > 0xFFFF) return UsageError("bad register count");
  auto h = s.Open();
  if (h == platform::kInvalidDeviceHandle) return kExitNoDevice;
  std::vector<uint8_t> out(*count);
  uint32_t n = 0;
  if (!s.Control(h, IOCTL_KVX_READ_REGISTERS, Bytes(KVX_REGISTER_BLOCK{*address, *count, 0}), out, &n)) return kExitRequestFailed;
  std::cout << Hex(out.data(), n) << "\n";
  return kExitOk;
}

// vendor TYPE REQUEST VALUE INDEX LENGTH|B,B,...   (12-byte block, code 0x0022000C)
// vendor --ms ...                                  (20-byte block)
int Vendor(const Args& all) {
  Args args = all;
  bool ms = !args.empty() && args[0] == "--ms";
  if (ms) args.erase(args.begin());
  if (args.size() != 5) return UsageError("vendor [--ms] TYPE REQUEST VALUE INDEX LENGTH|B,B,...");
  auto type = Number(args[0]), request = Number(args[1]), value = Number(args[2]), index = Number(args[3]);
  if (!type || *type > 0xFF || !request || *request > 0xFF || !value || !index) return UsageError("bad vendor fields");
  bool in = (*type & 0x80) != 0;
  std::vector<uint8_t> data;
  uint32_t length = 0;
  if (in) {
    auto n = Number(args[4]);
    if (!n || *n > 0xFFFF) return UsageError("bad length");
    length = *n;
  } else {
    auto bytes = ByteList(args[4]);
    if (!bytes) return UsageError("bad data");
    data = *bytes;
    length = static_cast<uint32_t>(data.size());
  }
  Session s;
  auto h = s.Open();
  if (h == platform::kInvalidDeviceHandle) return kExitNoDevice;
  platform::UserBuffer out(length ? length : 1);
  if (!in && length) std::memcpy(out.data(), data.data(), length);
  std::vector<uint8_t> block = ms ? Bytes(KVX_MS_VENDOR_BLOCK{*value, length, in ? 0 : out.address(), *index,
                                                             static_cast<uint8_t>(*request), static_cast<uint8_t>(*type),
                                                             static_cast<uint8_t>(in ? 1 : 0), 0})
                                  : Bytes(KVX_VENDOR_BLOCK{static_cast<uint8_t>(*type), static_cast<uint8_t>(*request),
                                                           static_cast<uint16_t>(*value), static_cast<uint16_t>(*index),
                                                           static_cast<uint16_t>(length), in ? 0 : out.address()});
  std::vector<uint8_t> reply(in ? length : 0);
  uint32_t n = 0;
  if (!s.Control(h, IOCTL_KVX_VENDOR_OR_MS_REQUEST, block, reply, &n)) return kExitRequestFailed;
  if (in) std::cout << Hex(reply.data(), n) << "\n";
  return kExitOk;
}

int Pipes(const Args&) {
  Session s;
  auto h = s.Open();
  if (h == platform::kInvalidDeviceHandle) return kExitNoDevice;
  std::vector<uint8_t> out(sizeof(KVX_PIPE_SIZES));
  uint32_t n = 0;
  if (!s.Control(h, IOCTL_KVX_GET_PIPE_SIZES, {}, out, &n)) return kExitRequestFailed;
  KVX_PIPE_SIZES sizes;
  std::memcpy(&sizes, out.data(), sizeof sizes);
  std::cout << "interrupt " << sizes.Interrupt << "\nbulk in " << sizes.BulkIn << "\nbulk out " << sizes.BulkOut << "\n";
  return kExitOk;
}

// read COUNT [FILE]: bulk IN bytes to FILE, or as hex.
int Read(const Args& args) {
  auto count = args.empty() ? std::nullopt : Number(args[0]);
  if (!count) return UsageError("read COUNT [FILE]");
  Session s;
  auto h = s.Open();
  if (h == platform::kInvalidDeviceHandle) return kExitNoDevice;
  std::vector<uint8_t> data(*count);
  uint32_t n = 0;
  if (!s.paths().Read(h, data, &n)) {
    std::cerr << "kvxctl: read failed: " << ErrorText(platform::GetLastError()) << "\n";
    return kExitRequestFailed;
  }
  if (args.size() > 1) {
    std::ofstream out(args[1], std::ios::binary);
    if (!out.write(reinterpret_cast<const char*>(data.data()), n)) return kExitFile;
  } else {
    std::cout << Hex(data.data(), n) << "\n";
  }
  return kExitOk;
}

// write FILE | write -x B,B,...
int Write(const Args& args) {
  std::vector<uint8_t> data;
  if (args.size() == 2 && args[0] == "-x") {
    auto bytes = ByteList(args[1]);
    if (!bytes) return UsageError("bad data");
    data = *bytes;
  } else if (args.size() == 1) {
    std::ifstream in(args[0], std::ios::binary);
    if (!in) {
      std::cerr << "kvxctl: cannot read " << args[0] << "\n";
      return kExitFile;
    }
    data.assign(std::istreambuf_iterator<char>(in), {});
  } else {
    return UsageError("write FILE | write -x B,B,...");
  }
  Session s;
  auto h = s.Open();
  if (h == platform::kInvalidDeviceHandle) return kExitNoDevice;
  uint32_t n = 0;
  if (!s.paths().Write(h, data, &n)) {
    std::cerr << "kvxctl: write failed: " << ErrorText(platform::GetLastError()) << "\n";
    return kExitRequestFailed;
  }
  std::cout << n << " bytes written\n";
  return kExitOk;
}

// wait [MILLISECONDS] [--button]: one device event; --button presses the emulated button first.
int Wait(const Args& args) {
  uint32_t timeout = 5000;
  bool press = false;
  for (const std::string& a : args) {
    if (a == "--button") press = true;
    else if (auto ms = Number(a)) timeout = *ms;
    else return UsageError("wait [MILLISECONDS] [--button]");
  }
  Session s;
  auto h = s.Open();
  if (h == platform::kInvalidDeviceHandle) return kExitNoDevice;
  if (press && !WriteRegisters(s, h, 0x20, {1})) return kExitRequestFailed;  // a scan's end raises an event
  if (press) {
    std::vector<uint8_t> drain(1u << 20);
    uint32_t n = 0;
    s.paths().Read(h, drain, &n);
  }
  std::vector<uint8_t> packet(8);
  platform::Event event(s.host().clock(), platform::Event::Reset::kManual);
  platform::Overlapped ov{&event};
  uint32_t n = 0;
  bool done = s.paths().ControlOverlapped(h, IOCTL_KVX_WAIT_ON_DEVICE_EVENT, {}, packet, ov, &n);
  if (!done && platform::GetLastError() == platform::kErrorIoPending) {
    if (event.Wait(timeout) == platform::WaitResult::kTimeout) {
      s.paths().CancelIo(h);
      s.paths().GetOverlappedResult(h, ov, &n, true);
      std::cerr << "kvxctl: no device event in " << timeout << " ms\n";
      return kExitRequestFailed;
    }
    done = s.paths().GetOverlappedResult(h, ov, &n, true);
  }
  if (!done) {
    std::cerr << "kvxctl: wait failed: " << ErrorText(platform::GetLastError()) << "\n";
    return kExitRequestFailed;
  }
  std::cout << Hex(packet.data(), n) << "\n";
  return kExitOk;
}

int Cancel(const Args& args) {
  auto selector = args.empty() ? std::optional<uint32_t>(kCancelAll) : Number(args[0]);
  if (!selector) return UsageError("cancel [SELECTOR]");
  Session s;
  auto h = s.Open();
  if (h == platform::kInvalidDeviceHandle) return kExitNoDevice;
  std::vector<uint8_t> none;
  uint32_t n = 0;
  return s.Control(h, IOCTL_KVX_CANCEL, Bytes(*selector), none, &n) ? kExitOk : kExitRequestFailed;
}

// scan -o FILE.png [--width W] [--lines L]
int Scan(const Args& args) {
  std::string file;
  uint32_t width = 0, lines = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    uint32_t value = 0;
    if (i + 1 < args.size()) value = Number(args[i + 1]).value_or(0);
    if (args[i] == "-o" && i + 1 < args.size()) file = args[++i];
    else if (args[i] == "--width" && value > 0 && value <= 0xFFFF) width = value, ++i;
    else if (args[i] == "--lines" && value > 0 && value <= 0xFFFF) lines = value, ++i;
    else return UsageError("scan -o FILE.png [--width W] [--lines L]");
  }
  if (file.empty()) return UsageError("scan -o FILE.png [--width W] [--lines L]");
  Session s;
  auto h = s.Open();
  if (h == platform::kInvalidDeviceHandle) return kExitNoDevice;
  if (width && !WriteRegisters(s, h, 0x10, {static_cast<uint8_t>(width), static_cast<uint8_t>(width >> 8)})) return kExitRequestFailed;
  if (lines && !WriteRegisters(s, h, 0x12, {static_cast<uint8_t>(lines), static_cast<uint8_t>(lines >> 8)})) return kExitRequestFailed;
  std::vector<uint8_t> geometry(4);
  uint32_t n = 0;
  if (!s.Control(h, IOCTL_KVX_READ_REGISTERS, Bytes(KVX_REGISTER_BLOCK{0x10, 4, 0}), geometry, &n)) return kExitRequestFailed;
  width = geometry[0] | geometry[1] << 8;
  lines = geometry[2] | geometry[3] << 8;
  if (!WriteRegisters(s, h, 0x20, {1})) return kExitRequestFailed;
  std::vector<uint8_t> pixels(size_t{width} * lines);
  size_t got = 0;
  while (got < pixels.size()) {
    size_t chunk = std::min<size_t>(pixels.size() - got, 1u << 20);
    if (!s.paths().Read(h, std::span<uint8_t>(pixels.data() + got, chunk), &n) || n == 0) {
      std::cerr << "kvxctl: scan read failed: " << ErrorText(platform::GetLastError()) << "\n";
      return kExitRequestFailed;
    }
    got += n;
  }
  std::string error;
  if (!WriteGrayPng(file, width, lines, pixels, &error)) {
    std::cerr << "kvxctl: " << error << "\n";
    return kExitFile;
  }
  std::cout << "scanned " << width << " x " << lines << " to " << file << "\n";
  return kExitOk;
}

}  // namespace kvxctl
