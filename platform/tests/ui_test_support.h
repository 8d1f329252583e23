// Helpers shared by the user-interface tests: a scripted interface that records its failures,
// templates parsed from resource-script text, and pipes for the console backend.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/modules/resources.h"
#include "platform/ui/scripted_ui.h"

namespace platform::testing {

// A window system with the scripted backend, whose failures are kept for the test to inspect.
struct RecordingUi {
  RecordingUi() {
    script.SetFailureHandler([this](const std::string& m) { failures.push_back(m); });
  }
  UserInterface ui{std::make_unique<ScriptedUi>()};
  ScriptedUi& script = static_cast<ScriptedUi&>(ui.backend());
  std::vector<std::string> failures;
};

inline ResourceScript ParseOrFail(std::string_view text) {
  ResourceParseResult r = ParseResourceScript(text);
  EXPECT_TRUE(r.ok()) << r.error.ToString();
  return r.ok() ? *r.script : ResourceScript{};
}

inline DialogTemplate DialogFrom(std::string_view text, const ResourceId& id) {
  ResourceScript script = ParseOrFail(text);
  const DialogTemplate* d = script.Dialog(id);
  EXPECT_NE(d, nullptr) << "no dialog " << id.ToString();
  return d ? *d : DialogTemplate{};
}

// A pipe whose ends close with it.
class Pipe {
 public:
  Pipe() { EXPECT_EQ(::pipe(fds_), 0); }
  ~Pipe() {
    CloseWrite();
    if (fds_[0] >= 0) ::close(fds_[0]);
  }
  int read() const { return fds_[0]; }
  int write() const { return fds_[1]; }
  void Write(std::string_view text) {
    ASSERT_EQ(::write(fds_[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  void CloseWrite() {
    if (fds_[1] >= 0) ::close(fds_[1]);
    fds_[1] = -1;
  }
  // Everything written so far, without waiting for more.
  std::string Drain() {
    int flags = ::fcntl(fds_[0], F_GETFL);
    ::fcntl(fds_[0], F_SETFL, flags | O_NONBLOCK);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fds_[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    ::fcntl(fds_[0], F_SETFL, flags);
    return out;
  }

 private:
  int fds_[2] = {-1, -1};
};

}  // namespace platform::testing
