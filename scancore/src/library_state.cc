#include "library_state.h"

namespace scancore {

LibraryState& LibraryState::Of(platform::Host& host) {
  if (LibraryState* state = host.Find<LibraryState>()) return *state;
  return host.Attach(std::make_unique<LibraryState>(host));
}

LibraryState::LibraryState(platform::Host& host) : host_(host) {
  platform::Modules& modules = host.modules();
  if (!modules.GetModuleHandle(kLibraryModule)) {
    modules.RegisterBuiltin(std::string(kLibraryModule), {}, LibraryResourceScript());
  }
  module_ = modules.LoadLibrary(kLibraryModule);
}

LibraryState::~LibraryState() {
  if (module_) host_.modules().FreeLibrary(module_);
}

std::string LibraryState::String(uint32_t id) const {
  return host_.modules().LoadString(module_, id).value_or(std::string());
}

std::optional<platform::DialogTemplate> LibraryState::Dialog(const platform::ResourceId& id) const {
  return host_.modules().LoadDialog(module_, id);
}

const CMessageFile& LibraryState::messages() {
  if (!messages_) {
    messages_ = std::make_unique<CMessageFile>();
    messages_->Load(host_);
  }
  return *messages_;
}

}  // namespace scancore
