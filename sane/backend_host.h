// The host the backend's scanners live on, made by sane_init and gone with sane_exit. The
// backend never shows a dialog: the host runs the unattended interface, which answers any prompt
// the scanner control library would show with its safe answer (Cancel, else No) and records it,
// so that the entry point that met it can turn it into a SANE status.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "backend_config.h"
#include "platform/host/host.h"

namespace sanebackend {

// How the backend's host is made, beside its configuration. The entry points use the defaults;
// a fuzz target or benchmark that links the backend's objects may choose a virtual clock (every
// wait passes at once) before sane_init.
struct HostSettings {
  bool virtualClock = false;
};
void SetHostSettings(const HostSettings& settings);

class BackendHost {
 public:
  explicit BackendHost(const BackendConfig& config);
  ~BackendHost();
  BackendHost(const BackendHost&) = delete;
  BackendHost& operator=(const BackendHost&) = delete;

  platform::Host& host() { return *host_; }
  const BackendConfig& config() const { return config_; }
  // The text of the prompts refused since the last call (empty: none), then forgets them.
  std::string TakePrompts();

 private:
  BackendConfig config_;
  std::mutex mutex_;
  std::string prompts_;
  std::unique_ptr<platform::Host> host_;
  platform::Host* previous_ = nullptr;
};

}  // namespace sanebackend
