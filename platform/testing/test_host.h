// A fresh host for one test: a temporary root (removed afterwards), a virtual clock, a scripted
// user interface whose surprises fail the test, installed as the current host for the test's
// lifetime and the previous one put back afterwards.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/host.h"
#include "platform/scripted_ui.h"
#include "temp_dir.h"

namespace platform::testing {

class TestHost {
 public:
  struct Settings {
    std::string version = "win98";  // a preset of system.ini
    bool virtualClock = true;
  };
  TestHost() : TestHost(Settings{}) {}
  explicit TestHost(Settings settings);
  ~TestHost();

  Host& host() { return *host_; }
  ScriptedUi& ui() { return *ui_; }
  VirtualClock& clock() { return static_cast<VirtualClock&>(host_->clock()); }
  const std::filesystem::path& root() const { return dir_.path(); }
  // The host path a Windows path stands for.
  std::filesystem::path HostPath(std::string_view windowsPath);
  // Writes a file by its Windows path, making its folders.
  void WriteFile(std::string_view windowsPath, std::string_view content);

 private:
  TempDir dir_;
  ScriptedUi* ui_ = nullptr;
  std::unique_ptr<Host> host_;
  Host* previous_ = nullptr;
};

}  // namespace platform::testing
