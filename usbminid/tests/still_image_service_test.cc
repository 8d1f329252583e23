#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/com/com_registration.h"
#include "platform/modules/modules.h"
#include "platform/registry/registry.h"
#include "platform/still_image/still_image_service.h"
#include "platform/ui/scripted_ui.h"
#include "platform/ui/ui_constants.h"
#include "test_host.h"
#include "usb_asics.h"
#include "usbminid.h"

namespace usbminid {
namespace {

using namespace platform;
using com::HRESULT;

// The built module, copied into the host's system folder as the minidriver's DLL.
std::string InstallModule(platform::testing::TestHost& t) {
  const char* bin = std::getenv("SCANSUITE_BIN");
  if (!bin) ADD_FAILURE() << "SCANSUITE_BIN is not set (run the test through ctest)";
  const std::filesystem::path built = std::filesystem::path(bin ? bin : ".") / ".." / "lib" / "libusbminid.so";
  const std::string windowsPath = "C:\\WINDOWS\\SYSTEM\\USBMINID.DLL";
  const auto target = t.HostPath(windowsPath);
  std::filesystem::create_directories(target.parent_path());
  std::filesystem::copy_file(built, target, std::filesystem::copy_options::overwrite_existing);
  return windowsPath;
}

std::string DefaultValue(Registry& registry, const std::string& path) {
  RegKey key = 0;
  std::string value = "(missing)";
  if (registry.OpenKey(kHkeyClassesRoot, path, &key) != 0) return value;
  registry.GetString(key, "", &value);
  registry.CloseKey(key);
  return value;
}

HRESULT CallExport(Modules& modules, const std::string& module, const char* name) {
  ModuleHandle h = modules.LoadLibrary(module);
  EXPECT_NE(h, 0u) << modules.LastLoadError();
  HRESULT hr = modules.GetProc<com::DllRegisterServerFn>(h, name)();
  modules.FreeLibrary(h);
  return hr;
}

TEST(StillImageServiceTest, RegistersCreatesAndRunsTheLoadedMinidriver) {
  platform::testing::TestHost t;
  const std::string module = InstallModule(t);
  Registry& registry = t.host().registry();
  auto& service = sti::StillImageService::Attach(t.host());
  HRESULT hr = 0;
  EXPECT_EQ(service.CreateDevice(CLSID_UsbMiniDriver, "\\\\.\\qusbdrv000", sti::STI_DEVICE_CREATE_STATUS, &hr), nullptr);
  EXPECT_EQ(hr, static_cast<HRESULT>(0x80040154));

  ASSERT_EQ(CallExport(t.host().modules(), module, "DllRegisterServer"), com::S_OK);
  const std::string id = "{597561AA-4AC6-11D1-B87D-0000E82D3234}";
  EXPECT_EQ(DefaultValue(registry, "CLSID\\" + id), "Quorel USB MiniDriver");
  EXPECT_EQ(DefaultValue(registry, "CLSID\\" + id + "\\InprocServer32"), module);
  EXPECT_EQ(DefaultValue(registry, "CLSID\\" + id + "\\ProgID"), "Quorel.USB.MiniDriver.1");
  EXPECT_EQ(DefaultValue(registry, "CLSID\\" + id + "\\VersionIndependentProgID"), "Quorel.USB.MiniDriver");
  EXPECT_EQ(DefaultValue(registry, "Quorel.USB.MiniDriver\\CurVer"), "Quorel.USB.MiniDriver.1");
  EXPECT_EQ(DefaultValue(registry, "Quorel.USB.MiniDriver\\CLSID"), id);
  EXPECT_EQ(DefaultValue(registry, "Quorel.USB.MiniDriver.1"), "Quorel USB MiniDriver");
  EXPECT_EQ(DefaultValue(registry, "Quorel.USB.MiniDriver.1\\CLSID"), id);

  // TMDS.INI beside the module tunes the engine: 40 steps from home to the calibration strip.
  t.WriteFile("C:\\WINDOWS\\SYSTEM\\TMDS.INI", "[A4CIS]\nHomeLines=40\n");
  auto& device = emulator::UsbAsics::Install(t.host(), "").First()->scanner();
  device.ForgetPackets();
  t.ui().ExpectMessageBox("Scanner is fine.", IDOK);
  {
    auto created = service.CreateDevice(CLSID_UsbMiniDriver, "\\\\.\\qusbdrv000", sti::STI_DEVICE_CREATE_STATUS, &hr);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(hr, com::S_OK);
    EXPECT_EQ(created->CanUnloadNow(), com::S_FALSE);
    sti::STI_DIAG diag;
    EXPECT_EQ(created->usd().Diagnostic(&diag), com::S_OK);
    EXPECT_EQ(diag.sErrorInfo.dwVendorError, 0u);
    bool movedForty = false;
    for (const auto& p : device.Packets()) movedForty |= p[0] == 0x25 && p[1] == 0x01 && p[2] == 40 && p[3] == 0;
    EXPECT_TRUE(movedForty);
  }
  EXPECT_EQ(t.host().modules().GetModuleHandle("usbminid.dll"), 0u);  // unloaded with the last component

  ASSERT_EQ(CallExport(t.host().modules(), module, "DllUnregisterServer"), com::S_OK);
  EXPECT_EQ(DefaultValue(registry, "CLSID\\" + id), "(missing)");
  EXPECT_EQ(DefaultValue(registry, "Quorel.USB.MiniDriver"), "(missing)");
  EXPECT_EQ(DefaultValue(registry, "Quorel.USB.MiniDriver.1"), "(missing)");
}

TEST(StillImageServiceTest, RegistrationRemovalGoesDepthFirst) {
  platform::testing::TestHost t;
  Registry& registry = t.host().registry();
  const com::ClassRegistration entry{{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}}, "Name", "A.B.1", "A.B"};
  ASSERT_EQ(com::RegisterInprocServer(registry, entry, "C:\\X.DLL"), 0);
  RegKey extra = 0;
  registry.CreateKey(kHkeyClassesRoot, "A.B\\CurVer\\Deeper\\Deepest", &extra);
  registry.CloseKey(extra);
  EXPECT_EQ(com::InprocServerPath(registry, entry.clsid), "C:\\X.DLL");
  com::UnregisterInprocServer(registry, entry);
  EXPECT_EQ(com::InprocServerPath(registry, entry.clsid), "");
  RegKey key = 0;
  EXPECT_NE(registry.OpenKey(kHkeyClassesRoot, "A.B", &key), 0);
  EXPECT_NE(registry.OpenKey(kHkeyClassesRoot, "A.B.1", &key), 0);
}

}  // namespace
}  // namespace usbminid
