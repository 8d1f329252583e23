// A test host with the setup's context: the program's own resources, a setup directory on A:, and
// a shell double that records starts, finds the windows a test gives it and records restarts.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock/clock.h"
#include "platform/faults/faults.h"
#include "platform/files/files.h"
#include "platform/registry/registry.h"
#include "platform/system/errors.h"
#include "platform/system/system.h"
#include "program.h"
#include "setup_context.h"
#include "setup_shell.h"
#include "registry_reads.h"
#include "test_host.h"

namespace hbasetup::testing {

class FakeShell : public SetupShell {
 public:
  bool StartProgram(std::string_view commandLine, int show) override {
    started.emplace_back(commandLine);
    shows.push_back(show);
    return true;
  }
  uintptr_t FindTopLevelWindow(std::string_view title) override {
    searched.emplace_back(title);
    auto it = windows.find(std::string(title));
    return it == windows.end() ? 0 : it->second;
  }
  void RequestClose(uintptr_t window) override {
    closed.push_back(window);
    if (onClose) onClose(window);
  }
  bool RequestRestart() override {
    ++restarts;
    return true;
  }

  std::map<std::string, uintptr_t> windows;
  std::function<void(uintptr_t)> onClose;
  std::vector<std::string> started;
  std::vector<int> shows;
  std::vector<std::string> searched;
  std::vector<uintptr_t> closed;
  int restarts = 0;
};

class SetupHost {
 public:
  explicit SetupHost(std::string version, std::string setupDirectory = "A:\\")
      : host_(platform::testing::TestHost::Settings{.version = std::move(version)}),
        resources_(*platform::ParseResourceScript(ResourceScriptText()).script),
        setupDirectory_(std::move(setupDirectory)) {}

  platform::testing::TestHost& t() { return host_; }
  platform::Host& host() { return host_.host(); }
  platform::ScriptedUi& ui() { return host_.ui(); }
  platform::Registry& reg() { return host_.host().registry(); }
  platform::FileSystem& files() { return host_.host().files(); }
  FakeShell& shell() { return shell_; }
  uint64_t now() { return host_.clock().NowMs(); }

  const SetupContext& context() {
    platform::Host& h = host_.host();
    context_.emplace(SetupContext{h.files(), h.registry(), h.system(), h.ui(), h.clock(),
                                  &h.faults(), shell_, resources_, setupDirectory_});
    return *context_;
  }

  void Write(std::string_view path, std::string_view content) { host_.WriteFile(path, content); }
  std::optional<std::string> Read(std::string_view path) { return files().ReadFile(path); }

  std::optional<std::string> String(platform::RegKey root, std::string_view path,
                                    std::string_view name) {
    return platform::testing::ReadString(reg(), root, path, name);
  }
  std::optional<uint32_t> Dword(std::string_view path, std::string_view name) {
    return platform::testing::ReadDword(reg(), platform::kHkeyLocalMachine, path, name);
  }
  std::vector<platform::RegValue> Values(platform::RegKey root, std::string_view path) {
    return platform::testing::ReadValues(reg(), root, path);
  }
  bool KeyExists(platform::RegKey root, std::string_view path) {
    platform::RegKey key = 0;
    if (reg().OpenKey(root, path, &key) != platform::kErrorSuccess) return false;
    reg().CloseKey(key);
    return true;
  }
  void CreateKey(platform::RegKey root, std::string_view path) {
    platform::RegKey key = 0;
    ASSERT_EQ(reg().CreateKey(root, path, &key), platform::kErrorSuccess);
    reg().CloseKey(key);
  }

 private:
  platform::testing::TestHost host_;
  platform::ResourceScript resources_;
  std::string setupDirectory_;
  FakeShell shell_;
  std::optional<SetupContext> context_;
};

}  // namespace hbasetup::testing
