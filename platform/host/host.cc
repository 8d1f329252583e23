#include "platform/host/host.h"

#include <cctype>
#include <cstdlib>
#include <mutex>
#include <stdexcept>

#include "platform/clock/clock.h"
#include "platform/devices/device_paths.h"
#include "platform/faults/faults.h"
#include "platform/memory/memory.h"
#include "platform/files/files.h"
#include "platform/modules/modules.h"
#include "platform/profile/profile.h"
#include "platform/registry/registry.h"
#include "platform/system/system.h"
#include "platform/ui/ui.h"
#include "platform/files/winpath.h"
#include "platform/registry/windows_keys.h"

namespace platform {

namespace fs = std::filesystem;

namespace {
std::mutex currentMutex;
Host* current = nullptr;
std::unique_ptr<Host> defaultHost;

DriveTable ReadDrives(const ProfileFiles& ini, const std::string& systemIni, const fs::path& root) {
  DriveTable drives;
  for (const std::string& letter : ini.GetKeys("drives", systemIni)) {
    if (letter.size() != 1 || !std::isalpha(static_cast<unsigned char>(letter[0]))) continue;
    fs::path folder = ini.GetStringValue("drives", letter, "", systemIni);
    if (folder.empty()) continue;
    drives.Map(letter[0], folder.is_absolute() ? folder : root / folder);
  }
  return drives;
}
}  // namespace

Host::Host(Options options) : root_(std::move(options.root)) {
  ProvisionRoot(root_);
  faults_ = std::make_unique<Faults>();
  if (options.virtualClock) {
    clock_ = std::make_unique<VirtualClock>();
  } else {
    clock_ = std::make_unique<RealClock>();
  }
  // system.ini is read through a file system without drives: its path is a host path.
  FileSystem bare(DriveTable{}, root_ / "attributes.db");
  ProfileFiles ini(bare, "");
  const std::string systemIni = (root_ / "system.ini").string();
  WindowsVersion version =
      ParseVersionPreset(ini.GetStringValue("system", "version", "win98", systemIni))
          .value_or(WindowsVersion::kWin98);
  std::string windir = ini.GetStringValue("system", "WindowsFolder", "C:\\WINDOWS", systemIni);
  bool nt = VersionRecordFor(version).platformId == kPlatformWin32Nt;
  std::string sysdir = ini.GetStringValue(
      "system", "SystemFolder", JoinWindowsPath(windir, nt ? "SYSTEM32" : "SYSTEM"), systemIni);

  system_ = std::make_unique<SystemInfo>(version, windir, sysdir);
  files_ = std::make_unique<FileSystem>(ReadDrives(ini, systemIni, root_), root_ / "attributes.db",
                                        faults_.get());
  files_->CreateDirectories(sysdir);
  profiles_ = std::make_unique<ProfileFiles>(*files_, windir);
  registry_ = std::make_unique<Registry>(root_ / "registry.db", faults_.get());
  // Every installed Windows has its shell folders; a failure leaves them missing, as setup
  // programs of the time were prepared for.
  ProvisionShellFolders(*registry_, *system_);
  ui_ = options.ui ? std::move(options.ui) : CreateDefaultUserInterface();
  modules_ = std::make_unique<Modules>(*files_, sysdir, windir);
  memory_ = std::make_unique<WorkMemory>(faults_.get());
  devices_ = std::make_unique<DevicePaths>();
  // The hardware on the desk comes last: it uses the registry, the clock and the modules.
  HardwareInstaller hardware = options.hardware ? std::move(options.hardware) : DefaultHardware();
  if (hardware) hardware(*this);
}

Host::~Host() {
  // Later subsystems may still use the built-in services while they shut down.
  services_.clear();
}


fs::path Host::DefaultRoot() {
  if (const char* root = std::getenv("SCANSUITE_ROOT"); root && *root) return root;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
    return fs::path(data) / "scansuite";
  }
  if (const char* home = std::getenv("HOME"); home && *home) {
    return fs::path(home) / ".local" / "share" / "scansuite";
  }
  return fs::temp_directory_path() / "scansuite";
}

Host& Host::Current() {
  std::lock_guard<std::mutex> lock(currentMutex);
  if (current == nullptr) {
    const char* test = std::getenv("SCANSUITE_TEST");
    const char* root = std::getenv("SCANSUITE_ROOT");
    if (test && *test && !(root && *root)) {
      throw std::runtime_error(std::string("test ") + test +
                               " built a host with no root: install a test host (TestHost)");
    }
    if (!defaultHost) {
      Options options;
      options.root = DefaultRoot();
      defaultHost = std::make_unique<Host>(std::move(options));
    }
    current = defaultHost.get();
  }
  return *current;
}

Host* Host::Install(Host* host) {
  std::lock_guard<std::mutex> lock(currentMutex);
  Host* previous = current;
  current = host;
  return previous;
}

}  // namespace platform
