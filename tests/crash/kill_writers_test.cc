// Writers of stored state killed at random instants: the registry (an import through the API and
// through `scanreg import`), a profile write and an expansion over an existing file each leave
// the old content or the new, never anything else, and the store opens without a damage report.
// A writer that writes in place is caught by the same harness.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "dearc32/dearc32.h"
#include "kill_harness.h"
#include "platform/files/files.h"
#include "platform/profile/profile.h"
#include "platform/registry/regedit4.h"
#include "platform/registry/registry.h"
#include "test_host.h"
#include "tools/packer.h"

namespace {

constexpr int kKills = 1000;
constexpr int kValues = 40;

std::string Slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string RegeditText(const std::string& word) {
  std::string text = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Kill]\r\n";
  for (int i = 0; i < kValues; ++i) {
    text += "\"v" + std::to_string(i) + "\"=\"" + word + std::to_string(i) + "\"\r\n";
  }
  return text;
}

// "old", "new", or what the key holds when it is neither.
std::string RegistryState(const std::filesystem::path& file) {
  platform::Registry registry(file);
  if (!registry.OpenError().empty()) return "damage reported: " + registry.OpenError();
  platform::RegKey key = 0;
  if (registry.OpenKey(platform::kHkeyLocalMachine, "Software\\Kill", &key) != 0) return "no key";
  std::vector<platform::RegValue> values;
  registry.ListValues(key, &values);
  registry.CloseKey(key);
  if (values.size() != kValues) return std::to_string(values.size()) + " values";
  std::string state;
  for (const auto& v : values) {
    const std::string text(v.data.begin(), v.data.end());
    const std::string word = text.substr(0, 3);
    if (state.empty()) state = word;
    if (word != state) return "mixed values";
  }
  return state;
}

TEST(KillHarness, RegistryImportLeavesTheOldOrTheNewValues) {
  platform::testing::TestHost t({.virtualClock = false, .hardware = platform::NoHardware()});
  const std::filesystem::path store = t.root() / "registry.db";
  ASSERT_TRUE(platform::ImportRegedit4(t.host().registry(), RegeditText("old")).ok());
  const char* bin = std::getenv("SCANSUITE_BIN");
  const std::filesystem::path newFile = t.root() / "new.reg";
  const std::filesystem::path oldFile = t.root() / "old.reg";
  std::ofstream(newFile, std::ios::binary) << RegeditText("new");
  std::ofstream(oldFile, std::ios::binary) << RegeditText("old");
  int round = 0;
  auto write = [&](bool toNew) {
    // Every other round goes through the program, as an installer would run it.
    if (bin && round % 4 >= 2) {
      const std::string scanreg = std::string(bin) + "/scanreg";
      ::setenv("SCANSUITE_ROOT", t.root().c_str(), 1);
      ::setenv("SCANSUITE_UI", "scripted", 1);
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::dup2(null, 2);
      ::execl(scanreg.c_str(), "scanreg", "import", (toNew ? newFile : oldFile).c_str(), nullptr);
      ::_exit(127);
    }
    platform::Registry registry(store);
    platform::ImportRegedit4(registry, RegeditText(toNew ? "new" : "old"));
  };
  auto check = [&]() -> std::string {
    ++round;
    const std::string state = RegistryState(store);
    return state == "old" || state == "new" ? "" : state;
  };
  const crash::KillReport r = crash::RunKills("registry", kKills, write, check);
  EXPECT_EQ(r.torn, 0) << r.firstTear;
  EXPECT_GE(r.kills, kKills);
}

std::string ProfileText(const std::string& base) {
  std::string text = "; the scanner's settings\r\n[Port]\r\nBase=" + base + "\r\nMode=EPP\r\n";
  for (int i = 0; i < 300; ++i) text += "[Section" + std::to_string(i) + "]\r\nkey=value " + std::to_string(i) + "\r\n";
  return text;
}

TEST(KillHarness, ProfileWriteLeavesTheOldOrTheNewFileWithEveryOtherLine) {
  platform::testing::TestHost t({.virtualClock = false, .hardware = platform::NoHardware()});
  t.WriteFile("C:\\WINDOWS\\KILL.INI", ProfileText("0x278"));
  const std::filesystem::path file = t.HostPath("C:\\WINDOWS\\KILL.INI");
  const std::string before = ProfileText("0x278");
  const std::string after = ProfileText("0x378");
  auto write = [&](bool toNew) {
    t.host().profiles().WriteString("Port", "Base", toNew ? "0x378" : "0x278", "kill.ini");
  };
  auto check = [&]() -> std::string {
    const std::string now = Slurp(file);
    return now == before || now == after ? "" : std::to_string(now.size()) + " bytes of neither";
  };
  const crash::KillReport r = crash::RunKills("profile", kKills, write, check);
  EXPECT_EQ(r.torn, 0) << r.firstTear;
  EXPECT_GE(r.kills, kKills);
}

TEST(KillHarness, UnpackOverAnExistingFileLeavesTheOldOrTheNewFile) {
  platform::testing::TestHost t({.virtualClock = false, .hardware = platform::NoHardware()});
  std::string a(200000, '\0'), b(200000, '\0');
  for (size_t i = 0; i < a.size(); ++i) {
    a[i] = static_cast<char>((i * 7 + i / 13) & 0xFF);
    b[i] = static_cast<char>((i * 11 + i / 5) & 0x7F);
  }
  t.WriteFile("C:\\SRC\\A.BIN", a);
  t.WriteFile("C:\\SRC\\B.BIN", b);
  platform::FileSystem& files = t.host().files();
  ASSERT_TRUE(files.CreateDirectories("C:\\DISK"));
  ASSERT_EQ(dearc32::PackFile(files, {"C:\\SRC\\A.BIN", "C:\\DISK\\A.BI_", {}}), dearc32::PackResult::kDone);
  ASSERT_EQ(dearc32::PackFile(files, {"C:\\SRC\\B.BIN", "C:\\DISK\\B.BI_", {}}), dearc32::PackResult::kDone);
  ASSERT_EQ(Unpack("C:\\DISK\\B.BI_", "C:\\OUT.BIN", 0, 0), dearc32::kUnpackDone);
  const std::filesystem::path out = t.HostPath("C:\\OUT.BIN");
  auto write = [&](bool toNew) { Unpack(toNew ? "C:\\DISK\\A.BI_" : "C:\\DISK\\B.BI_", "C:\\OUT.BIN", 0, 0); };
  auto check = [&]() -> std::string {
    const std::string now = Slurp(out);
    return now == a || now == b ? "" : std::to_string(now.size()) + " bytes of neither";
  };
  const crash::KillReport r = crash::RunKills("unpack", kKills, write, check);
  EXPECT_EQ(r.torn, 0) << r.firstTear;
  EXPECT_GE(r.kills, kKills);
}

// The harness earns its keep: a writer that rewrites the file in place is caught.
TEST(KillHarness, CatchesAWriterThatWritesInPlace) {
  platform::testing::TestHost t({.virtualClock = false, .hardware = platform::NoHardware()});
  t.WriteFile("C:\\WINDOWS\\KILL.INI", ProfileText("0x278"));
  const std::filesystem::path file = t.HostPath("C:\\WINDOWS\\KILL.INI");
  const std::string before = ProfileText("0x278");
  const std::string after = ProfileText("0x378");
  auto write = [&](bool toNew) {
    const std::string& text = toNew ? after : before;
    const int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC);
    for (size_t at = 0; at < text.size(); at += 512) {
      if (::write(fd, text.data() + at, std::min<size_t>(512, text.size() - at)) < 0) break;
    }
    ::close(fd);
  };
  auto check = [&]() -> std::string {
    const std::string now = Slurp(file);
    return now == before || now == after ? "" : std::to_string(now.size()) + " bytes of neither";
  };
  const crash::KillReport r = crash::RunKills("in-place writer", 200, write, check);
  EXPECT_GT(r.torn, 0) << "the harness missed a writer that writes in place";
}

}  // namespace
