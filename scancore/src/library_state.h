// What the library keeps once per process: its resources (string table and dialog templates,
// registered as the module "ScanCore.dll"), the message file and the Windows version code of
// the bus rescan. A host stands for one process's machine, so the state hangs off the host.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/dialog_template.h"
#include "platform/host.h"
#include "platform/modules.h"
#include "scancore/message_file.h"

namespace scancore {

inline constexpr std::string_view kLibraryModule = "ScanCore.dll";

// String table entries.
inline constexpr uint32_t kStrRegistryKey = 6;
inline constexpr uint32_t kStrDefaultFolder = 7;
inline constexpr uint32_t kStrVersion = 8;
inline constexpr uint32_t kStrDefaultStem = 9;
inline constexpr uint32_t kStrPathValue = 10;
inline constexpr uint32_t kStrNameValue = 11;
inline constexpr uint32_t kStrNotFoundFirst = 6017;
inline constexpr uint32_t kStrNotFoundAgain = 7003;

// The selection dialog and its list.
inline constexpr int kDlgSelectScanner = 100;
inline constexpr int kCtlScannerList = 1000;

// The progress dialog: its text line and bar (its Cancel button is IDCANCEL).
inline constexpr std::string_view kDlgProgress = "Progress";
inline constexpr int kCtlProgressText = 1224;
inline constexpr int kCtlProgressBar = 42072;

// Strings of the scan.
inline constexpr uint32_t kStrWarmingUp = 7001;
inline constexpr uint32_t kStrReading = 7002;
inline constexpr uint32_t kStrParallelDevices = 7005;

// The library's resource script, built into the library.
std::string_view LibraryResourceScript();

class LibraryState : public platform::HostService {
 public:
  static LibraryState& Of(platform::Host& host);
  explicit LibraryState(platform::Host& host);
  ~LibraryState() override;

  std::string String(uint32_t id) const;  // empty when the table has no such string
  std::optional<platform::DialogTemplate> Dialog(const platform::ResourceId& id) const;
  const CMessageFile& messages();

  // The rescan's Windows version code, worked out once.
  std::optional<uint8_t> osCode;

 private:
  platform::Host& host_;
  platform::ModuleHandle module_ = 0;
  std::unique_ptr<CMessageFile> messages_;
};

inline std::string LibraryString(platform::Host& host, uint32_t id) {
  return LibraryState::Of(host).String(id);
}

}  // namespace scancore
