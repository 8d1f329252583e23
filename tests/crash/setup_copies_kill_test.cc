// The setup programs' copies killed at random instants: the host-adapter setup's copy run over
// files already installed, and the data-source setup's copy of its file list (each entry read
// by the setup's entry parser, its packed file found on the medium and expanded to where the
// entry sends it). Every destination holds its old bytes or its new ones, and the file beside
// them that no copy touches is left as it was.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "copy_run.h"
#include "dearc32/dearc32.h"
#include "file_entry.h"
#include "kill_harness.h"
#include "platform/files/files.h"
#include "platform/modules/resources.h"
#include "program.h"
#include "setup_context.h"
#include "setup_paths.h"
#include "setup_shell.h"
#include "test_host.h"
#include "tools/packer.h"
#include "uninstall_record.h"

namespace {

constexpr int kKills = 1000;
constexpr size_t kFiles = 3;
const std::string kBystander = "C:\\WINDOWS\\SYSTEM\\KEEP.DAT";

// Bytes that differ from file to file and between the old and the new version of each.
std::string Content(size_t file, bool isNew) {
  std::string s(60000 + file * 7000, '\0');
  for (size_t i = 0; i < s.size(); ++i) {
    s[i] = static_cast<char>(isNew ? (i * 13 + file + i / 7) : (i * 5 + 3 * file + i / 11));
  }
  return s;
}

// Empty when every destination holds its old or its new bytes and the bystander is untouched;
// else what the first one that does not holds.
std::string CheckDestinations(platform::FileSystem& files, const std::vector<std::string>& destinations) {
  for (size_t i = 0; i < destinations.size(); ++i) {
    const std::optional<std::string> now = files.ReadFile(destinations[i]);
    if (!now) return destinations[i] + " is missing";
    if (*now != Content(i, false) && *now != Content(i, true)) {
      return destinations[i] + " holds " + std::to_string(now->size()) + " bytes of neither version";
    }
  }
  const std::optional<std::string> bystander = files.ReadFile(kBystander);
  if (!bystander || *bystander != "unrelated") return "the file beside them was damaged";
  return {};
}

class NoWindows : public hbasetup::SetupShell {
 public:
  bool StartProgram(std::string_view, int) override { return true; }
  uintptr_t FindTopLevelWindow(std::string_view) override { return 0; }
  void RequestClose(uintptr_t) override {}
  bool RequestRestart() override { return false; }
};

TEST(KillHarness, HostAdapterSetupCopyRunLeavesEachFileOldOrNew) {
  platform::testing::TestHost t({.hardware = platform::NoHardware()});
  platform::Host& h = t.host();
  const platform::ResourceScript resources =
      *platform::ParseResourceScript(hbasetup::ResourceScriptText()).script;
  NoWindows shell;
  const hbasetup::SetupContext context{h.files(), h.registry(), h.system(), h.ui(), h.clock(),
                                       nullptr, shell, resources, "A:\\"};
  std::vector<hbasetup::CopyItem> toOld, toNew;
  std::vector<std::string> destinations;
  for (size_t i = 0; i < kFiles; ++i) {
    const std::string name = "F" + std::to_string(i) + ".SYS";
    t.WriteFile("A:\\OLD\\" + name, Content(i, false));
    t.WriteFile("A:\\NEW\\" + name, Content(i, true));
    destinations.push_back("C:\\WINDOWS\\SYSTEM\\" + name);
    t.WriteFile(destinations.back(), Content(i, false));
    toOld.push_back({"A:\\OLD\\" + name, destinations.back()});
    toNew.push_back({"A:\\NEW\\" + name, destinations.back()});
  }
  t.WriteFile(kBystander, "unrelated");
  auto write = [&](bool useNew) {
    hbasetup::UninstallRecord record(h.registry(), "Kill");
    hbasetup::RunCopy(context, useNew ? toNew : toOld, false, 0, record);
  };
  auto check = [&] { return CheckDestinations(h.files(), destinations); };
  const crash::KillReport r = crash::RunKills("hbasetup copy run", kKills, write, check);
  EXPECT_EQ(r.torn, 0) << r.firstTear;
  EXPECT_GE(r.kills, kKills);
  EXPECT_GT(r.completed, 0);
}

TEST(KillHarness, DataSourceSetupCopiesLeaveEachFileOldOrNew) {
  platform::testing::TestHost t({.hardware = platform::NoHardware()});
  platform::FileSystem& files = t.host().files();
  // Two media with the same file list: the version installed and the one replacing it.
  const dssetup::SetupPaths oldMedium{"C:\\OLDDISK\\", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"};
  const dssetup::SetupPaths newMedium{"C:\\NEWDISK\\", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"};
  const std::vector<std::string> entries = {"\\KVT32.DLL \\KVTWAIN \\TWAIN_32 1",
                                            "\\KVT32.INI,\\KVTWAIN,\\TWAIN_32,1",
                                            "\\KVTSCAN.DRV \\DRIVERS \\WINDOWS 1"};
  ASSERT_EQ(entries.size(), kFiles);
  std::vector<std::string> destinations;
  for (size_t i = 0; i < kFiles; ++i) {
    const std::optional<dssetup::FileEntry> entry = dssetup::ParseFileEntry(entries[i]);
    ASSERT_TRUE(entry);
    for (const dssetup::SetupPaths* medium : {&oldMedium, &newMedium}) {
      const std::string plain = medium->source + "PLAIN" + std::to_string(i);
      t.WriteFile(plain, Content(i, medium == &newMedium));
      const std::string packed = dssetup::PackedSourcePath(*medium, *entry);
      ASSERT_TRUE(files.CreateDirectories(packed.substr(0, packed.rfind('\\'))));
      ASSERT_EQ(dearc32::PackFile(files, {plain, packed, {}}), dearc32::PackResult::kDone) << packed;
    }
    const std::optional<std::string> destination =
        dssetup::DestinationPath(oldMedium, *entry, files.CurrentDirectory());
    ASSERT_TRUE(destination);
    destinations.push_back(*destination);
    t.WriteFile(*destination, Content(i, false));
  }
  t.WriteFile(kBystander, "unrelated");
  // The copy step's work for each entry, as the setup does it.
  auto write = [&](bool useNew) {
    const dssetup::SetupPaths& medium = useNew ? newMedium : oldMedium;
    for (const std::string& text : entries) {
      const dssetup::FileEntry entry = *dssetup::ParseFileEntry(text);
      const std::string packed = dssetup::PackedSourcePath(medium, entry);
      const std::string destination = *dssetup::DestinationPath(medium, entry, files.CurrentDirectory());
      if (Unpack(packed.c_str(), destination.c_str(), 0, 0) != dearc32::kUnpackDone) ::_exit(3);
    }
  };
  ASSERT_TRUE(CheckDestinations(files, destinations).empty());
  auto check = [&] { return CheckDestinations(files, destinations); };
  const crash::KillReport r = crash::RunKills("dssetup copies", kKills, write, check);
  EXPECT_EQ(r.torn, 0) << r.firstTear;
  EXPECT_GE(r.kills, kKills);
  // Some rounds ran to the end: the new version did arrive.
  EXPECT_GT(r.completed, 0);
}

}  // namespace
