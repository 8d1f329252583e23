#include "test_host.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/files.h"

namespace platform::testing {

namespace fs = std::filesystem;

TestHost::TestHost(Settings settings) {
  ProvisionRoot(dir_.path());
  if (settings.version != "win98") {
    fs::path ini = dir_.path() / "system.ini";
    std::ifstream in(ini, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto at = text.find("version=win98");
    if (at != std::string::npos) text.replace(at, 13, "version=" + settings.version);
    std::ofstream(ini, std::ios::binary) << text;
  }
  auto ui = std::make_unique<ScriptedUi>();
  ui_ = ui.get();
  ui_->SetFailureHandler([](const std::string& what) { ADD_FAILURE() << what; });
  Host::Options options;
  options.root = dir_.path();
  options.virtualClock = settings.virtualClock;
  options.ui = std::move(ui);
  host_ = std::make_unique<Host>(std::move(options));
  previous_ = Host::Install(host_.get());
}

TestHost::~TestHost() {
  for (const std::string& unmet : ui_->Unmet()) ADD_FAILURE() << "expected prompt never came: " << unmet;
  Host::Install(previous_);
}

fs::path TestHost::HostPath(std::string_view windowsPath) {
  auto path = host_->files().Resolve(windowsPath);
  EXPECT_TRUE(path) << "cannot resolve " << windowsPath;
  return path.value_or(fs::path());
}

void TestHost::WriteFile(std::string_view windowsPath, std::string_view content) {
  fs::path path = HostPath(windowsPath);
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

}  // namespace platform::testing
