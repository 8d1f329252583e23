// A test host with the port-card programs' context: the programs' own resource scripts, the
// program folder A:\ and a helper to put registry keys and read values back.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "context.h"
#include "platform/faults/faults.h"
#include "platform/files/files.h"
#include "platform/profile/profile.h"
#include "platform/system/system.h"
#include "platform/registry/registry.h"
#include "platform/system/errors.h"
#include "program.h"
#include "registry_reads.h"
#include "test_host.h"

namespace portcard::testing {

class PortCardHost {
 public:
  PortCardHost(std::string version, std::string_view script)
      : host_(platform::testing::TestHost::Settings{.version = std::move(version)}),
        resources_(*platform::ParseResourceScript(script).script) {}

  platform::testing::TestHost& t() { return host_; }
  platform::ScriptedUi& ui() { return host_.ui(); }
  platform::Registry& reg() { return host_.host().registry(); }
  platform::ProfileFiles& profiles() { return host_.host().profiles(); }

  Context context() {
    platform::Host& h = host_.host();
    return Context{h.files(),  h.profiles(), h.registry(),   h.system(),
                   h.ui(),     &h.faults(),  "A:\\",         resources_};
  }

  void CreateKey(std::string_view path) {
    platform::RegKey key = 0;
    ASSERT_EQ(reg().CreateKey(platform::kHkeyLocalMachine, path, &key), platform::kErrorSuccess);
    reg().CloseKey(key);
  }
  // The DWORD under HKEY_LOCAL_MACHINE, or empty when the key or value is missing.
  std::optional<uint32_t> Dword(std::string_view path, std::string_view name) {
    return platform::testing::ReadDword(reg(), platform::kHkeyLocalMachine, path, name);
  }
  std::vector<platform::RegValue> Values(std::string_view path) {
    return platform::testing::ReadValues(reg(), platform::kHkeyLocalMachine, path);
  }
  void WriteAddresses(std::string_view text) { host_.WriteFile("A:\\EPP-CARD.INI", text); }
  bool Restarted() { return host_.host().system().RestartRequested(); }

 private:
  platform::testing::TestHost host_;
  platform::ResourceScript resources_;
};

inline constexpr std::string_view kRovozur = "SYSTEM\\CurrentControlSet\\Services\\Rovozur\\Parameters";
inline constexpr std::string_view kScanDev = "SYSTEM\\CurrentControlSet\\Services\\ScanDev\\Parameters";
inline constexpr std::string_view kZorscnrVxd = "System\\CurrentControlSet\\Services\\VxD\\ZORSCNR";
inline constexpr std::string_view kRebootText = "Reboot computer now?";

}  // namespace portcard::testing
