#include "server_state.h"

#include <memory>
#include <mutex>

#include "platform/host/host.h"
#include "platform/modules/modules.h"
#include "platform/system/system.h"

namespace usbminid {

std::atomic<long> ServerState::components{0};
std::atomic<long> ServerState::locks{0};

namespace {
std::mutex layersMutex;
std::unique_ptr<Layers> layers;
long holders = 0;
}  // namespace

const platform::com::ClassRegistration& Registration() {
  static const platform::com::ClassRegistration entry{CLSID_UsbMiniDriver, "Quorel USB MiniDriver",
                                                      "Quorel.USB.MiniDriver.1", "Quorel.USB.MiniDriver"};
  return entry;
}

Layers::Layers(platform::Host& h)
    : host(h),
      file(h.devices(), h.clock()),
      asic(channel, h.profiles(), h.system().WindowsFolder()),
      scanner(asic, h.profiles(), h.clock(), &h.ui()) {}

Layers& ServerState::Acquire() {
  std::lock_guard lock(layersMutex);
  if (!layers) layers = std::make_unique<Layers>(platform::Host::Current());
  ++holders;
  return *layers;
}

void ServerState::Release() {
  std::lock_guard lock(layersMutex);
  if (holders > 0 && --holders == 0) layers.reset();
}

std::string ServerState::ModulePath() {
  platform::Modules& modules = platform::Host::Current().modules();
  platform::ModuleHandle self = modules.GetModuleHandle(kModuleName);
  return self ? modules.GetModuleFileName(self) : std::string();
}

std::string ServerState::ModuleFolder() {
  std::string path = ModulePath();
  size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace usbminid
