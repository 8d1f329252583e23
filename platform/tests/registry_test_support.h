// Helpers shared by the registry tests: a store in a temporary folder, file contents, children.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/errors.h"
#include "platform/registry.h"
#include "../testing/temp_dir.h"

namespace platform::regtest {

inline std::string ReadBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

// Runs `body` in a child process and returns its exit status (or 128 + signal).
template <class Body>
int InChild(Body body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class RegistryTest : public ::testing::Test {
 protected:
  std::filesystem::path file() const { return folder_.path() / "registry.db"; }
  Registry& reg() {
    if (!registry_) registry_ = std::make_unique<Registry>(file());
    return *registry_;
  }
  void Reopen() { registry_ = std::make_unique<Registry>(file()); }
  RegKey Create(std::string_view path) {
    RegKey key = 0;
    EXPECT_EQ(reg().CreateKey(kHkeyLocalMachine, path, &key), kErrorSuccess) << path;
    return key;
  }

  testing::TempDir folder_;
  std::unique_ptr<Registry> registry_;
};

}  // namespace platform::regtest
