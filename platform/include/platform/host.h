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
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <typeindex>
#include <utility>

namespace platform {

class Clock;
class FileSystem;
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
  };

  explicit Host(Options options);
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // The current host; made on first use from SCANSUITE_ROOT, else the user's data folder.
  static Host& Current();
  // Makes `host` current (null for none) and returns the one that was.
  static Host* Install(Host* host);
  static std::filesystem::path DefaultRoot();

  const std::filesystem::path& root() const { return root_; }
  Clock& clock() { return *clock_; }
  FileSystem& files() { return *files_; }
  ProfileFiles& profiles() { return *profiles_; }
  Registry& registry() { return *registry_; }
  SystemInfo& system() { return *system_; }
  UserInterface& ui() { return *ui_; }
  Modules& modules() { return *modules_; }
  void SetUserInterface(std::unique_ptr<UserInterface> ui);

  // Services added by later subsystems, one per type, owned by the host and destroyed before
  // the built-in ones.
  template <class T>
  T* Find() {
    auto it = services_.find(std::type_index(typeid(T)));
    return it == services_.end() ? nullptr : static_cast<T*>(it->second.get());
  }
  template <class T>
  T& Attach(std::unique_ptr<T> service) {
    T& ref = *service;
    services_[std::type_index(typeid(T))] = std::move(service);
    return ref;
  }

 private:
  std::filesystem::path root_;
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<SystemInfo> system_;
  std::unique_ptr<FileSystem> files_;
  std::unique_ptr<ProfileFiles> profiles_;
  std::unique_ptr<Registry> registry_;
  std::unique_ptr<UserInterface> ui_;
  std::unique_ptr<Modules> modules_;
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
