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
  // The host stays when sane_exit has closed every handle, and serves the next sane_init over the
  // same configuration: a fuzz target calls sane_init for every input, and making a host (its
  // registry, machine and modules) costs far more than the calls the input makes.
  bool keepHost = false;
  // Lines a scan reads from the scanner at a time (0: the reader's own band). A fuzz target
  // reads short bands, so that a read costs what the input chose rather than a band of image the
  // emulated scanner must draw; it must stay above any colour alignment it meets.
  uint32_t bandLines = 0;
};
void SetHostSettings(const HostSettings& settings);
const HostSettings& CurrentHostSettings();

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

// The host for a sane_init: the one kept from the last sane_exit when the settings keep hosts
// and its configuration is this one, else a new one.
std::unique_ptr<BackendHost> TakeHost(const BackendConfig& config);
// The host at sane_exit, once every handle is closed: kept when the settings say so, else freed.
void ReturnHost(std::unique_ptr<BackendHost> host);

}  // namespace sanebackend
