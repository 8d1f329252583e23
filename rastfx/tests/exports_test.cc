// The shared library as callers meet it: the seven functions under their plain and decorated
// names through dlsym, and through the host's modules when it is loaded as RASTFX.DLL.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/modules/modules.h"
#include "platform/rastertk/rastertk.h"
#include "test_host.h"

namespace {

const std::pair<const char*, const char*> kNames[] = {
    {"P_ImageDescreen", "_P_ImageDescreen@36"},
    {"P_GetDescreenParameter", "_P_GetDescreenParameter@8"},
    {"P_ConvertDIB2LToolsBitmapFormat", "_P_ConvertDIB2LToolsBitmapFormat@20"},
    {"P_Initlbitmap", "_P_Initlbitmap@24"},
    {"P_ImageDownSample", "_P_ImageDownSample@24"},
    {"P_FileDownSample", "_P_FileDownSample@12"},
    {"P_SingleAutoCrop", "_P_SingleAutoCrop@24"},
};

using ParameterFn = double (*)(uint32_t, uint32_t);
using InitFn = int32_t (*)(platform::rastertk::Bitmap*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t);

TEST(RastfxExportsTest, DlsymFindsBothNamesOfEveryFunction) {
  void* library = dlopen(RASTFX_LIBRARY_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  for (auto [plain, decorated] : kNames) {
    void* a = dlsym(library, plain);
    void* b = dlsym(library, decorated);
    EXPECT_NE(a, nullptr) << plain;
    EXPECT_EQ(a, b) << decorated;
  }
  EXPECT_EQ(dlsym(library, "_P_ImageDescreen"), nullptr);  // no version split off the name
  auto parameter = reinterpret_cast<ParameterFn>(dlsym(library, "_P_GetDescreenParameter@8"));
  ASSERT_NE(parameter, nullptr);
  EXPECT_EQ(parameter(3, 255), 255 * 0.001764705882352941);
  dlclose(library);
}

TEST(RastfxExportsTest, GetProcAddressFindsThemInTheLoadedModule) {
  platform::testing::TestHost test;
  std::filesystem::path system = test.HostPath("C:\\WINDOWS\\SYSTEM");
  std::filesystem::create_directories(system);
  std::filesystem::copy_file(RASTFX_LIBRARY_FILE, system / "RASTFX.DLL");
  platform::Modules& modules = test.host().modules();
  platform::ModuleHandle module = modules.LoadLibrary("RASTFX.DLL");
  ASSERT_NE(module, 0u) << modules.LastLoadError();
  for (auto [plain, decorated] : kNames) {
    EXPECT_NE(modules.GetProcAddress(module, plain), nullptr) << plain;
    EXPECT_EQ(modules.GetProcAddress(module, decorated), modules.GetProcAddress(module, plain)) << decorated;
  }
  auto init = modules.GetProc<std::remove_pointer_t<InitFn>>(module, "_P_Initlbitmap@24");
  ASSERT_NE(init, nullptr);
  platform::rastertk::Bitmap bitmap{};
  EXPECT_EQ(init(&bitmap, 5, 6, 100, 50, 24), platform::rastertk::kRasterSuccess);
  EXPECT_EQ(bitmap.bytesPerLine, 300u);
  EXPECT_EQ(bitmap.valueB, 6u);
  EXPECT_TRUE(modules.FreeLibrary(module));
}

}  // namespace
