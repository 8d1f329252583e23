// What a new machine carries besides its folders: CONFIG.SYS on the boot drive and the shell
// folder values of its preset.
#include <gtest/gtest.h>

#include "platform/files/files.h"
#include "platform/registry/registry.h"
#include "platform/system/errors.h"
#include "test_host.h"

namespace platform {
namespace {

TEST(HostTest, ANewMachineCarriesAConfigSysAndShellFolders) {
  testing::TestHost t(testing::TestHost::Settings{.version = "nt4"});
  auto config = t.host().files().ReadFile("C:\\CONFIG.SYS");
  ASSERT_TRUE(config);
  EXPECT_EQ(config->substr(0, 32), "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nDEV");
  EXPECT_EQ(config->back(), '\n');
  RegKey key = 0;
  ASSERT_EQ(t.host().registry().OpenKey(kHkeyLocalMachine,
                                        "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                                        &key),
            kErrorSuccess);
  std::string startup;
  EXPECT_EQ(t.host().registry().GetString(key, "Common Startup", &startup), kErrorSuccess);
  t.host().registry().CloseKey(key);
  EXPECT_EQ(startup.substr(startup.size() - 8), "\\Startup");
}

}  // namespace
}  // namespace platform
