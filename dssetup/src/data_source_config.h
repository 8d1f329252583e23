// What the setup writes for the data source: its configuration file KVT32.INI (colour tables,
// chosen models, port settings, language) and its control-panel applet in CONTROL.INI.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "setup_script.h"

namespace platform {
class ProfileFiles;
}

namespace dssetup {

// The port settings record, in the order of its keys in [ScanOptions].
struct PortSettings {
  int32_t scanDeviceType = -2;    // 0 SCSI, 1 parallel port
  int32_t scanParallelType = -2;  // 11..15
  int32_t lptId = -2;             // 1-based
  int32_t scanScsiType = -2;      // read and written back unchanged
  int32_t scsiId = -2;
  int32_t scsiHaId = -2;
};

inline constexpr int32_t kDeviceScsi = 0;
inline constexpr int32_t kDeviceParallel = 1;
inline constexpr int32_t kParallelStandard = 11;
inline constexpr int32_t kParallelHighSpeed = 15;

class DataSourceConfig {
 public:
  DataSourceConfig(platform::ProfileFiles& profiles, const SetupPaths& paths)
      : profiles_(profiles), paths_(paths) {}

  // [COLORCOMFORT] from the tables of the last model the script was extended for.
  void WriteColorComfort(const ChosenTables& tables);
  // [SCANNERMODELLS] and one section per chosen model, in the order chosen; a model with a
  // missing table count ends the writing there.
  void WriteModels(const SetupScript& script, const std::vector<std::string>& chosen);
  // [Options] Language, for the languages that have a code.
  void WriteLanguage(int languageIndex);
  // The applet in CONTROL.INI [MMCPL], once.
  void RegisterControlPanelApplet();

  // Empty record fields read as -2; `complete` is false when any key is missing.
  PortSettings ReadPortSettings(bool* complete) const;
  void WritePortSettings(const PortSettings& settings);

 private:
  std::string Twain() const { return paths_.Twain(); }
  std::vector<std::string> ModelLines(const ModelTables& tables) const;

  platform::ProfileFiles& profiles_;
  const SetupPaths& paths_;
};

}  // namespace dssetup
