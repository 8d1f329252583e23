// RegDeleteKey as each Windows family does it, and the shell folder values of each preset.
#include "platform/registry/windows_keys.h"
#include "platform/system/system.h"
#include "registry_test_support.h"

namespace platform {
namespace {

using regtest::RegistryTest;

TEST_F(RegistryTest, RegDeleteKeyTakesTheTreeOnNineXAndOnlyALeafOnNt) {
  SystemInfo nine(WindowsVersion::kWin95, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM");
  SystemInfo nt(WindowsVersion::kNt4, "C:\\WINNT", "C:\\WINNT\\SYSTEM32");
  reg().CloseKey(Create("Enum\\PCI\\DEV\\BUS_00"));
  EXPECT_EQ(RegDeleteKey(reg(), nt, kHkeyLocalMachine, "Enum\\PCI\\DEV"), kErrorAccessDenied);
  EXPECT_EQ(RegDeleteKey(reg(), nine, kHkeyLocalMachine, "Enum\\PCI\\DEV"), kErrorSuccess);
  RegKey key = 0;
  EXPECT_EQ(reg().OpenKey(kHkeyLocalMachine, "Enum\\PCI\\DEV", &key), kErrorFileNotFound);
  reg().CloseKey(Create("Enum\\PCI\\LEAF"));
  EXPECT_EQ(RegDeleteKey(reg(), nt, kHkeyLocalMachine, "Enum\\PCI\\LEAF"), kErrorSuccess);
  EXPECT_EQ(RegDeleteKey(reg(), nine, kHkeyLocalMachine, ""), kErrorBadPathname);
  EXPECT_EQ(reg().OpenKey(kHkeyLocalMachine, "Enum\\PCI", &key), kErrorSuccess);
  reg().CloseKey(key);
}

std::string Folder(Registry& reg, RegKey root, std::string_view name) {
  RegKey key = 0;
  std::string value;
  if (reg.OpenKey(root, kShellFoldersKey, &key) != kErrorSuccess) return "(no key)";
  if (reg.GetString(key, name, &value) != kErrorSuccess) value = "(none)";
  reg.CloseKey(key);
  return value;
}

TEST_F(RegistryTest, ShellFoldersOfEachPreset) {
  SystemInfo nine(WindowsVersion::kWin98, "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM");
  ASSERT_EQ(ProvisionShellFolders(reg(), nine), kErrorSuccess);
  EXPECT_EQ(Folder(reg(), kHkeyCurrentUser, "StartUp"), "C:\\WINDOWS\\Start Menu\\Programs\\StartUp");
  EXPECT_EQ(Folder(reg(), kHkeyCurrentUser, "Programs"), "C:\\WINDOWS\\Start Menu\\Programs");
  EXPECT_EQ(Folder(reg(), kHkeyLocalMachine, "Common Startup"), "(no key)");
}

TEST_F(RegistryTest, ShellFoldersOfNtPresetsAndValuesAlreadyThereStay) {
  SystemInfo nt4(WindowsVersion::kNt4, "C:\\WINNT", "C:\\WINNT\\SYSTEM32");
  RegKey key = 0;
  ASSERT_EQ(reg().CreateKey(kHkeyCurrentUser, kShellFoldersKey, &key), kErrorSuccess);
  reg().SetString(key, "Programs", "D:\\Mine");
  reg().CloseKey(key);
  ASSERT_EQ(ProvisionShellFolders(reg(), nt4), kErrorSuccess);
  EXPECT_EQ(Folder(reg(), kHkeyCurrentUser, "Programs"), "D:\\Mine");
  EXPECT_EQ(Folder(reg(), kHkeyCurrentUser, "Startup"),
            "C:\\WINNT\\Profiles\\Administrator\\Start Menu\\Programs\\StartUp");
  EXPECT_EQ(Folder(reg(), kHkeyLocalMachine, "Common Startup"),
            "C:\\WINNT\\Profiles\\All Users\\Start Menu\\Programs\\Startup");

  SystemInfo w2k(WindowsVersion::kWin2000, "C:\\WINNT", "C:\\WINNT\\SYSTEM32");
  Reopen();
  reg().DeleteTree(kHkeyLocalMachine, kShellFoldersKey);
  ASSERT_EQ(ProvisionShellFolders(reg(), w2k), kErrorSuccess);
  EXPECT_EQ(Folder(reg(), kHkeyLocalMachine, "Common Startup"),
            "C:\\Documents and Settings\\All Users\\Start Menu\\Programs\\Startup");
}

}  // namespace
}  // namespace platform
