// A fresh machine with the setup's medium in drive A: and the scripted answers of a person who
// installs one model: the flow tests and the unattended end-to-end runs start from here.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/files/version_image.h"
#include "platform/files/files.h"
#include "platform/host/host.h"
#include "platform/modules/modules.h"
#include "platform/profile/profile.h"
#include "platform/system/system.h"
#include "platform/ui/dialog_driver.h"
#include "setup_flow.h"
#include "stand_ins.h"
#include "test_host.h"

namespace dssetup::testing {

// Two SCSI adapters; the setup's scanner on target 6 of the second.
inline const char* kScsiScannerMachine =
    "[machine]\nadapters=hba0,hba1\n"
    "[hba0]\nkind=scsi\nidentifier=hba0 scsi\ntarget2=flatbed\n"
    "[hba1]\nkind=scsi\nidentifier=hba1 scsi\ntarget6=identity\n"
    "[flatbed]\nmodel=Color   FlatbedScanner_4\noptical=600\n"
    "[identity]\ntype=identity\n";
inline const char* kNoScannerMachine =
    "[machine]\nadapters=hba0\n[hba0]\nkind=scsi\nidentifier=hba0 scsi\n";

inline std::filesystem::path MediumFolder() {
  const char* bin = std::getenv("SCANSUITE_BIN");
  return std::filesystem::path(bin ? bin : "bin") / ".." / "media" / "dssetup";
}

class FlowTest : public ::testing::Test {
 protected:
  explicit FlowTest(const char* machine = kScsiScannerMachine, const char* version = "win98")
      : host_(Settings(machine, version)) {}

  static platform::testing::TestHost::Settings Settings(const char* machine, const char* version) {
    platform::testing::TestHost::Settings s;
    s.machine = machine;
    s.version = version;
    return s;
  }

  // The medium in drive A: (or under `folder` of another drive), the ASPI layer's file with
  // the given version in the system folder (0: none).
  void Prepare(uint32_t aspiMs = 0x00040000, uint32_t aspiLs = 970,
               const std::string& folder = "A:\\") {
    std::filesystem::create_directories(host_.HostPath(folder));
    std::filesystem::copy(MediumFolder(), host_.HostPath(folder),
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing);
    if (aspiMs != 0) {
      host_.WriteFile(host_.host().system().SystemFolder() + "\\wnaspi32.dll",
                      platform::PeWithVersion(aspiMs, aspiLs, "ASPI layer"));
    }
    source_ = folder;
  }

  int RunSetup() {
    host_.host().modules().SetApplicationFolder(source_);
    SetupFlow flow(host_.host(), {source_, host_.host().system().WindowsFolder(),
                                  host_.host().system().SystemFolder()});
    return flow.Run();
  }

  // A person choosing `language`, then model `model`, answering the disk prompts with OK.
  void ExpectChoices(int language, std::vector<int> models = {0}) {
    ui().ExpectDialog("SPRACHEDLG", [language](platform::DialogDriver& d) {
      d.Select(1027, language);
      d.Click(platform::IDOK);
    });
    ui().ExpectDialog("StartDlg", platform::IDOK);
    ui().ExpectDialog("CHOOSESCANNER", [models](platform::DialogDriver& d) {
      d.SelectMany(1007, models);
      d.Click(platform::IDOK);
    });
  }

  std::string Read(const std::string& path) {
    return host_.host().files().ReadFile(path).value_or("<missing>");
  }
  std::string Ini(const std::string& file, const std::string& section, const std::string& key) {
    return host_.host().profiles().GetStringValue(section, key, "<none>", file);
  }
  std::string Kvt(const std::string& section, const std::string& key) {
    return Ini("C:\\WINDOWS\\twain_32\\KVT32.INI", section, key);
  }
  platform::ScriptedUi& ui() { return host_.ui(); }

  platform::testing::TestHost host_;
  std::string source_ = "A:\\";
};

}  // namespace dssetup::testing
