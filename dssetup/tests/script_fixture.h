// A test host with a setup script on drive A: and the setup's folders.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/files/files.h"
#include "platform/host/host.h"
#include "platform/profile/profile.h"
#include "setup_script.h"
#include "test_host.h"

namespace dssetup::testing {

class ScriptTest : public ::testing::Test {
 protected:
  const SetupPaths paths_{"A:\\", "C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM"};
  platform::testing::TestHost host_;

  void WriteScript(const std::string& text) { host_.WriteFile("A:\\SETUP.INI", text); }
  SetupScript Script() {
    return SetupScript(host_.host().files(), host_.host().profiles(), paths_);
  }
  std::string Ini(const std::string& file, const std::string& section, const std::string& key) {
    return host_.host().profiles().GetStringValue(section, key, "<none>", file);
  }
};

}  // namespace dssetup::testing
