// stidiag                  runs the USB scanner's self test through the still-image service
// stidiag --scan FILE.png  also writes the self test's 850 x 1150 gray page as a PNG
// stidiag --register       registers the minidriver (its class under HKEY_CLASSES_ROOT)
// stidiag --unregister     removes the registration
// --port NAME chooses the device path (default \\.\qusbdrv000).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "gray_png.h"
#include "module_install.h"
#include "platform/com/com_registration.h"
#include "platform/host/host.h"
#include "platform/modules/modules.h"
#include "platform/registry/registry.h"
#include "platform/still_image/still_image_service.h"
#include "usbminid/usbminid.h"

namespace {

using namespace platform;

int Usage() {
  std::fprintf(stderr, "usage: stidiag [--register | --unregister] [--scan FILE.png] [--port NAME]\n");
  return 1;
}

// Loads the installed module and calls one of its registration exports.
int Registration(Host& host, const std::string& module, const char* exportName, const char* done) {
  ModuleHandle handle = host.modules().LoadLibrary(module);
  if (handle == 0) {
    std::fprintf(stderr, "stidiag: cannot load %s: %s\n", module.c_str(), host.modules().LastLoadError().c_str());
    return 2;
  }
  auto* entry = host.modules().GetProc<com::DllRegisterServerFn>(handle, exportName);
  com::HRESULT hr = entry ? entry() : com::E_FAIL;
  host.modules().FreeLibrary(handle);
  if (com::Failed(hr)) {
    std::fprintf(stderr, "stidiag: %s failed: 0x%08X\n", exportName, static_cast<unsigned>(hr));
    return 2;
  }
  std::printf("%s %s (%s)\n", done, com::GuidToString(usbminid::CLSID_UsbMiniDriver).c_str(), module.c_str());
  return 0;
}

std::string Narrow(const char16_t* text) {
  std::string out;
  for (; *text; ++text) out.push_back(*text < 0x80 ? static_cast<char>(*text) : '?');
  return out;
}

int Diagnose(Host& host, const std::string& port, const std::string& pngPath) {
  com::HRESULT hr = com::S_OK;
  auto device = sti::StillImageService::Attach(host).CreateDevice(usbminid::CLSID_UsbMiniDriver, port,
                                                                   sti::STI_DEVICE_CREATE_STATUS, &hr);
  if (!device) {
    std::fprintf(stderr, "stidiag: cannot create the minidriver: 0x%08X%s\n", static_cast<unsigned>(hr),
                 hr == com::REGDB_E_CLASSNOTREG ? " (not registered: run stidiag --register)" : "");
    return 2;
  }
  sti::STI_DIAG diag;
  hr = device->usd().Diagnostic(&diag);
  std::printf("Diagnostic: 0x%08X, generic error %d, vendor error %u%s%s\n", static_cast<unsigned>(hr),
              diag.sErrorInfo.dwGenericError, diag.sErrorInfo.dwVendorError,
              diag.sErrorInfo.szExtendedErrorText[0] ? ", " : "", Narrow(diag.sErrorInfo.szExtendedErrorText).c_str());
  if (com::Failed(hr) || diag.sErrorInfo.dwVendorError != 0) return 3;
  if (pngPath.empty()) return 0;
  std::vector<uint8_t> page(size_t{usbminid::kTestWidth} * usbminid::kTestLines);
  uint32_t returned = 0;
  hr = device->usd().Escape(usbminid::kEscapeSelfTestPage, nullptr, 0, page.data(),
                            static_cast<uint32_t>(page.size()), &returned);
  std::string error;
  if (com::Failed(hr) || !stidiag::WriteGrayPng(pngPath, usbminid::kTestWidth, usbminid::kTestLines, page, &error)) {
    std::fprintf(stderr, "stidiag: cannot write the page: %s\n", com::Failed(hr) ? "no page" : error.c_str());
    return 4;
  }
  std::printf("page: %s (%d x %d gray)\n", pngPath.c_str(), usbminid::kTestWidth, usbminid::kTestLines);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string action = "diagnose", png, port = "\\\\.\\qusbdrv000";
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--register")) action = "register";
    else if (!std::strcmp(argv[i], "--unregister")) action = "unregister";
    else if (!std::strcmp(argv[i], "--scan") && i + 1 < argc) png = std::filesystem::absolute(argv[++i]).string();
    else if (!std::strcmp(argv[i], "--port") && i + 1 < argc) port = argv[++i];
    else return Usage();
  }
  try {
    Host& host = Host::Current();
    std::string error;
    const std::string module = stidiag::InstallModule(host, &error);
    if (module.empty()) {
      std::fprintf(stderr, "stidiag: %s\n", error.c_str());
      return 2;
    }
    if (action == "register") return Registration(host, module, "DllRegisterServer", "registered");
    if (action == "unregister") return Registration(host, module, "DllUnregisterServer", "unregistered");
    return Diagnose(host, port, png);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "stidiag: %s\n", e.what());
    return 2;
  }
}
