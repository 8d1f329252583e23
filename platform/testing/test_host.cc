#include "test_host.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>

#include "platform/files/files.h"
#include "platform/modules/modules.h"

namespace platform::testing {

namespace fs = std::filesystem;

namespace {
std::mutex reporterMutex;

SurpriseReporter& Reporter() {
  static SurpriseReporter reporter = [](const std::string& what) {
    std::fprintf(stderr, "test host: %s\n", what.c_str());
    std::abort();
  };
  return reporter;
}

SurpriseReporter CurrentReporter() {
  std::lock_guard lock(reporterMutex);
  return Reporter();
}

void SetVersion(const fs::path& root, const std::string& version) {
  fs::path ini = root / "system.ini";
  std::ifstream in(ini, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto at = text.find("version=win98");
  if (at != std::string::npos) text.replace(at, 13, "version=" + version);
  std::ofstream(ini, std::ios::binary) << text;
}
}  // namespace

void SetSurpriseReporter(SurpriseReporter reporter) {
  std::lock_guard lock(reporterMutex);
  Reporter() = std::move(reporter);
}

TestHost::TestHost(Settings settings) {
  ProvisionRoot(dir_.path());
  if (settings.version != "win98") SetVersion(dir_.path(), settings.version);
  if (!settings.machine.empty()) {
    std::ofstream(dir_.path() / "machine.ini", std::ios::binary) << settings.machine;
  }
  auto script = std::make_unique<ScriptedUi>();
  ui_ = script.get();
  ui_->SetFailureHandler(CurrentReporter());
  auto ui = std::make_unique<UserInterface>(std::move(script));
  Host::Options options;
  options.root = dir_.path();
  options.virtualClock = settings.virtualClock;
  options.ui = std::move(ui);
  options.hardware = std::move(settings.hardware);
  host_ = std::make_unique<Host>(std::move(options));
  if (!settings.applicationFolder.empty()) {
    host_->files().CreateDirectories(settings.applicationFolder);
    host_->modules().SetApplicationFolder(settings.applicationFolder);
  }
  previous_ = Host::Install(host_.get());
}

TestHost::~TestHost() {
  SurpriseReporter report = CurrentReporter();
  for (const std::string& unmet : ui_->Unmet()) report("expected prompt never came: " + unmet);
  Host::Install(previous_);
}

fs::path TestHost::HostPath(std::string_view windowsPath) {
  auto path = host_->files().Resolve(windowsPath);
  if (!path) CurrentReporter()("cannot resolve " + std::string(windowsPath));
  return path.value_or(fs::path());
}

void TestHost::WriteFile(std::string_view windowsPath, std::string_view content) {
  fs::path path = HostPath(windowsPath);
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

}  // namespace platform::testing
