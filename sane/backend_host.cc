#include "backend_host.h"

#include <cstdio>
#include <cstdlib>

#include "platform/ui/scripted_ui.h"
#include "platform/ui/ui.h"

namespace sanebackend {

namespace {
HostSettings gSettings;

// Never freed: it may be in use until the process ends.
std::unique_ptr<BackendHost>& KeptHost() {
  static auto* kept = new std::unique_ptr<BackendHost>;
  return *kept;
}
}  // namespace

void SetHostSettings(const HostSettings& settings) { gSettings = settings; }
const HostSettings& CurrentHostSettings() { return gSettings; }

BackendHost::BackendHost(const BackendConfig& config) : config_(config) {
  auto unattended = std::make_unique<platform::ScriptedUi>();
  unattended->SetFailureHandler([this](const std::string& message) {
    if (std::getenv("SANE_DEBUG_SCANSUITE")) std::fprintf(stderr, "[scansuite] %s\n", message.c_str());
    std::lock_guard lock(mutex_);
    if (!prompts_.empty()) prompts_ += "; ";
    prompts_ += message;
  });
  platform::Host::Options options;
  options.virtualClock = gSettings.virtualClock;
  options.root = config.root ? std::filesystem::path(*config.root) : platform::Host::DefaultRoot();
  options.ui = std::make_unique<platform::UserInterface>(std::move(unattended));
  host_ = std::make_unique<platform::Host>(std::move(options));
  previous_ = platform::Host::Install(host_.get());
}

BackendHost::~BackendHost() {
  platform::Host::Install(previous_);
}

std::unique_ptr<BackendHost> TakeHost(const BackendConfig& config) {
  std::unique_ptr<BackendHost> kept = std::move(KeptHost());
  if (kept && kept->config().root == config.root && kept->config().base == config.base) {
    kept->TakePrompts();  // the last session's refusals are not this one's
    return kept;
  }
  kept.reset();  // before the new host installs itself over it
  return std::make_unique<BackendHost>(config);
}

void ReturnHost(std::unique_ptr<BackendHost> host) {
  if (gSettings.keepHost) KeptHost() = std::move(host);
}

std::string BackendHost::TakePrompts() {
  std::lock_guard lock(mutex_);
  return std::exchange(prompts_, std::string());
}

}  // namespace sanebackend
