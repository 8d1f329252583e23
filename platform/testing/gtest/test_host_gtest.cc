// Built into every GoogleTest program: a test host's surprises fail the running test, and the
// test's name is what a host built with no root reports (host.h).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "test_host.h"

namespace platform::testing {
namespace {

class NameTheTest : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo& info) override {
    const std::string name = std::string(info.test_suite_name()) + "." + info.name();
    if (std::getenv("SCANSUITE_TEST") != nullptr) ::setenv("SCANSUITE_TEST", name.c_str(), 1);
  }
};

class Glue : public ::testing::Environment {
 public:
  void SetUp() override {
    SetSurpriseReporter([](const std::string& what) { ADD_FAILURE() << what; });
    ::testing::UnitTest::GetInstance()->listeners().Append(new NameTheTest);
  }
};

[[maybe_unused]] ::testing::Environment* const glue = ::testing::AddGlobalTestEnvironment(new Glue);

}  // namespace
}  // namespace platform::testing
