// The host a fuzz target keeps across sane_init and sane_exit: the same host comes back only for
// the same configuration, and only when the settings ask for it.
#include <gtest/gtest.h>

#include <memory>

#include "backend_host.h"
#include "temp_dir.h"

namespace sanebackend {
namespace {

// A service of the test's own: which host a BackendHost holds, whatever its address.
struct Marker : platform::HostService {};

class KeptHost : public ::testing::Test {
 protected:
  void SetUp() override { config_.root = root_.path().string(); }
  void TearDown() override {
    SetHostSettings({.keepHost = true});
    ReturnHost(nullptr);  // frees whatever a test left kept
    SetHostSettings({});
  }
  static bool Marked(BackendHost& h) { return h.host().Find<Marker>() != nullptr; }

  platform::testing::TempDir root_;
  BackendConfig config_;
};

TEST_F(KeptHost, TheNextInitGetsTheHostTheLastExitLeftAndItStaysCurrent) {
  SetHostSettings({.virtualClock = true, .keepHost = true});
  auto first = TakeHost(config_);
  first->host().Attach(std::make_unique<Marker>());
  platform::Host* made = &first->host();
  ReturnHost(std::move(first));
  EXPECT_EQ(&platform::Host::Current(), made);
  auto second = TakeHost(config_);
  EXPECT_TRUE(Marked(*second));
  EXPECT_EQ(second->TakePrompts(), "");
}

TEST_F(KeptHost, AnotherConfigurationOrNoKeepingMakesAFreshHost) {
  SetHostSettings({.keepHost = true});
  auto first = TakeHost(config_);
  first->host().Attach(std::make_unique<Marker>());
  ReturnHost(std::move(first));
  BackendConfig otherBase = config_;
  otherBase.base = "C:\\ELSEWHERE";
  auto second = TakeHost(otherBase);
  EXPECT_FALSE(Marked(*second));

  SetHostSettings({});
  second->host().Attach(std::make_unique<Marker>());
  ReturnHost(std::move(second));  // freed, not kept
  auto third = TakeHost(otherBase);
  EXPECT_FALSE(Marked(*third));
}

}  // namespace
}  // namespace sanebackend
