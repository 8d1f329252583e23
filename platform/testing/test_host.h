// The one host for tests, benchmarks and fuzz targets: a temporary root (removed afterwards), a
// virtual clock, a scripted user interface whose surprises are reported, installed as the
// current host for its lifetime and the previous one put back afterwards.
//
// The hardware is what the program linked (the emulated machine where the emulator library is
// linked in, none otherwise) unless Settings.hardware says otherwise; Settings.machine replaces
// the default machine description.
//
// Surprises (a prompt nobody scripted, a scripted prompt that never came) go to the reporter:
// in test programs that link the GoogleTest glue, a test failure; elsewhere a message on stderr
// and an abort, so a benchmark or fuzz target never runs on past one.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/clock/clock.h"
#include "platform/host/host.h"
#include "platform/ui/scripted_ui.h"
#include "temp_dir.h"

namespace platform::testing {

using SurpriseReporter = std::function<void(const std::string& what)>;
// Replaces the reporter of every test host made from now on (the GoogleTest glue calls it).
void SetSurpriseReporter(SurpriseReporter reporter);

class TestHost {
 public:
  struct Settings {
    std::string version = "win98";  // a preset of system.ini
    bool virtualClock = true;
    std::string machine;            // machine.ini text; empty: the default machine
    HardwareInstaller hardware;     // empty: the process's default hardware
    std::string applicationFolder;  // the running program's folder, made on drive C:; empty: none
  };
  TestHost() : TestHost(Settings{}) {}
  explicit TestHost(Settings settings);
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

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
