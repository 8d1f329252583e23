#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "platform/files/files.h"
#include "platform/profile/profile.h"
#include "platform/registry/registry.h"
#include "platform/system/system.h"
#include "test_host.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

TEST(HostTest, NewRootIsProvisionedAndInstalledForTheTest) {
  Host* before = nullptr;
  {
    testing::TestHost t;
    EXPECT_EQ(&Host::Current(), &t.host());
    EXPECT_TRUE(fs::exists(t.root() / "system.ini"));
    EXPECT_TRUE(fs::is_directory(t.HostPath("C:\\WINDOWS\\SYSTEM")));
    EXPECT_TRUE(fs::is_directory(t.HostPath("C:\\windows\\twain_32")));
    EXPECT_TRUE(fs::is_directory(t.HostPath("A:\\")));
    EXPECT_EQ(t.host().system().version(), WindowsVersion::kWin98);
    EXPECT_TRUE(t.host().clock().IsVirtual());
    {
      testing::TestHost inner({"win2000", true});
      EXPECT_EQ(&Host::Current(), &inner.host());
    }
    EXPECT_EQ(&Host::Current(), &t.host());
    before = &t.host();
  }
  EXPECT_NE(Host::Install(nullptr), before);
}

TEST(HostTest, NtPresetsHaveASystem32Folder) {
  testing::TestHost t({"nt4", true});
  EXPECT_TRUE(t.host().system().IsNt());
  EXPECT_EQ(t.host().system().SystemFolder(), "C:\\WINDOWS\\SYSTEM32");
  EXPECT_TRUE(t.host().files().IsDirectory("C:\\WINDOWS\\SYSTEM32"));
}

TEST(HostTest, ServicesWorkTogetherOnTheRoot) {
  testing::TestHost t;
  Host& host = t.host();
  ASSERT_TRUE(host.profiles().WriteString("Scanner", "Port", "2", "twain.ini"));
  EXPECT_TRUE(fs::exists(t.HostPath("C:\\WINDOWS\\TWAIN.INI")));
  RegKey key = 0;
  ASSERT_EQ(host.registry().CreateKey(kHkeyLocalMachine, "Software\\Test", &key), 0);
  ASSERT_EQ(host.registry().SetDword(key, "Value", 7), 0);
  host.registry().CloseKey(key);
  EXPECT_TRUE(fs::exists(t.root() / "registry.db"));
}

struct Marker : HostService {
  int value = 42;
};

TEST(HostTest, LaterSubsystemsAttachServices) {
  testing::TestHost t;
  EXPECT_EQ(t.host().Find<Marker>(), nullptr);
  t.host().Attach(std::make_unique<Marker>());
  ASSERT_NE(t.host().Find<Marker>(), nullptr);
  EXPECT_EQ(t.host().Find<Marker>()->value, 42);
}

// Hardware is an input: the host calls the installer it is given once, after its own services.
TEST(HostTest, HardwareIsPluggedInByWhoeverBuildsTheHost) {
  int calls = 0;
  bool servicesReady = false;
  testing::TestHost t({.hardware = [&](Host& host) {
    ++calls;
    servicesReady = host.files().IsDirectory("C:\\WINDOWS");
  }});
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(servicesReady);
  // No hardware library is linked into this program: the default is a machine with no devices.
  EXPECT_FALSE(DefaultHardware());
}

// Under test, a host that would land in the user's data folder is refused, naming the test.
TEST(HostTest, AHostWithNoRootUnderTestIsAnErrorNamingTheTest) {
  const char* test = std::getenv("SCANSUITE_TEST");
  if (test == nullptr) GTEST_SKIP() << "SCANSUITE_TEST is set when run through ctest";
  const char* root = std::getenv("SCANSUITE_ROOT");
  const std::string savedRoot = root ? root : "";
  ::unsetenv("SCANSUITE_ROOT");
  Host* previous = Host::Install(nullptr);
  try {
    Host::Current();
    ADD_FAILURE() << "a host was built with no root";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("AHostWithNoRootUnderTestIsAnErrorNamingTheTest"),
              std::string::npos) << e.what();
  }
  Host::Install(previous);
  if (root) ::setenv("SCANSUITE_ROOT", savedRoot.c_str(), 1);
}

std::string Shell(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  std::array<char, 4096> buffer{};
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
  pclose(pipe);
  return output;
}

// A program that sets up no host gets the default one, on SCANSUITE_ROOT.
TEST(HostTest, DefaultHostComesFromTheEnvironment) {
  const char* bin = std::getenv("SCANSUITE_BIN");
  if (!bin) GTEST_SKIP() << "SCANSUITE_BIN is set when run through ctest";
  testing::TempDir dir;
  fs::path root = dir.path() / "fresh root";
  std::string env = "SCANSUITE_ROOT='" + root.string() + "' SCANSUITE_UI=scripted ";
  std::string shown = Shell(env + "'" + std::string(bin) + "/scanhost' show");
  EXPECT_NE(shown.find("host root: " + root.string()), std::string::npos) << shown;
  EXPECT_NE(shown.find("win98"), std::string::npos) << shown;
  EXPECT_TRUE(fs::exists(root / "system.ini"));
  Shell(env + "'" + std::string(bin) + "/scanhost' version nt4");
  EXPECT_EQ(Shell(env + "'" + std::string(bin) + "/scanhost' version"), "nt4\n");
  Shell(env + "'" + std::string(bin) + "/scanhost' ini kvt32.ini Port Base 0x378");
  EXPECT_EQ(Shell(env + "'" + std::string(bin) + "/scanhost' ini KVT32.INI port base"), "0x378\n");
  EXPECT_EQ(Shell(env + "'" + std::string(bin) + "/scanhost' path 'C:\\Windows\\Kvt32.ini'"),
            (root / "drives/c/WINDOWS/kvt32.ini").string() + "\n");
}

}  // namespace
}  // namespace platform
