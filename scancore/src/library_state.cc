#include "library_state.h"

#include "platform/host/host.h"

namespace scancore {

LibraryState& LibraryState::Of(platform::Host& host) {
  return host.FindOrAttach<LibraryState>([&] {
    return std::make_unique<LibraryState>(ScanCoreServices{TransportServices::Of(host), host.files(),
                                                           host.profiles(), host.ui(),
                                                           host.memory(), host.devices()});
  });
}

LibraryState::LibraryState(const ScanCoreServices& services) : services_(services) {
  platform::Modules& modules = services_.transport.modules;
  if (!modules.GetModuleHandle(kLibraryModule)) {
    modules.RegisterBuiltin(std::string(kLibraryModule), {}, LibraryResourceScript());
  }
  module_ = modules.LoadLibrary(kLibraryModule);
}

LibraryState::~LibraryState() {
  if (module_) services_.transport.modules.FreeLibrary(module_);
}

std::string LibraryState::String(uint32_t id) const {
  return services_.transport.modules.LoadString(module_, id).value_or(std::string());
}

std::optional<platform::DialogTemplate> LibraryState::Dialog(const platform::ResourceId& id) const {
  return services_.transport.modules.LoadDialog(module_, id);
}

std::string LibraryState::MessageFileLocation() const {
  return CMessageFile::Location(services_.transport.registry, services_.transport.system,
                                [this](uint32_t id) { return String(id); });
}

const CMessageFile& LibraryState::messages() {
  if (!messages_) {
    messages_ = std::make_unique<CMessageFile>();
    messages_->Load(services_.files, MessageFileLocation());
  }
  return *messages_;
}

}  // namespace scancore
