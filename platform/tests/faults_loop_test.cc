// The fault seam proven on two writers of stored state: each file (or store) operation they make
// is failed in turn, N = 1, 2, ... until the operation gets through; every failure must report
// the documented error and leave the stored state exactly as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/faults/faults.h"
#include "platform/files/files.h"
#include "platform/profile/profile.h"
#include "platform/registry/regedit4.h"
#include "platform/registry/registry.h"
#include "platform/system/errors.h"
#include "fault_loop.h"
#include "test_host.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

constexpr const char* kImport =
    "REGEDIT4\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Loop]\r\n"
    "\"Name\"=\"scanner\"\r\n"
    "\"Count\"=dword:0000002a\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Loop\\Inner]\r\n"
    "@=hex:01,02,03\r\n";

bool ImportedAnything(Registry& registry) {
  RegKey key = 0;
  if (registry.OpenKey(kHkeyLocalMachine, "Software\\Loop", &key) != kErrorSuccess) return false;
  registry.CloseKey(key);
  return true;
}

// Reads the text from a file of drive C: (file faults) and imports it (store faults).
RegeditError ImportFile(Host& host, std::string_view path) {
  std::optional<std::string> text = host.files().ReadFile(path);
  if (!text) return RegeditError{static_cast<long>(GetLastError()), 0, "cannot read"};
  return ImportRegedit4(host.registry(), *text);
}

class FaultLoopTest : public ::testing::TestWithParam<std::string> {};

TEST_P(FaultLoopTest, RegistryImportIsAllOrNothingAtEveryFailure) {
  testing::TestHost t({.hardware = NoHardware()});
  t.WriteFile("C:\\loop.reg", kImport);
  Faults& faults = t.host().faults();
  const std::string point = GetParam();
  int n = 1;
  for (;; ++n) {
    ASSERT_LT(n, 200) << "the import never got through";
    faults.FailNth(point, n);
    const uint64_t failedBefore = faults.Failures(point);
    RegeditError result = ImportFile(t.host(), "C:\\loop.reg");
    const bool fired = faults.Failures(point) > failedBefore;
    faults.ClearAll();
    if (result.ok()) {
      EXPECT_FALSE(fired) << n;  // a swallowed failure must not end in success
      break;
    }
    ASSERT_TRUE(fired) << n << ": failed with nothing injected: " << result.message;
    // A file that cannot be read fails as a read does; a store statement that fails rolls the
    // whole import back.
    EXPECT_TRUE(result.code == kErrorAccessDenied || result.code == kErrorReadFault ||
                result.code == kErrorWriteFault)
        << n << ": " << result.code << " " << result.message;
    EXPECT_FALSE(ImportedAnything(t.host().registry())) << n;
  }
  EXPECT_GT(n, 1);  // at least one operation was failed on the way
  RegKey key = 0;
  ASSERT_EQ(t.host().registry().OpenKey(kHkeyLocalMachine, "Software\\Loop", &key), kErrorSuccess);
  std::string name;
  EXPECT_EQ(t.host().registry().GetString(key, "Name", &name), kErrorSuccess);
  EXPECT_EQ(name, "scanner");
  t.host().registry().CloseKey(key);
}

INSTANTIATE_TEST_SUITE_P(EveryPoint, FaultLoopTest,
                         ::testing::Values(std::string("files"), std::string("registry.store")));

TEST(FaultLoopTest, ProfileWriteKeepsTheOldFileAtEveryFailure) {
  testing::TestHost t({.hardware = NoHardware()});
  const std::string before = "; settings\r\n[Port]\r\nBase=0x278\r\n\r\n[Other]\r\nkept=1\r\n";
  t.WriteFile("C:\\WINDOWS\\KVT32.INI", before);
  const fs::path file = t.HostPath("C:\\WINDOWS\\KVT32.INI");
  Faults& faults = t.host().faults();
  int n = 1;
  for (;; ++n) {
    ASSERT_LT(n, 100) << "the write never got through";
    faults.FailNth("files", n);
    const uint64_t failedBefore = faults.Failures("files");
    const bool written = t.host().profiles().WriteString("Port", "Base", "0x378", "kvt32.ini");
    const bool fired = faults.Failures("files") > failedBefore;
    faults.ClearAll();
    if (written) {
      EXPECT_FALSE(fired) << n;
      break;
    }
    ASSERT_TRUE(fired) << n;
    EXPECT_NE(GetLastError(), kErrorSuccess) << n;
    std::optional<std::string> now = t.host().files().ReadFile("C:\\WINDOWS\\KVT32.INI");
    ASSERT_TRUE(now) << n;
    EXPECT_EQ(*now, before) << n;
    // No temporary file is left beside it.
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(file.parent_path())) ++entries;
    EXPECT_EQ(entries, 3u) << n;  // SYSTEM, TWAIN_32 and the file itself
  }
  EXPECT_GT(n, 1);
  EXPECT_EQ(t.host().profiles().GetStringValue("Port", "Base", "", "kvt32.ini"), "0x378");
  EXPECT_EQ(t.host().profiles().GetStringValue("Other", "kept", "", "kvt32.ini"), "1");
}

// Every other writer of the registry and of profile files, through the same loop: setting and
// deleting values, deleting keys, deleting a profile key and a section.
TEST(FaultLoopTest, EveryRegistryAndProfileWriterFailsWholeOrNotAtAll) {
  testing::TestHost t({.hardware = NoHardware()});
  Registry& reg = t.host().registry();
  RegKey key = 0;
  ASSERT_EQ(reg.CreateKey(kHkeyLocalMachine, "Software\\Loop", &key), kErrorSuccess);
  ASSERT_EQ(reg.SetString(key, "kept", "yes"), kErrorSuccess);
  ASSERT_EQ(reg.SetDword(key, "gone", 1), kErrorSuccess);
  auto unchanged = [&](int n) {
    std::string kept;
    EXPECT_EQ(reg.GetString(key, "kept", &kept), kErrorSuccess) << n;
    EXPECT_EQ(kept, "yes") << n;
  };
  long code = 0;
  auto registryOp = [&](const std::function<long()>& op) {
    return [&, op] {
      code = op();
      if (code != kErrorSuccess) {
        EXPECT_EQ(code, kErrorWriteFault);
      }
      return code == kErrorSuccess;
    };
  };
  auto r = testing::FailEachInTurn(t.host().faults(), fault_point::kRegistryStore,
                                   registryOp([&] { return reg.SetString(key, "new", "value"); }),
                                   [&](int n) {
                                     unchanged(n);
                                     uint32_t size = 0;
                                     EXPECT_EQ(reg.QueryValue(key, "new", nullptr, nullptr, &size),
                                               kErrorFileNotFound) << n;
                                   });
  EXPECT_GT(r.completedAt, 1);
  EXPECT_EQ(r.unreported + r.spurious, 0);
  r = testing::FailEachInTurn(t.host().faults(), fault_point::kRegistryStore,
                              registryOp([&] { return reg.DeleteValue(key, "gone"); }),
                              [&](int n) {
                                uint32_t value = 0;
                                EXPECT_EQ(reg.GetDword(key, "gone", &value), kErrorSuccess) << n;
                              });
  EXPECT_GT(r.completedAt, 1);
  EXPECT_EQ(r.unreported + r.spurious, 0);
  reg.CloseKey(key);
  r = testing::FailEachInTurn(t.host().faults(), fault_point::kRegistryStore,
                              registryOp([&] { return reg.DeleteTree(kHkeyLocalMachine, "Software\\Loop"); }),
                              [&](int n) {
                                RegKey again = 0;
                                EXPECT_EQ(reg.OpenKey(kHkeyLocalMachine, "Software\\Loop", &again), kErrorSuccess) << n;
                                reg.CloseKey(again);
                              });
  EXPECT_GT(r.completedAt, 1);
  EXPECT_EQ(r.unreported + r.spurious, 0);

  const std::string text = "[Keep]\r\na=1\r\n[Port]\r\nBase=0x278\r\nMode=EPP\r\n";
  t.WriteFile("C:\\WINDOWS\\LOOP.INI", text);
  auto fileUnchanged = [&](int n) {
    EXPECT_EQ(t.host().files().ReadFile("C:\\WINDOWS\\LOOP.INI").value_or(""), text) << n;
  };
  ProfileFiles& profiles = t.host().profiles();
  r = testing::FailEachInTurn(t.host().faults(), "files",
                              [&] { return profiles.WriteString("Port", "Mode", nullptr, "loop.ini"); },
                              fileUnchanged);
  EXPECT_GT(r.completedAt, 1);
  EXPECT_EQ(r.unreported + r.spurious, 0);
  t.WriteFile("C:\\WINDOWS\\LOOP.INI", text);
  r = testing::FailEachInTurn(t.host().faults(), "files",
                              [&] { return profiles.WriteString("Port", nullptr, nullptr, "loop.ini"); },
                              fileUnchanged);
  EXPECT_GT(r.completedAt, 1);
  EXPECT_EQ(r.unreported + r.spurious, 0);
  EXPECT_EQ(t.host().files().ReadFile("C:\\WINDOWS\\LOOP.INI").value_or(""), "[Keep]\r\na=1\r\n");
  // Several entries at once: all of them or none.
  t.WriteFile("C:\\WINDOWS\\LOOP.INI", text);
  r = testing::FailEachInTurn(t.host().faults(), "files",
                              [&] {
                                return profiles.WriteStrings({{"Port", "Base", "0x378"},
                                                              {"Port", "Mode", "ECP"},
                                                              {"New", "b", "2"}},
                                                             "loop.ini");
                              },
                              fileUnchanged);
  EXPECT_GT(r.completedAt, 1);
  EXPECT_EQ(r.unreported + r.spurious, 0);
  EXPECT_EQ(t.host().files().ReadFile("C:\\WINDOWS\\LOOP.INI").value_or(""),
            "[Keep]\r\na=1\r\n[Port]\r\nBase=0x378\r\nMode=ECP\r\n[New]\r\nb=2\r\n");
}

}  // namespace
}  // namespace platform
