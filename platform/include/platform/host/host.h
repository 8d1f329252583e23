// One host stands for one Windows machine: a root folder with the drives, the registry, the
// system and machine descriptions, and the services built on them. The process has one current
// host; deliverables reach it only at their fixed entry points and pass services on from there.
//
// Root layout:
//   <root>/system.ini    Windows version preset, drive table, Windows and system folders
//   <root>/machine.ini   emulated hardware
//   <root>/registry.db   the registry
//   <root>/drives/<x>/   drive X:
// The first use of a root provisions it (the default machine), so a new user can start at once.
//
// The host is the composition root of the platform: it builds the built-in services, then plugs
// in the hardware it was given (hardware.h). It never names a particular kind of hardware.
//
// Threads. The built-in services exist from construction to destruction and may be reached from
// any thread; each states its own rules. The map of attached services is locked: Find, Attach
// and FindOrAttach may be called from any thread, and a service once attached stays until the
// host goes. Install and Current may be called from any thread; a host must outlive its
// installation.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <typeindex>
#include <utility>

#include "platform/host/hardware.h"

namespace platform {

class Clock;
class DevicePaths;
class Faults;
class FileSystem;
class WorkMemory;
class ProfileFiles;
class Registry;
class SystemInfo;
class UserInterface;
class Modules;

// Something a later subsystem attaches to the host (ASPI layers, COM, kernel I/O, ports, shell).
class HostService {
 public:
  virtual ~HostService() = default;
};

class Host {
 public:
  struct Options {
    std::filesystem::path root;
    bool virtualClock = false;
    std::unique_ptr<UserInterface> ui;  // null: chosen from the environment (SCANSUITE_UI)
    // The hardware on the desk. Empty: the default hardware of the process (hardware.h), or a
    // machine with no devices when no hardware library registered one.
    HardwareInstaller hardware;
  };

  explicit Host(Options options);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The current host; made on first use from SCANSUITE_ROOT, else the user's data folder. Under
  // test (SCANSUITE_TEST set) without SCANSUITE_ROOT it throws std::runtime_error naming the
  // test instead: a test installs a host of its own and never touches the user's data folder.
  static Host& Current();
  // Makes `host` current (null for none) and returns the one that was.
  static Host* Install(Host* host);
  static std::filesystem::path DefaultRoot();

  const std::filesystem::path& root() const { return root_; }
  Clock& clock() { return *clock_; }
  Faults& faults() { return *faults_; }
  WorkMemory& memory() { return *memory_; }
  // The device objects a program opens as "\\.\NAME" (device_paths.h).
  DevicePaths& devices() { return *devices_; }
  FileSystem& files() { return *files_; }
  ProfileFiles& profiles() { return *profiles_; }
  Registry& registry() { return *registry_; }
  SystemInfo& system() { return *system_; }
  UserInterface& ui() { return *ui_; }
  Modules& modules() { return *modules_; }

  // Services added by later subsystems, one per type, owned by the host and destroyed before
  // the built-in ones.
  template <class T>
  T* Find() {
    std::lock_guard lock(servicesMutex_);
    auto it = services_.find(std::type_index(typeid(T)));
    return it == services_.end() ? nullptr : static_cast<T*>(it->second.get());
  }
  template <class T>
  T& Attach(std::unique_ptr<T> service) {
    std::lock_guard lock(servicesMutex_);
    T& ref = *service;
    services_[std::type_index(typeid(T))] = std::move(service);
    return ref;
  }
  // The service of type T, made by `make()` (which may attach other services) when missing; one
  // caller makes it when several threads ask at once.
  template <class T, class Make>
  T& FindOrAttach(Make make) {
    std::lock_guard lock(servicesMutex_);
    if (T* existing = Find<T>()) return *existing;
    return Attach<T>(make());
  }

 private:
  std::filesystem::path root_;
  std::unique_ptr<Faults> faults_;
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<SystemInfo> system_;
  std::unique_ptr<FileSystem> files_;
  std::unique_ptr<ProfileFiles> profiles_;
  std::unique_ptr<Registry> registry_;
  std::unique_ptr<UserInterface> ui_;
  std::unique_ptr<Modules> modules_;
  std::unique_ptr<WorkMemory> memory_;
  std::unique_ptr<DevicePaths> devices_;
  std::recursive_mutex servicesMutex_;  // recursive: a service's constructor may attach others
  std::map<std::type_index, std::unique_ptr<HostService>> services_;
};

// Installs a host for the lifetime of the scope and puts the previous one back afterwards.
class ScopedHost {
 public:
  explicit ScopedHost(Host& host) : previous_(Host::Install(&host)) {}
  ~ScopedHost() { Host::Install(previous_); }
  ScopedHost(const ScopedHost&) = delete;
  ScopedHost& operator=(const ScopedHost&) = delete;

 private:
  Host* previous_;
};

// Writes the default system.ini and drive folders into `root` when they are missing.
void ProvisionRoot(const std::filesystem::path& root);

}  // namespace platform
