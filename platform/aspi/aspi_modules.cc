// Each module exports its own GetASPI32SupportInfo and SendASPI32Command, plain functions with
// the fixed signatures, which find the current host's service at the call: a deliverable holds
// only the function pointers it looked up, as it would with a real DLL.
#include "aspi_modules.h"

#include <array>

namespace platform::aspi_internal {

namespace {

struct ModuleInfo {
  std::string_view name;
  AspiLayer layer;
};

constexpr std::array<ModuleInfo, 3> kModules = {{
    {kWinAspiModule, AspiLayer::kWinAspi},
    {kStiAspiModule, AspiLayer::kStillImage},
    {kOsr2AspiModule, AspiLayer::kStillImage},
}};

AspiService* CurrentService() { return Host::Current().Find<AspiService>(); }

// A module whose host has no ASPI service behaves as a layer that failed to start.
template <size_t kModule>
uint32_t GetSupportInfo() {
  AspiService* service = CurrentService();
  return service ? service->GetSupportInfo(kModules[kModule].layer) : uint32_t{SS_FAILED_INIT} << 8;
}

template <size_t kModule>
uint32_t SendCommand(void* srb) {
  AspiService* service = CurrentService();
  return service ? service->SendCommand(kModules[kModule].layer, srb) : SS_FAILED_INIT;
}

template <size_t kModule>
void Register(Modules& modules) {
  GetASPI32SupportInfoFn support = &GetSupportInfo<kModule>;
  SendASPI32CommandFn send = &SendCommand<kModule>;
  modules.RegisterBuiltin(std::string(kModules[kModule].name),
                          {{"GetASPI32SupportInfo", ToProcAddress(support)},
                           {"SendASPI32Command", ToProcAddress(send)}});
}

}  // namespace

void RegisterModules(Modules& modules, const AspiModules& present) {
  if (present.wnaspi32) Register<0>(modules);
  if (present.stiaspi) Register<1>(modules);
  if (present.osr2aspi) Register<2>(modules);
}

}  // namespace platform::aspi_internal
