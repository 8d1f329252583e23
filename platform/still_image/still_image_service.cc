#include "platform/still_image/still_image_service.h"

#include "device_control.h"
#include "platform/com/com_registration.h"
#include "platform/registry/registry.h"
#include "platform/system/errors.h"

namespace platform::sti {

StillImageDevice::StillImageDevice(Modules& modules, ModuleHandle module, IStiUSD* usd, IStiDeviceControl* control)
    : modules_(modules), module_(module), usd_(usd), control_(control) {}

StillImageDevice::~StillImageDevice() {
  usd_->Release();
  control_->Release();
  if (CanUnloadNow() == com::S_OK) modules_.FreeLibrary(module_);
}

com::HRESULT StillImageDevice::CanUnloadNow() const {
  auto* canUnload = modules_.GetProc<com::DllCanUnloadNowFn>(module_, "DllCanUnloadNow");
  return canUnload ? canUnload() : com::S_OK;
}

StillImageService& StillImageService::Attach(Host& host) {
  return host.FindOrAttach<StillImageService>([&] { return std::make_unique<StillImageService>(host); });
}

std::unique_ptr<StillImageDevice> StillImageService::CreateDevice(const com::CLSID& clsid, std::string_view portName,
                                                                  uint32_t openMode, com::HRESULT* result) {
  com::HRESULT ignored = 0;
  com::HRESULT& hr = result ? *result : ignored;
  const std::string path = com::InprocServerPath(host_.registry(), clsid);
  if (path.empty()) {
    hr = com::REGDB_E_CLASSNOTREG;
    return nullptr;
  }
  Modules& modules = host_.modules();
  ModuleHandle module = modules.LoadLibrary(path);
  if (module == 0) {
    hr = com::HresultFromWin32(GetLastError());
    return nullptr;
  }
  auto fail = [&](com::HRESULT code) {
    hr = code;
    modules.FreeLibrary(module);
    return nullptr;
  };
  auto* getClassObject = modules.GetProc<com::DllGetClassObjectFn>(module, "DllGetClassObject");
  if (getClassObject == nullptr) return fail(com::HresultFromWin32(GetLastError()));
  com::IClassFactory* factory = nullptr;
  hr = getClassObject(clsid, com::IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (com::Failed(hr) || factory == nullptr) return fail(com::Failed(hr) ? hr : com::E_FAIL);
  IStiUSD* usd = nullptr;
  hr = factory->CreateInstance(nullptr, IID_IStiUSD, reinterpret_cast<void**>(&usd));
  factory->Release();
  if (com::Failed(hr) || usd == nullptr) return fail(com::Failed(hr) ? hr : com::E_FAIL);

  std::u16string wide(portName.begin(), portName.end());
  auto* control = new DeviceControl(wide, openMode);
  hr = usd->Initialize(control, STI_VERSION_REAL, 0);
  if (com::Failed(hr)) {
    usd->Release();
    control->Release();
    return fail(hr);
  }
  return std::unique_ptr<StillImageDevice>(new StillImageDevice(modules, module, usd, control));
}

}  // namespace platform::sti
