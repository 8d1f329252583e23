// What the library keeps once per process: the platform services it was given, its resources
// (string table and dialog templates, registered as the module "ScanCore.dll"), the message file
// and the Windows version code of the bus rescan. A host stands for one process's machine, so
// the state hangs off the host; Of() is the one place where the library meets the host.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/modules/dialog_template.h"
#include "platform/host/host.h"
#include "platform/modules/modules.h"
#include "scancore/message_file.h"
#include "services.h"

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
  explicit LibraryState(const ScanCoreServices& services);
  ~LibraryState() override;

  const ScanCoreServices& services() const { return services_; }

  std::string String(uint32_t id) const;  // empty when the table has no such string
  std::optional<platform::DialogTemplate> Dialog(const platform::ResourceId& id) const;
  const CMessageFile& messages();
  // Where the process's message file lies (a Windows path), from the application's settings.
  std::string MessageFileLocation() const;

  // The rescan's Windows version code, worked out once.
  std::optional<uint8_t> osCode;

 private:
  ScanCoreServices services_;
  platform::ModuleHandle module_ = 0;
  std::unique_ptr<CMessageFile> messages_;
};


}  // namespace scancore
